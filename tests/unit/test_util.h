// Shared helpers for the tests: positions from FEN, move texts, running the
// engine's programs as child processes.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "chess/move.h"
#include "chess/move_gen.h"
#include "chess/position.h"

// Openings rich in castling, en passant, promotions and pins, for random games.
inline const char* const RICH_OPENINGS[] = {
    START_FEN,
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
    "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1",
    "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8",
    "r3k2r/8/8/2Pp4/8/8/8/R3K2R w KQkq d6 0 1",
};

// A position from a FEN the test knows to be valid; fails the test otherwise.
// The block goes to history, which must outlive the position.
inline Position FenPosition(History& history, const char* fen) {
    Position pos{};
    EXPECT_TRUE(import(pos, history, fen)) << fen;
    return pos;
}

inline std::string MoveText(Move m) {
    char* text = nullptr;
    size_t size = 0;
    FILE* f = open_memstream(&text, &size);
    move_print(m, f);
    fclose(f);
    std::string s(text, size);
    free(text);
    return s;
}

// The legal moves of pos in generation order, as texts.
inline std::vector<std::string> LegalMoveTexts(const Position& pos) {
    Move moves[MAX_MOVES];
    const uint32_t count = GenerateMoves(pos, moves);
    std::vector<std::string> out;
    Position next;
    for (uint32_t i = 0; i < count; i++)
        if (apply_legal(next, pos, moves[i])) out.push_back(MoveText(moves[i]));
    return out;
}

struct ProcessResult {
    std::string out;
    int status = -1;  // exit status, or -1 when killed or not started
};

// Runs one of the built programs with input on its standard input, under a
// wall-clock limit enforced by timeout(1).
inline ProcessResult RunProgram(const std::string& program, const std::string& args, const std::string& input,
                                int timeout_seconds = 60) {
    char in_path[] = "/tmp/tarvik_test_inXXXXXX";
    const int fd = mkstemp(in_path);
    ProcessResult result;
    if (fd < 0) return result;
    FILE* in = fdopen(fd, "wb");
    fwrite(input.data(), 1, input.size(), in);
    fclose(in);
    const std::string cmd = "timeout -s KILL " + std::to_string(timeout_seconds) + " " TARVIK_BIN_DIR "/" + program +
                            " " + args + " < " + in_path;
    FILE* pipe = popen(cmd.c_str(), "r");
    if (pipe) {
        char buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) result.out.append(buf, n);
        const int status = pclose(pipe);
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    remove(in_path);
    return result;
}

inline ProcessResult RunEngine(const std::string& input, const std::string& args = "", int timeout_seconds = 60) {
    return RunProgram("tarvik", args, input, timeout_seconds);
}

inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

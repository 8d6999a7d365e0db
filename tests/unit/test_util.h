// Shared helpers for the tests: bitboards from squares, positions from FEN,
// move texts, running the engine's programs as child processes.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

#include "board/utility.h"
#include "child_process.h"
#include "move_texts.h"
#include "position/position.h"
#include "uci/uci.h"

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

// A position from FEN followed by game moves, so that the hash history holds
// the positions the moves passed through.
inline Position GamePosition(History& history, const char* fen, const char* moves) {
    Position pos = FenPosition(history, fen);
    std::string text = moves;
    EXPECT_TRUE(apply_moves(pos, text.data())) << fen << " moves " << moves;
    return pos;
}

inline BB Set(std::initializer_list<Square> squares) {
    BB bb = 0;
    for (Square s : squares) bb |= sbb(s);
    return bb;
}

struct ProcessResult {
    std::string out;
    std::string err;  // its standard error, when RunProgram was asked to keep it
    // The exit status; 128 + the signal's number when a signal ended the
    // program (137: killed at the time limit); -1 when it was not started.
    int status = -1;
};

// Tests that start programs run apart from the in-process ones (CTest labels
// "process" and "unit", chosen by this suffix of the suite's name); a test
// that starts one under another name fails here rather than slowing down
// `ctest -L unit` unnoticed.
constexpr const char* PROCESS_SUITE_SUFFIX = "ProcessTest";

inline void ExpectProcessTest() {
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    if (test && !std::string(test->test_suite_name()).ends_with(PROCESS_SUITE_SUFFIX))
        ADD_FAILURE() << test->test_suite_name() << " starts a program: name the suite *" << PROCESS_SUITE_SUFFIX;
}

// Runs one of the built programs (args: words separated by spaces) with input
// on its standard input, then end of file, and kills it when it has not ended
// within timeout_seconds; the output is everything it printed until then.
// With keep_err its standard error is kept in err instead of passed through.
inline ProcessResult RunProgram(const std::string& program, const std::string& args, const std::string& input,
                                int timeout_seconds = 60, bool keep_err = false) {
    ExpectProcessTest();
    std::vector<std::string> argv = {TARVIK_BIN_DIR "/" + program};
    std::istringstream words(args);
    for (std::string word; words >> word;) argv.push_back(word);
    ProcessResult result;
    ChildProcess child;
    FILE* err = keep_err ? tmpfile() : nullptr;
    if (!StartChild(child, argv, err ? fileno(err) : -1)) {
        if (err) fclose(err);
        return result;
    }
    const ChildClock::time_point deadline = ChildDeadline(timeout_seconds * 1000);
    SendText(child, input, MsUntil(deadline));  // a program may stop reading early
    CloseInput(child);
    if (!ReadToEnd(child, result.out, MsUntil(deadline))) {
        KillChild(child);
        constexpr int DYING_MS = 10000;  // its output ends as soon as it is gone
        ReadToEnd(child, result.out, DYING_MS);
    }
    result.status = WaitChild(child, MsUntil(deadline));
    if (err) {
        rewind(err);
        char buf[4096];
        for (size_t n; (n = fread(buf, 1, sizeof buf, err)) > 0;) result.err.append(buf, n);
        fclose(err);
    }
    return result;
}

inline ProcessResult RunEngine(const std::string& input, const std::string& args = "", int timeout_seconds = 60) {
    return RunProgram("tarvik", args, input, timeout_seconds);
}

inline bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

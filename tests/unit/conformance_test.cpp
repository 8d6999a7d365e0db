// A whole game driven the way a GUI drives engines: two tarvik processes, each
// sent "position startpos moves ..." growing by two moves a turn and "go" with
// the clocks a GUI keeps. Every reply must be legal and arrive in time.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "test_util.h"
#include "uci/uci.h"

namespace {

// A child engine process with its standard input and output on pipes.
struct Engine {
    pid_t pid = -1;
    int to_engine = -1;
    int from_engine = -1;
    std::string pending;
};

bool StartEngine(Engine& e) {
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0) return false;
    e.pid = fork();
    if (e.pid == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        close(in[1]);
        close(out[0]);
        execl(TARVIK_BIN_DIR "/tarvik", "tarvik", (char*)nullptr);
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    e.to_engine = in[1];
    e.from_engine = out[0];
    return e.pid > 0;
}

void Send(Engine& e, const std::string& line) {
    const std::string text = line + "\n";
    ASSERT_EQ(write(e.to_engine, text.data(), text.size()), ssize_t(text.size()));
}

// Reads lines until one starts with prefix; false when the engine goes silent
// for timeout_ms or closes its output.
bool ReadUntil(Engine& e, const std::string& prefix, int timeout_ms, std::string& line) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        size_t nl;
        while ((nl = e.pending.find('\n')) != std::string::npos) {
            line = e.pending.substr(0, nl);
            e.pending.erase(0, nl + 1);
            if (line.rfind(prefix, 0) == 0) return true;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        pollfd pfd{e.from_engine, POLLIN, 0};
        if (poll(&pfd, 1, int(left.count())) <= 0) return false;
        char buf[4096];
        const ssize_t n = read(e.from_engine, buf, sizeof buf);
        if (n <= 0) return false;
        e.pending.append(buf, size_t(n));
    }
}

void StopEngine(Engine& e) {
    if (e.pid <= 0) return;
    Send(e, "quit");
    close(e.to_engine);
    close(e.from_engine);
    int status = 0;
    waitpid(e.pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST(Conformance, WholeGameUnderClocks) {
    signal(SIGPIPE, SIG_IGN);
    Engine engines[2];
    std::string line;
    for (Engine& e : engines) {
        ASSERT_TRUE(StartEngine(e));
        Send(e, "uci");
        ASSERT_TRUE(ReadUntil(e, "uciok", 5000, line));
        Send(e, "isready");
        ASSERT_TRUE(ReadUntil(e, "readyok", 5000, line));
        Send(e, "ucinewgame");
    }

    const int INCREMENT = 50;
    long long clock_ms[2] = {6000, 6000};
    std::string moves;
    Game game = NewGame();
    const Position& pos = game.pos;
    int plies = 0;
    for (; plies < 160; plies++) {
        const std::vector<std::string> legal = LegalMoveTexts(pos);
        if (legal.empty()) break;  // mate or stalemate
        Engine& e = engines[pos.turn];
        Send(e, "position startpos" + (moves.empty() ? std::string() : " moves" + moves));
        Send(e, "go wtime " + std::to_string(clock_ms[WHITE]) + " btime " + std::to_string(clock_ms[BLACK]) + " winc " +
                    std::to_string(INCREMENT) + " binc " + std::to_string(INCREMENT));
        const auto start = std::chrono::steady_clock::now();
        ASSERT_TRUE(ReadUntil(e, "bestmove ", int(clock_ms[pos.turn]), line))
            << "no move within the clock at ply " << plies;
        const long long used =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
        clock_ms[pos.turn] -= used;
        ASSERT_GT(clock_ms[pos.turn], 0) << "flag fell at ply " << plies;
        clock_ms[pos.turn] += INCREMENT;

        const std::string move = line.substr(9);
        ASSERT_NE(std::find(legal.begin(), legal.end(), move), legal.end())
            << "illegal move " << move << " at ply " << plies;
        moves += " " + move;
        std::string command = "position startpos moves" + moves;
        ASSERT_TRUE(UCIPosition(game, command.data()));
        if (is_threefold(pos)) break;
    }
    RecordProperty("plies", plies);
    EXPECT_TRUE(plies >= 80 || LegalMoveTexts(pos).empty() || is_threefold(pos))
        << "game ended early at ply " << plies << ":" << moves;
    for (Engine& e : engines) StopEngine(e);
}

}  // namespace

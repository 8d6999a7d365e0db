// A whole game driven the way a GUI drives engines: two tarvik processes, each
// sent "position startpos moves ..." growing by two moves a turn and "go" with
// the clocks a GUI keeps. Every reply must be legal and arrive in time.
#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "test_util.h"
#include "uci/uci.h"

namespace {

const int SEND_MS = 5000;

// Reads lines until one starts with prefix; false when none has come within
// timeout_ms or the engine closes its output.
bool ReadUntil(ChildProcess& e, const std::string& prefix, int timeout_ms, std::string& line) {
    const ChildClock::time_point deadline = ChildDeadline(timeout_ms);
    while (ReadLine(e, line, MsUntil(deadline)))
        if (line.rfind(prefix, 0) == 0) return true;
    return false;
}

void StopEngine(ChildProcess& e) {
    if (e.pid <= 0) return;
    EXPECT_TRUE(SendLine(e, "quit", SEND_MS));
    EXPECT_EQ(WaitChild(e, 60000), 0);
}

TEST(ConformanceProcessTest, WholeGameUnderClocks) {
    ExpectProcessTest();
    ChildProcess engines[2];
    std::string line;
    for (ChildProcess& e : engines) {
        ASSERT_TRUE(StartChild(e, {TARVIK_BIN_DIR "/tarvik"}));
        ASSERT_TRUE(SendLine(e, "uci", SEND_MS));
        ASSERT_TRUE(ReadUntil(e, "uciok", 5000, line));
        ASSERT_TRUE(SendLine(e, "isready", SEND_MS));
        ASSERT_TRUE(ReadUntil(e, "readyok", 5000, line));
        ASSERT_TRUE(SendLine(e, "ucinewgame", SEND_MS));
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
        ChildProcess& e = engines[pos.turn];
        ASSERT_TRUE(SendLine(e, "position startpos" + (moves.empty() ? std::string() : " moves" + moves), SEND_MS));
        const std::string go = "go wtime " + std::to_string(clock_ms[WHITE]) + " btime " +
                               std::to_string(clock_ms[BLACK]) + " winc " + std::to_string(INCREMENT) + " binc " +
                               std::to_string(INCREMENT);
        ASSERT_TRUE(SendLine(e, go, SEND_MS));
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
    for (ChildProcess& e : engines) StopEngine(e);
}

}  // namespace

// Tests of "go": the time budget read from the command line, and the search
// reply as the engine program prints it.
#include <algorithm>
#include <regex>
#include <string>
#include <vector>

#include "search/search.h"
#include "test_util.h"
#include "uci/uci.h"

namespace {

const char* const WHITE_TO_MOVE = "4k3/8/8/8/8/8/8/4K3 w - - 0 1";
const char* const BLACK_TO_MOVE = "4k3/8/8/8/8/8/8/4K3 b - - 0 1";
const char* const MATED = "7k/6Q1/6K1/8/8/8/8/8 b - - 0 1";

const std::regex PROGRESS(
    "info depth (\\d+) score cp (-?\\d+) nps (\\d+) nodes (\\d+) time (\\d+) pv ([a-h][1-8][a-h][1-8][nbrq]?)");

TEST(GoBudgetTest, OwnClockOrMovetimeGivesATwentieth) {
    const struct {
        const char* fen;
        const char* line;
        uint32_t budget;
    } cases[] = {
        {WHITE_TO_MOVE, "go wtime 60000 btime 60000", 3000},
        {BLACK_TO_MOVE, "go wtime 60000 btime 60000", 3000},
        {WHITE_TO_MOVE, "go btime 100 wtime 200000", 10000},  // the other clock and its figure are passed over
        {BLACK_TO_MOVE, "go btime 100 wtime 200000", 5},
        {WHITE_TO_MOVE, "go movetime 1000", 50},
        {BLACK_TO_MOVE, "go movetime 1000", 50},
        {WHITE_TO_MOVE, "go movetime 1000 wtime 600000", 50},  // the first keyword decides
        {WHITE_TO_MOVE, "go wtime 600000 movetime 1000", 30000},
        {WHITE_TO_MOVE, "go winc 1000 wtime 5000", 250},
        {WHITE_TO_MOVE, "go wtime 19", 0},  // 0.95 truncated
        {WHITE_TO_MOVE, "go wtime +2000", 100},
        {WHITE_TO_MOVE, "go wtime 1500ms", 75},  // digits up to the first other character
        {WHITE_TO_MOVE, "go wtime abc", 0},
        {WHITE_TO_MOVE, "go wtime -5", 0},  // a flagged clock: answer at once
        {BLACK_TO_MOVE, "go btime -60000 wtime 60000", 0},
        {WHITE_TO_MOVE, "go movetime -1", 0},
        {WHITE_TO_MOVE, "go wtime", 0},
        {WHITE_TO_MOVE, "go btime 600 movetime", 0},
        {WHITE_TO_MOVE, "go", NO_BUDGET},
        {WHITE_TO_MOVE, "go infinite", NO_BUDGET},
        {WHITE_TO_MOVE, "go depth 3", NO_BUDGET},
        {WHITE_TO_MOVE, "go ponder", NO_BUDGET},
        {WHITE_TO_MOVE, "go nodes 1000 winc 500", NO_BUDGET},
        {WHITE_TO_MOVE, "go btime 60000", NO_BUDGET},
        {WHITE_TO_MOVE, "go wtime 85899345880", 4294967294u},
        {WHITE_TO_MOVE, "go wtime 85899345900", NO_BUDGET},
        {WHITE_TO_MOVE, "go movetime 99999999999999999999", NO_BUDGET},  // saturates, no wrap
    };
    for (const auto& c : cases) {
        History pos_history;
        Position pos = FenPosition(pos_history, c.fen);
        std::string line = c.line;
        EXPECT_EQ(UCIBudget(pos, line.data()), c.budget) << c.line << " / " << c.fen;
    }
}

// The budget is taken in floating point; for every figure it is the
// whole-number twentieth, capped at NO_BUDGET. The figures around the places
// where a product could round across a whole number: multiples of 20 and
// their neighbours, the cap, where doubles stop holding every integer, and
// the saturated reading.
TEST(GoBudgetTest, BudgetIsTheWholeTwentieth) {
    const uint64_t figures[] = {
        0,
        1,
        19,
        20,
        21,
        39,
        40,
        41,
        59999,
        60000,
        60001,
        999999999,
        1000000000,
        4294967295,
        4294967296,
        85899345879,
        85899345880,
        85899345899,
        85899345900,
        85899345901,
        (1ULL << 53) - 1,
        1ULL << 53,
        (1ULL << 53) + 1,
        (1ULL << 53) + 19,
        1ULL << 63,
        UINT64_MAX - 19,
        UINT64_MAX,
    };
    History history;
    const Position pos = FenPosition(history, WHITE_TO_MOVE);
    for (const uint64_t figure : figures) {
        const uint64_t quotient = figure / 20;
        const uint32_t expected = quotient >= NO_BUDGET ? NO_BUDGET : uint32_t(quotient);
        for (const char* keyword : {"wtime", "movetime"}) {
            std::string line = std::string("go ") + keyword + " " + std::to_string(figure);
            EXPECT_EQ(UCIBudget(pos, line.data()), expected) << line;
        }
    }
}

// Checks a "go" reply: consecutive progress lines of the exact form from depth
// 1, then the last line's move as "bestmove". Gives the progress matches.
std::vector<std::smatch> ExpectSearchReply(const std::vector<std::string>& lines) {
    std::vector<std::smatch> progress;
    EXPECT_GE(lines.size(), 2u);
    if (lines.size() < 2) return progress;
    for (size_t i = 0; i + 1 < lines.size(); i++) {
        std::smatch m;
        if (!std::regex_match(lines[i], m, PROGRESS)) {
            ADD_FAILURE() << "not a progress line: " << lines[i];
            return progress;
        }
        EXPECT_EQ(std::stoul(m[1]), i + 1) << lines[i];
        progress.push_back(m);
    }
    EXPECT_EQ(lines.back(), "bestmove " + progress.back()[6].str());
    return progress;
}

TEST(GoProcessTest, MovetimeSearchFromTheStartPosition) {
    const ProcessResult r = RunEngine("position startpos\ngo movetime 100\nquit\n");
    ASSERT_EQ(r.status, 0);
    const std::vector<std::string> lines = Lines(r.out);
    const std::vector<std::smatch> progress = ExpectSearchReply(lines);
    // A budget of 5 ms leaves a threshold of 0: only the last depth took time.
    for (size_t i = 0; i + 1 < progress.size(); i++) EXPECT_EQ(progress[i][5], "0") << lines[i];
    if (!progress.empty()) {
        EXPECT_NE(progress.back()[5], "0");
    }
    History start_history;
    Position start = position(start_history);
    const std::vector<std::string> legal = LegalMoveTexts(start);
    EXPECT_NE(std::find(legal.begin(), legal.end(), lines.back().substr(9)), legal.end()) << lines.back();
}

// Any line that begins with "go" searches; the mated root makes each search
// one depth long.
TEST(GoProcessTest, EveryLineBeginningWithGoSearches) {
    const std::string input = std::string("position fen ") + MATED + "\ngo\ngox\n go\nxgo\nGO\ngo wtime\nquit\n";
    const ProcessResult r = RunEngine(input);
    ASSERT_EQ(r.status, 0);
    const std::string reply = "info depth 1 score cp -2147483647 nps \\d+ nodes 1 time \\d+ pv 0000\nbestmove 0000\n";
    EXPECT_TRUE(std::regex_match(r.out, std::regex(reply + reply + reply))) << r.out;
}

// A clock figure missing at the end of the line still gives an answer.
TEST(GoProcessTest, KeywordWithoutFigureAnswers) {
    const ProcessResult r = RunEngine("position startpos moves e2e4\ngo btime\nquit\n", "", 20);
    ASSERT_EQ(r.status, 0);
    ExpectSearchReply(Lines(r.out));
}

// Started as "tarvik go", the engine searches the start position before it
// reads any command, with no time limit: it is still deepening when killed,
// and each completed depth was printed at once.
TEST(GoProcessTest, GoArgumentSearchesAtStartUp) {
    const ProcessResult r = RunEngine("", "go", 2);
    // 128 + 9: the engine had to be killed at the time limit.
    EXPECT_EQ(r.status, 137) << "a search without a time limit ended: " << r.out;
    // The kill may land in the middle of a line: only whole lines count.
    const std::vector<std::string> lines = Lines(r.out.substr(0, r.out.rfind('\n') + 1));
    ASSERT_FALSE(lines.empty());
    for (size_t i = 0; i < lines.size(); i++) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(lines[i], m, PROGRESS)) << lines[i];
        EXPECT_EQ(std::stoul(m[1]), i + 1);
    }
}

}  // namespace

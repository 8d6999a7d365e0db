// Search results pinned from outside the search: the independently computed
// blocks of expected.txt, checked by the code tarvik-bench --expect runs, the
// reader and comparison behind it, and the bench program's signature.
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "benchmark.h"
#include "expect.h"
#include "test_util.h"

namespace {

// What CheckExpected writes, and its tally.
struct Checked {
    ExpectedTally tally;
    std::string out;
};

Checked Check(const std::vector<ExpectedBlock>& blocks) {
    Checked checked;
    checked.out = Printed([&](FILE* out) { checked.tally = CheckExpected(blocks, out); });
    return checked;
}

std::vector<ExpectedBlock> Read(const std::string& text) {
    std::istringstream in(text);
    return ReadExpected(in);
}

TEST(ExpectedTest, SearchesReproduceEveryBlock) {
    std::ifstream in(TARVIK_TEST_DATA "/expected.txt");
    const std::vector<ExpectedBlock> blocks = ReadExpected(in);
    ASSERT_GE(blocks.size(), 10u) << "expected.txt missing or unreadable";
    const Checked checked = Check(blocks);
    EXPECT_EQ(checked.tally.failed, 0) << checked.out;
    EXPECT_EQ(checked.tally.matched, int(blocks.size())) << checked.out;
    EXPECT_EQ(checked.out, std::to_string(blocks.size()) + " expected results matched\n");
}

TEST(ExpectedTest, UntimedCutsOnlySpeedAndTime) {
    const struct {
        const char* line;
        const char* untimed;
    } cases[] = {
        {"info depth 3 score cp 840 nps 120000 nodes 227 time 2 pv d2d4",
         "info depth 3 score cp 840 nodes 227 pv d2d4"},
        {"info depth 1 score cp 0 nps 0 nodes 1 time 0 pv 0000", "info depth 1 score cp 0 nodes 1 pv 0000"},
        // Only a field with its figure goes; the figure ends at the first
        // character that is not a digit.
        {"info nps  5 time x", "info nps  5 time x"},
        {"info time 12ms", "infoms"},
        {"nps 5 time 7", "nps 5"},
        {"info depth 2 nps 1 nps 2 time 3 time 4 pv e2e4", "info depth 2 pv e2e4"},
        {"bestmove e2e4", "bestmove e2e4"},
        {"go wtime 60000 btime 60000", "go wtime 60000 btime 60000"},
        {"info depth 1 nps 9 pv e2e4\r", "info depth 1 pv e2e4\r"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(Untimed(c.line), c.untimed) << c.line;
}

TEST(ExpectedTest, ReaderSplitsBlocksAtBlankLines) {
    const std::vector<ExpectedBlock> blocks = Read(
        "# a comment\n"
        "\n"
        "position startpos\n"
        "info depth 1 score cp 864 nodes 1 pv g1f3\n"
        "# inside a block too\n"
        "bestmove g1f3\n"
        "\n"
        "\n"
        "position fen 7k/6Q1/6K1/8/8/8/8/8 b - - 0 1\r\n"
        "info depth 1 score cp -2147483647 nodes 1 pv 0000\r\n"
        "bestmove 0000");
    ASSERT_EQ(blocks.size(), 2u);
    EXPECT_EQ(blocks[0].command, "position startpos");
    EXPECT_EQ(blocks[0].reply,
              (std::vector<std::string>{"info depth 1 score cp 864 nodes 1 pv g1f3", "bestmove g1f3"}));
    EXPECT_EQ(blocks[1].command, "position fen 7k/6Q1/6K1/8/8/8/8/8 b - - 0 1");
    EXPECT_EQ(blocks[1].reply,
              (std::vector<std::string>{"info depth 1 score cp -2147483647 nodes 1 pv 0000", "bestmove 0000"}));
    EXPECT_TRUE(Read("").empty());
    EXPECT_TRUE(Read("# only\n\n# comments\n").empty());
}

TEST(ExpectedTest, DepthIsThatOfTheLastProgressLine) {
    const struct {
        std::vector<std::string> reply;
        uint32_t depth;
    } cases[] = {
        {{"info depth 1 score cp 0 nodes 1 pv e2e4", "info depth 12 score cp 0 nodes 9 pv e2e4", "bestmove e2e4"}, 12},
        {{"info depth 3 score cp 0 nodes 1 pv e2e4", "bestmove e2e4"}, 3},
        {{"bestmove e2e4"}, 0},
        {{}, 0},
        {{"info score cp 0", "bestmove e2e4"}, 0},
    };
    for (const auto& c : cases) EXPECT_EQ(ExpectedDepth({"position startpos", c.reply}), c.depth);
}

// A block that differs fails with a line naming it and the differing lines,
// expected then found; the blocks around it still match.
TEST(ExpectedTest, DifferencesAreShownLineByLine) {
    const std::string good =
        "position startpos\n"
        "info depth 1 score cp 864 nodes 1 pv g1f3\n"
        "info depth 2 score cp 0 nodes 21 pv g1f3\n"
        "bestmove g1f3\n\n";
    const std::string changed =
        "position startpos\n"
        "info depth 1 score cp 864 nodes 1 pv g1f3\n"
        "info depth 2 score cp 0 nodes 22 pv g1f3\n"
        "bestmove g1f3\n\n";
    const Checked checked = Check(Read(good + changed + good));
    EXPECT_EQ(checked.tally.matched, 2);
    EXPECT_EQ(checked.tally.failed, 1);
    EXPECT_EQ(checked.out,
              "FAIL position startpos (depth 2)\n"
              "- info depth 2 score cp 0 nodes 22 pv g1f3\n"
              "+ info depth 2 score cp 0 nodes 21 pv g1f3\n"
              "2 expected results matched, 1 failed\n");

    // A reply longer or shorter than the search's shows the lines only one has.
    const Checked shorter =
        Check(Read("position startpos\n"
                   "info depth 1 score cp 864 nodes 1 pv g1f3\n"
                   "bestmove d2d4\n"
                   "bestmove g1f3\n"));
    EXPECT_EQ(shorter.out,
              "FAIL position startpos (depth 1)\n"
              "- bestmove d2d4\n"
              "+ bestmove g1f3\n"
              "- bestmove g1f3\n"
              "0 expected results matched, 1 failed\n");
}

// Blocks that cannot be searched fail with the reason, and never pass.
TEST(ExpectedTest, UnsearchableBlocksFail) {
    const struct {
        const char* block;
        const char* said;
    } cases[] = {
        {"go depth 1\ninfo depth 1 score cp 0 nodes 1 pv e2e4\nbestmove e2e4\n", "not a \"position\" line"},
        {"position startpos\nbestmove e2e4\n", "no progress line"},
        {"position startpos\ninfo depth 1 score cp 864 nodes 1 pv g1f3\n", "no bestmove line"},
        {"position startpos\ninfo depth 256 score cp 0 nodes 1 pv g1f3\nbestmove g1f3\n", "no progress line"},
        {"position fen 8/8\ninfo depth 1 score cp 0 nodes 1 pv a1a2\nbestmove a1a2\n", "the position is refused"},
        {"position startpos moves e2e5\ninfo depth 1 score cp 0 nodes 1 pv a1a2\nbestmove a1a2\n",
         "the position is refused"},
    };
    for (const auto& c : cases) {
        const std::vector<ExpectedBlock> blocks = Read(c.block);
        ASSERT_EQ(blocks.size(), 1u) << c.block;
        const Checked checked = Check(blocks);
        EXPECT_EQ(checked.tally.failed, 1) << c.block;
        EXPECT_EQ(checked.tally.matched, 0) << c.block;
        const std::vector<std::string> lines = Lines(checked.out);
        ASSERT_EQ(lines.size(), 2u) << checked.out;
        EXPECT_EQ(lines[0].rfind("FAIL " + blocks[0].command + ": ", 0), 0u) << checked.out;
        EXPECT_NE(lines[0].find(c.said), std::string::npos) << checked.out;
        EXPECT_EQ(lines[1], "0 expected results matched, 1 failed");
    }
}

// The signature compiled into the programs is bench/signature, and the bench
// reproduces it.
TEST(ExpectedTest, BenchSignature) {
    std::ifstream file(TARVIK_SOURCE_DIR "/bench/signature");
    unsigned long long written = 0;
    ASSERT_TRUE(file >> written);
    EXPECT_EQ(BENCH_SIGNATURE, written);
    const ProcessResult bench = RunProgram("tarvik-bench", "--check", "", 300);
    EXPECT_EQ(bench.status, 0) << bench.out;
    const std::string nodes = "\nNodes searched: " + std::to_string(written) + "\n";
    EXPECT_NE(bench.out.find(nodes), std::string::npos)
        << "the search changed: update bench/signature and say \"Bench: N\"\n"
        << bench.out;
    EXPECT_EQ(Lines(bench.out).back(), "Bench signature matched: " + std::to_string(written));
}

}  // namespace

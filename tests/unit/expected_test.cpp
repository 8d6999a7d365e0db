// Search results pinned from outside the search: the independently computed
// blocks of expected.txt, and the bench program's node-count signature.
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "search/search.h"
#include "test_util.h"
#include "uci/uci.h"

namespace {

// The bench signature (bench/signature, passed in by the build): the total
// node count of tarvik-bench.
constexpr unsigned long long BENCH_NODES = TARVIK_BENCH_NODES;

struct Block {
    std::string command;             // the "position" line
    std::vector<std::string> reply;  // progress lines without nps and time, then "bestmove"
};

std::vector<Block> ReadExpected() {
    std::ifstream in(TARVIK_TEST_DATA "/expected.txt");
    std::vector<Block> blocks;
    bool open = false;
    for (std::string line; std::getline(in, line);) {
        if (line.empty()) {
            open = false;
        } else if (line[0] == '#') {
            continue;
        } else if (!open) {
            blocks.push_back({line, {}});
            open = true;
        } else {
            blocks.back().reply.push_back(line);
        }
    }
    return blocks;
}

// The reply of a search to max_depth with the fields that vary from run to run
// (speed and time) cut out.
std::vector<std::string> SearchReply(const Position& pos, uint32_t max_depth) {
    const std::string text = Printed([&](FILE* out) {
        const Move best = FindBestMove(pos, NO_BUDGET, max_depth, UCIReportDepth, out);
        fprintf(out, "bestmove %s\n", MoveText(best).c_str());
    });
    const std::regex timing(" nps \\d+| time \\d+");
    std::vector<std::string> reply;
    for (const std::string& line : Lines(text)) reply.push_back(std::regex_replace(line, timing, ""));
    return reply;
}

TEST(ExpectedTest, SearchesReproduceEveryBlock) {
    const std::vector<Block> blocks = ReadExpected();
    ASSERT_GE(blocks.size(), 10u) << "expected.txt missing or unreadable";
    for (const Block& block : blocks) {
        SCOPED_TRACE(block.command);
        ASSERT_GE(block.reply.size(), 2u);
        // The depth searched is the depth of the block's last progress line.
        unsigned depth = 0;
        ASSERT_EQ(sscanf(block.reply[block.reply.size() - 2].c_str(), "info depth %u", &depth), 1);
        std::string command = block.command;
        Game game;
        ASSERT_TRUE(UCIPosition(game, command.data()));
        EXPECT_EQ(SearchReply(game.pos, depth), block.reply);
    }
}

TEST(ExpectedTest, BenchSignature) {
    const ProcessResult bench = RunProgram("tarvik-bench", "", "", 300);
    ASSERT_EQ(bench.status, 0) << bench.out;
    std::smatch m;
    ASSERT_TRUE(std::regex_search(bench.out, m, std::regex("\nNodes searched: (\\d+)\n"))) << bench.out;
    EXPECT_EQ(std::stoull(m[1]), BENCH_NODES) << "the search changed: update bench/signature and say \"Bench: N\"";
}

}  // namespace

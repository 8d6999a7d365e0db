// The numbers the documents repeat (README, docs/, the manual pages, the
// programs' help), each held to its home: a document that disagrees fails.
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "eval/eval.h"
#include "expect.h"
#include "search/search.h"
#include "tables/values.h"
#include "test_util.h"
#include "uci/uci.h"
#include "uci/version.h"

namespace {

std::string SourceFile(const std::string& path) {
    std::ifstream in(TARVIK_SOURCE_DIR "/" + path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The one number a home file holds, or the first group of pattern in it.
std::string NumberIn(const std::string& path, const char* pattern = R"((\d+))") {
    const std::string text = SourceFile(path);
    std::smatch match;
    return std::regex_search(text, match, std::regex(pattern)) ? match[1].str() : "";
}

// How the documents write one part in n ("a twentieth").
std::string Fraction(long n) {
    static const std::map<long, std::string> words = {
        {10, "tenth"}, {16, "sixteenth"}, {20, "twentieth"}, {30, "thirtieth"}, {40, "fortieth"}, {50, "fiftieth"},
    };
    const auto word = words.find(n);
    return word == words.end() ? "(one part in " + std::to_string(n) + ")" : word->second;
}

std::string Hundreds(long n) { return std::to_string(std::lround(n / 100.0) * 100); }

// 10000 as the README writes it: 10,000.
std::string Thousands(const std::string& digits) {
    std::string out = digits;
    for (int at = int(out.size()) - 3; at > 0; at -= 3) out.insert(std::size_t(at), ",");
    return out;
}

// Every match of pattern in file has the number of its home as its first
// group, and there are at least `at_least` of them, so that a rewording that
// the pattern no longer finds comes up here too. A space in the pattern
// matches any white space, line ends included: paragraphs get rewrapped.
struct Quote {
    const char* file;
    const char* pattern;
    std::string want;
    int at_least;
};

void ExpectQuotes(const std::vector<Quote>& quotes) {
    for (const Quote& q : quotes) {
        const std::string text = SourceFile(q.file);
        ASSERT_FALSE(text.empty()) << q.file;
        const std::regex pattern(std::regex_replace(q.pattern, std::regex(" "), R"(\s+)"));
        int found = 0;
        for (auto it = std::sregex_iterator(text.begin(), text.end(), pattern); it != std::sregex_iterator(); ++it) {
            EXPECT_EQ((*it)[1].str(), q.want) << q.file << " quotes \"" << (*it)[0].str() << "\"";
            found++;
        }
        EXPECT_GE(found, q.at_least) << q.file << " no longer says /" << q.pattern << "/: update the list";
    }
}

// The list is docs/HACKING.md's "Numbers in the documents"; each row there
// names its home and this test.
TEST(DocumentsTest, NumbersAgreeWithTheirHomes) {
    const std::string signature = NumberIn("bench/signature");
    const std::string depth = std::to_string(MAX_DEPTH);
    const std::string line = std::to_string(LINE_SIZE - 1);
    const std::string phase = std::to_string(PHASE_MAX);
    const std::string share = Fraction(std::lround(1 / BUDGET_CLOCK_SHARE));
    const std::string per_depth = Fraction(DEPTH_BUDGET_DIVISOR);
    const long pawn_mg = long(VALUE_MG[PAWN]) * PHASE_MAX, pawn_eg = long(VALUE_EG[PAWN]) * PHASE_MAX;
    ASSERT_FALSE(signature.empty());
    ExpectQuotes({
        {"docs/OPENBENCH.md", R"(Nodes searched: (\d+))", signature, 1},
        {"README.md", R"((?:completes|or) depth (\d+))", depth, 3},
        {"man/tarvik.6.in", R"(completes depth (\d+))", depth, 1},
        {"man/tarvik-bench.6.in", R"(from 1 to (\d+))", depth, 2},
        {"docs/HACKING.md", R"(depth-(\d+) search)", depth, 1},
        {"README.md", R"((\d+) characters)", line, 2},
        {"README.md", R"re("score cp -?(\d+)")re", std::to_string(SCORE_INF), 2},
        {"README.md", R"(the (\d+) MB stack)", std::to_string(TARVIK_STACK_BYTES >> 20), 1},
        {"README.md", R"((\d+) per table unit)", phase, 1},
        {"docs/GLOSSARY.md", R"((\d+)(?: \(`PHASE_MAX`\)| - phase\)|, never divided))", phase, 3},
        {"docs/GLOSSARY.md", R"(evaluates to (\d+))", phase, 1},
        {"README.md", R"(a pawn of (\d+-\d+) table units)",
         std::to_string(VALUE_MG[PAWN]) + "-" + std::to_string(VALUE_EG[PAWN]), 1},
        {"README.md", R"re(roughly (\d+-\d+) "cp")re", Hundreds(pawn_mg) + "-" + Hundreds(pawn_eg), 1},
        {"man/tarvik.6.in", R"(about (\d+) to a pawn)", Hundreds(pawn_mg), 1},
        {"docs/OPENBENCH.md", R"(about (\d+) to a pawn)", Hundreds(pawn_mg), 1},
        {"README.md", R"(budgets a (\w+) of that figure)", share, 1},
        {"man/tarvik.6.in", R"(one (\w+) of that figure)", share, 1},
        {"docs/HACKING.md", R"(budget \(a (\w+) of it\))", share, 1},
        {"README.md", R"(more than a (\w+) of the budget)", per_depth, 1},
        {"man/tarvik.6.in", R"(more than a (\w+) of the budget)", per_depth, 1},
        {"docs/HACKING.md", R"(more than a (\w+) of the budget)", per_depth, 1},
        // The page shows pawns as the engine's score over 100 table units
        // (web/src/engine-facts.js, held to the engine by its own test).
        {"README.md", R"(divided by (\d+))", std::to_string(PHASE_MAX * 100), 1},
        // What the page reads of one PGN text.
        {"README.md", R"(up to ([\d,]+) games)", Thousands(NumberIn("web/src/pgn.js", R"(MAX_GAMES = (\d+);)")), 1},
        {"README.md", R"(games or (\d+) MB)", NumberIn("web/src/pgn.js", R"(MAX_PGN_BYTES = (\d+) \* 1024 \* 1024;)"),
         1},
        // A practice try's margin against the best move.
        {"README.md", R"(within (\d+) points)", NumberIn("web/src/practice-ctrl.js", R"(GOOD_MARGIN = (\d+);)"), 1},
    });
}

// The help texts and manual pages quote the programs' bounds and defaults;
// the programs themselves show what they are.
TEST(DocumentsProcessTest, HelpAndManualPagesAgreeWithThePrograms) {
    const std::string bench_help = RunProgram("tarvik-bench", "--help", "", 10).out;
    EXPECT_TRUE(Contains(bench_help, "(1 to " + std::to_string(MAX_DEPTH) + ")")) << bench_help;

    // The deepest perft: the number after the manual's bound is refused, and
    // the refusal and the help name the same bound.
    const std::string perft_page = SourceFile("man/tarvik-perft.6.in");
    std::smatch bound;
    ASSERT_TRUE(std::regex_search(perft_page, bound, std::regex(R"(from 0 to (\d+))"))) << perft_page;
    const int deepest = std::stoi(bound[1]);
    const ProcessResult refused = RunProgram("tarvik-perft", std::to_string(deepest + 1), "", 10, true);
    EXPECT_EQ(refused.status, 2);
    EXPECT_TRUE(Contains(refused.err, "from 0 to " + bound[1].str())) << refused.err;
    EXPECT_TRUE(Contains(RunProgram("tarvik-perft", "--help", "", 10).out, "(0 to " + bound[1].str() + ")"));

    // The default cap of --epd: a wrong count at the cap is checked, one
    // above it is passed over.
    std::smatch cap;
    ASSERT_TRUE(std::regex_search(perft_page, cap, std::regex(R"(\((\d+) unless given\))")));
    EXPECT_TRUE(Contains(RunProgram("tarvik-perft", "--help", "", 10).out, "(default " + cap[1].str() + ")"));
    const std::string epd = ::testing::TempDir() + "documents_cap.epd";
    {
        std::ofstream out(epd);
        out << START_FEN << " ;D1 " << cap[1] << " ;D2 " << std::stoull(cap[1]) + 1 << "\n";
    }
    const ProcessResult checked = RunProgram("tarvik-perft", "--epd " + epd, "", 30);
    EXPECT_EQ(checked.status, 1);
    EXPECT_EQ(Lines(checked.out).back(), "0 passed, 1 failed") << checked.out;
    std::remove(epd.c_str());

    // The example of the perft page.
    std::smatch example;
    ASSERT_TRUE(
        std::regex_search(perft_page, example, std::regex(R"(tarvik\\-perft (\d+)\nprints\n[^N]*Nodes: (\d+))")));
    const ProcessResult counted = RunProgram("tarvik-perft", example[1], "", 30);
    EXPECT_TRUE(Contains(counted.out, "Nodes: " + example[2].str() + "\n")) << counted.out;
}

// The README's session is what the engine says: the handshake, and the
// search of its position to the depth of its last info line (how deep a
// clock lets it go depends on the machine), times and speeds apart.
TEST(DocumentsTest, ReadmeSessionIsTheEngines) {
    const std::string readme = SourceFile("README.md");
    const size_t start = readme.find("```\n> uci\n");
    ASSERT_NE(start, std::string::npos);
    const size_t end = readme.find("```", start + 4);
    std::vector<std::string> handshake;
    ExpectedBlock search;
    for (const std::string& line : Lines(readme.substr(start + 4, end - start - 4))) {
        if (line.rfind("> position ", 0) == 0) search.command = line.substr(2);
        if (line.rfind("< ", 0) == 0)
            (search.command.empty() ? handshake : search.reply).push_back(Untimed(line.substr(2)));
    }
    const std::vector<std::string> engine = {std::string("id name ") + ENGINE_ID,
                                             std::string("id author ") + ENGINE_AUTHOR, "uciok", "readyok"};
    EXPECT_EQ(handshake, engine);
    ASSERT_GT(ExpectedDepth(search), 1u) << search.command;
    FILE* said = tmpfile();
    ASSERT_NE(said, nullptr);
    const ExpectedTally tally = CheckExpected({search}, said);
    rewind(said);
    std::string report;
    for (int c; (c = fgetc(said)) != EOF;) report += char(c);
    fclose(said);
    EXPECT_EQ(tally.failed, 0) << report;
}

}  // namespace

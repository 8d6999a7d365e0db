// The programs' command lines: --help and --version, the engine's unknown
// arguments, the usage errors of tarvik-perft and tarvik-bench; and the perft
// program's own arithmetic, where the EPD suite checker and the command line
// agree that the tree of depth 0 is one leaf.
#include <cstdio>
#include <string>

#include "expect.h"
#include "test_util.h"
#include "uci/version.h"

namespace {

std::string WriteEpd(const std::string& text) {
    char path[] = "/tmp/tarvik_test_epdXXXXXX";
    const int fd = mkstemp(path);
    FILE* f = fdopen(fd, "w");
    fputs(text.c_str(), f);
    fclose(f);
    return path;
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// --help and --version answer at once, without reading the input: the "uci"
// and "go" waiting there would bring a handshake and a search that never ends.
TEST(ProgramArgumentsTest, HelpAndVersionExitAtOnce) {
    const std::string version = ENGINE_VERSION;
    const struct {
        const char* program;
        const char* args;
        std::string out;  // the whole output, or for --help a part of it
    } cases[] = {
        {"tarvik", "--version", "tarvik " + version + "\n"},
        {"tarvik-perft", "--version", "tarvik-perft (tarvik) " + version + "\n"},
        {"tarvik-bench", "--version", "tarvik-bench (tarvik) " + version + "\n"},
        {"tarvik", "--help", "usage: tarvik [go]\n"},
        {"tarvik-perft", "--help", "usage: tarvik-perft DEPTH [FEN] [--divide]\n"},
        {"tarvik-bench", "--help", "usage: tarvik-bench [--check]\n"},
    };
    for (const auto& c : cases) {
        const ProcessResult r = RunProgram(c.program, c.args, "uci\ngo\n", 10, true);
        EXPECT_EQ(r.status, 0) << c.program << " " << c.args;
        EXPECT_EQ(r.err, "") << c.program << " " << c.args;
        if (std::string(c.args) == "--version")
            EXPECT_EQ(r.out, c.out);
        else
            EXPECT_TRUE(Contains(r.out, c.out)) << r.out;
    }
    // The engine's help says what it is, how it talks, its one argument and
    // where to read more.
    const std::string help = RunProgram("tarvik", "--help", "", 10).out;
    for (const char* part : {"Universal Chess Interface", "standard input", "  go ", "README"})
        EXPECT_TRUE(Contains(help, part)) << part << " missing from:\n" << help;
}

// An argument the engine does not know brings one line on standard error
// naming --help; the engine then does exactly what it does without it.
TEST(ProgramArgumentsTest, UnknownEngineArgumentsAreNotedAndIgnored) {
    const std::string input = "uci\nisready\nposition fen 7k/6Q1/6K1/8/8/8/8/8 b - - 0 1\ngo\nquit\n";
    const ProcessResult plain = RunProgram("tarvik", "", input, 60, true);
    ASSERT_EQ(plain.status, 0);
    EXPECT_EQ(plain.err, "");
    ASSERT_TRUE(Contains(plain.out, "uciok\nreadyok\n")) << plain.out;
    const struct {
        const char* args;
        const char* named;
    } cases[] = {
        {"--verbose", "\"--verbose\""}, {"-h", "\"-h\""}, {"GO", "\"GO\""}, {"uci extra", "\"uci\" \"extra\""},
        {"--help-me", "\"--help-me\""},
    };
    for (const auto& c : cases) {
        const ProcessResult r = RunProgram("tarvik", c.args, input, 60, true);
        EXPECT_EQ(r.status, 0) << c.args;
        // Times and speeds vary; only the search output's shape is compared.
        EXPECT_EQ(Untimed(r.out), Untimed(plain.out)) << c.args;
        const std::vector<std::string> lines = Lines(r.err);
        ASSERT_EQ(lines.size(), 1u) << c.args << ": " << r.err;
        EXPECT_TRUE(Contains(lines[0], c.named) && Contains(lines[0], "tarvik --help")) << lines[0];
    }
}

// "go" first still searches at start-up, with a note for what follows it and
// none for itself.
TEST(ProgramArgumentsTest, GoFirstStillSearches) {
    const struct {
        const char* args;
        const char* note;  // a part of the one line on standard error, or ""
    } cases[] = {{"go", ""}, {"go now", "\"now\""}};
    for (const auto& c : cases) {
        const ProcessResult r = RunProgram("tarvik", c.args, "", 2, true);
        EXPECT_EQ(r.status, 137) << c.args << ": the search at start-up ended: " << r.out;
        EXPECT_EQ(r.out.rfind("info depth 1 score cp ", 0), 0u) << c.args << ": " << r.out;
        if (*c.note)
            EXPECT_TRUE(Lines(r.err).size() == 1 && Contains(r.err, c.note)) << r.err;
        else
            EXPECT_EQ(r.err, "");
    }
}

// tarvik-perft and tarvik-bench refuse a malformed command line with a
// message on standard error and status 2, before doing any work; the
// well-formed lines next to them pass.
TEST(ProgramArgumentsTest, UsageErrorsExitWithTwo) {
    const std::string suite = WriteEpd(std::string(START_FEN) + " ;D1 20 ;D2 400\n");
    const std::string data = TARVIK_TEST_DATA;
    const struct {
        const char* program;
        std::string args;
        int status;
        std::string said;  // a part of standard error (status 2) or standard output (status 0)
    } cases[] = {
        {"tarvik-perft", "", 2, "no DEPTH"},
        {"tarvik-perft", "abc", 2, "DEPTH must be a number"},
        {"tarvik-perft", "5x", 2, "DEPTH must be a number"},
        {"tarvik-perft", "-1", 2, "DEPTH must be a number"},
        {"tarvik-perft", "65", 2, "DEPTH must be a number"},
        {"tarvik-perft", "99999999999999999999999", 2, "DEPTH must be a number"},
        {"tarvik-perft", "3 --deep", 2, "unknown option: --deep"},
        {"tarvik-perft", "2 8/8/8/8/8/8/8/K6k w - - 0 1", 2, "one FEN only"},
        {"tarvik-perft", "2 8/8/8/8/8/8/8/8", 2, "refused FEN"},
        {"tarvik-perft", "--epd", 2, "--epd needs a FILE"},
        {"tarvik-perft", "--epd /nonexistent/suite.epd", 2, "cannot open /nonexistent/suite.epd"},
        {"tarvik-perft", "--epd " + data, 2, "cannot read " + data},
        {"tarvik-perft", "--epd " + suite + " --max-nodes lots", 2, "--max-nodes takes a number: lots"},
        {"tarvik-perft", "--epd " + suite + " --max-nodes", 2, "unexpected argument: --max-nodes"},
        {"tarvik-bench", "--depth", 2, "missing value after: --depth"},
        {"tarvik-bench", "--depth deep", 2, "--depth takes a number"},
        {"tarvik-bench", "--depth 0", 2, "--depth takes a number"},
        {"tarvik-bench", "--depth 256", 2, "--depth takes a number"},
        {"tarvik-bench", "--depth 2x", 2, "--depth takes a number"},
        {"tarvik-bench", "--depth 3 --fen", 2, "missing value after: --fen"},
        {"tarvik-bench", "--fen 8/8/8/8/8/8/8/K6k", 2, "--depth D is needed"},
        {"tarvik-bench", "--depth 2 --fen 8/8", 2, "refused: position fen 8/8"},
        {"tarvik-bench", "--depth 2 --moves e2e5", 2, "refused: position startpos moves e2e5"},
        {"tarvik-bench", "--nodes 5", 2, "unknown argument: --nodes"},
        {"tarvik-bench", "2", 2, "unknown argument: 2"},
        {"tarvik-bench", "--expect", 2, "--expect takes one FILE"},
        {"tarvik-bench", "--expect " + suite + " " + suite, 2, "--expect takes one FILE"},
        {"tarvik-bench", "--expect /nonexistent/expected.txt", 2, "cannot open /nonexistent/expected.txt"},
        {"tarvik-bench", "--expect " + data, 2, "no expected results read from " + data},
        {"tarvik-perft", "2", 0, "Nodes: 400\n"},
        {"tarvik-perft", "--divide 1", 0, "Nodes: 20\n"},
        {"tarvik-perft", "3 --divide", 0, "Nodes: 8902\n"},
        {"tarvik-perft", "--epd " + suite + " --max-nodes 20", 0, "1 passed, 0 failed"},
        {"tarvik-bench", "--depth 1 --moves e2e4", 0, "bestmove "},
    };
    for (const auto& c : cases) {
        const ProcessResult r = RunProgram(c.program, c.args, "", 60, true);
        const std::string what = std::string(c.program) + " " + c.args;
        EXPECT_EQ(r.status, c.status) << what << "\n" << r.out << r.err;
        if (c.status == 2) {
            EXPECT_EQ(r.out, "") << what;
            EXPECT_EQ(r.err.rfind(std::string(c.program) + ": ", 0), 0u) << what << "\n" << r.err;
            EXPECT_TRUE(Contains(r.err, c.said)) << what << "\n" << r.err;
        } else {
            EXPECT_EQ(r.err, "") << what;
            EXPECT_TRUE(Contains(r.out, c.said)) << what << "\n" << r.out;
        }
    }
    remove(suite.c_str());
}

// The bench program's checking modes: what they print and their status, with
// the expected-results reader and comparison themselves tested in-process.
TEST(BenchProgramTest, CheckingModes) {
    const std::string block =
        "position startpos\n"
        "info depth 1 score cp 864 nodes 1 pv g1f3\n"
        "info depth 2 score cp 0 nodes 21 pv g1f3\n"
        "bestmove g1f3\n";
    std::string changed = block;
    changed.replace(changed.find("nodes 21"), 8, "nodes 20");
    const std::string good = WriteEpd("# a block\n\n" + block), bad = WriteEpd(block + "\n" + changed);
    const struct {
        std::string args;
        std::string input;
        int status;
        std::string out;
    } cases[] = {
        {"--expect " + good, "", 0, "1 expected results matched\n"},
        {"--expect " + bad, "", 1,
         "FAIL position startpos (depth 2)\n"
         "- info depth 2 score cp 0 nodes 20 pv g1f3\n"
         "+ info depth 2 score cp 0 nodes 21 pv g1f3\n"
         "1 expected results matched, 1 failed\n"},
        {"--untimed", "info depth 1 score cp 5 nps 1234 nodes 1 time 17 pv e2e4\nbestmove e2e4\nlast", 0,
         "info depth 1 score cp 5 nodes 1 pv e2e4\nbestmove e2e4\nlast\n"},
        {"--untimed", "", 0, ""},
    };
    for (const auto& c : cases) {
        const ProcessResult r = RunProgram("tarvik-bench", c.args, c.input, 60, true);
        EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.out << r.err;
        EXPECT_EQ(r.out, c.out) << c.args;
        EXPECT_EQ(r.err, "") << c.args;
    }
    remove(good.c_str());
    remove(bad.c_str());
}

TEST(PerftProgramTest, DepthZeroIsOneLeaf) {
    const std::string start = START_FEN;
    const struct {
        std::string epd;
        int status;
        const char* summary;
    } cases[] = {
        {start + ";D0 1 ;D1 20 ;D2 400\n", 0, "3 passed, 0 failed"},
        {start + ";D0 20\n", 1, "0 passed, 1 failed"},
        {"4k3/8/8/8/8/8/8/4K2R w K - 0 1 ;D0 1 ;D1 15\n", 0, "2 passed, 0 failed"},
    };
    for (const auto& c : cases) {
        const std::string path = WriteEpd(c.epd);
        const ProcessResult run = RunProgram("tarvik-perft", "--epd " + path, "");
        remove(path.c_str());
        EXPECT_EQ(run.status, c.status) << c.epd << run.out;
        EXPECT_NE(run.out.find(c.summary), std::string::npos) << c.epd << run.out;
    }
    const ProcessResult zero = RunProgram("tarvik-perft", "0", "");
    EXPECT_EQ(zero.status, 0);
    EXPECT_NE(zero.out.find("Nodes: 1\n"), std::string::npos) << zero.out;
}

}  // namespace

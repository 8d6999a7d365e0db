// The programs' command lines: --help and --version, the engine's unknown
// arguments, the usage errors of tarvik-perft and tarvik-bench; and the perft
// program's own arithmetic, where the EPD suite checker and the command line
// agree that the tree of depth 0 is one leaf.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "benchmark.h"
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

// --help and --version answer at once, without reading the input: the "uci"
// and "go" waiting there would bring a handshake and a search that never ends.
TEST(ProgramArgumentsProcessTest, HelpAndVersionExitAtOnce) {
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
        // -h is --help, and either is answered wherever it stands, even
        // after an argument that would be refused.
        {"tarvik", "-h", "usage: tarvik [go]\n"},
        {"tarvik", "go --help", "usage: tarvik [go]\n"},
        {"tarvik", "bench -h", "usage: tarvik [go]\n"},
        {"tarvik-perft", "3 -h", "usage: tarvik-perft DEPTH [FEN] [--divide]\n"},
        {"tarvik-bench", "--depth x --help", "usage: tarvik-bench [--check]\n"},
        {"tarvik-bench", "--nodes 5 --version", "tarvik-bench (tarvik) " + version + "\n"},
        {"tests/tarvik-stress", "--help", "usage: tarvik-stress [--cycles N]"},
    };
    for (const auto& c : cases) {
        const ProcessResult r = RunProgram(c.program, c.args, "uci\ngo\n", 10, true);
        EXPECT_EQ(r.status, 0) << c.program << " " << c.args;
        EXPECT_EQ(r.err, "") << c.program << " " << c.args;
        if (Contains(c.args, "--version"))
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

// Every option a program's help lists has its entry in the program's manual
// page, so that the two are kept in step.
TEST(ProgramArgumentsProcessTest, ManualPagesNameEveryOption) {
    for (const char* program : {"tarvik", "tarvik-perft", "tarvik-bench"}) {
        std::ifstream file(std::string(TARVIK_SOURCE_DIR "/man/") + program + ".6.in");
        const std::string page((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        ASSERT_FALSE(page.empty()) << program;
        const std::string help = RunProgram(program, "--help", "", 10).out;
        int options = 0;
        for (const std::string& line : Lines(help)) {
            // An option's line: two spaces, then its names up to the next two.
            if (line.rfind("  ", 0) != 0 || line.size() < 3 || line[2] == ' ') continue;
            std::istringstream names(line.substr(2, line.find("  ", 2) - 2));
            for (std::string name; names >> name;) {
                if (name.back() == ',') name.pop_back();
                if (name[0] != '-' && (name[0] < 'a' || name[0] > 'z')) continue;  // a value's name
                std::string escaped;
                for (char c : name) escaped += c == '-' ? std::string("\\-") : std::string(1, c);
                const bool listed = name[0] == '-' ? Contains(page, escaped) : Contains(page, "\n.B " + name + "\n");
                EXPECT_TRUE(listed) << program << ": " << name << " is missing from its manual page";
                options++;
            }
        }
        EXPECT_GE(options, 3) << program << "\n" << help;
    }
}

// An argument the engine does not know brings one line on standard error
// naming --help; the engine then does exactly what it does without it.
TEST(ProgramArgumentsProcessTest, UnknownEngineArgumentsAreNotedAndIgnored) {
    const std::string input = "uci\nisready\nposition fen 7k/6Q1/6K1/8/8/8/8/8 b - - 0 1\ngo\nquit\n";
    const ProcessResult plain = RunProgram("tarvik", "", input, 60, true);
    ASSERT_EQ(plain.status, 0);
    EXPECT_EQ(plain.err, "");
    ASSERT_TRUE(Contains(plain.out, "uciok\nreadyok\n")) << plain.out;
    const struct {
        const char* args;
        const char* named;
    } cases[] = {
        {"--verbose", "\"--verbose\""},
        {"-v", "\"-v\""},
        {"GO", "\"GO\""},
        {"uci extra", "\"uci\" \"extra\""},
        {"--help-me", "\"--help-me\""},
        {"--help=yes", "\"--help=yes\""},
        {"--depth 3", "\"--depth\" \"3\""},
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
TEST(ProgramArgumentsProcessTest, GoFirstStillSearches) {
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

// tarvik-perft, tarvik-bench and the stress driver refuse a malformed command
// line with a message, the usage and a pointer to --help on standard error
// and status 2, before doing any work; the well-formed lines next to them,
// with their options in any order, pass.
TEST(ProgramArgumentsProcessTest, UsageErrorsExitWithTwo) {
    const std::string suite = WriteEpd(std::string(START_FEN) + " ;D1 20 ;D2 400\n");
    const std::string data = TARVIK_TEST_DATA;
    const struct {
        const char* program;
        std::string args;
        int status;        // 2 for a usage error, 3 for a refusal (status 2, no usage), or 0
        std::string said;  // a part of standard error (status 2, 3) or standard output (status 0)
    } cases[] = {
        {"tarvik-perft", "", 2, "no DEPTH"},
        {"tarvik-perft", "abc", 2, "DEPTH must be a number"},
        {"tarvik-perft", "5x", 2, "DEPTH must be a number"},
        {"tarvik-perft", "-1", 2, "DEPTH must be a number"},
        {"tarvik-perft", "65", 2, "DEPTH must be a number"},
        {"tarvik-perft", "99999999999999999999999", 2, "DEPTH must be a number"},
        {"tarvik-perft", "3 --deep", 2, "unknown option: --deep"},
        {"tarvik-perft", "-x 3", 2, "unknown option: -x"},
        {"tarvik-perft", "2 8/8/8/8/8/8/8/K6k w - - 0 1", 2, "one FEN only"},
        {"tarvik-perft", "--epd", 2, "missing value after: --epd"},
        {"tarvik-perft", "--epd " + suite + " --max-nodes lots", 2, "--max-nodes takes a number: lots"},
        {"tarvik-perft", "--epd " + suite + " --max-nodes", 2, "missing value after: --max-nodes"},
        {"tarvik-perft", "--epd " + suite + " 3", 2, "--epd takes no DEPTH or FEN: 3"},
        {"tarvik-perft", "--epd " + suite + " --divide", 2, "--divide goes with DEPTH"},
        {"tarvik-perft", "3 --max-nodes 5", 2, "--max-nodes goes with --epd"},
        {"tarvik-bench", "--depth", 2, "missing value after: --depth"},
        {"tarvik-bench", "--depth deep", 2, "--depth takes a number"},
        {"tarvik-bench", "--depth 0", 2, "--depth takes a number"},
        {"tarvik-bench", "--depth 256", 2, "--depth takes a number"},
        {"tarvik-bench", "--depth 2x", 2, "--depth takes a number"},
        {"tarvik-bench", "--depth=", 2, "--depth takes a number"},
        {"tarvik-bench", "--depth 3 --fen", 2, "missing value after: --fen"},
        {"tarvik-bench", "--fen 8/8/8/8/8/8/8/K6k", 2, "--depth D is needed"},
        {"tarvik-bench", "--nodes 5", 2, "unknown option: --nodes"},
        {"tarvik-bench", "--check=yes", 2, "unknown option: --check=yes"},
        {"tarvik-bench", "2", 2, "unexpected argument: 2"},
        {"tarvik-bench", "--check extra", 2, "unexpected argument: extra"},
        {"tarvik-bench", "--check --depth 3", 2, "one at a time"},
        {"tarvik-bench", "--untimed --expect " + suite, 2, "one at a time"},
        {"tarvik-bench", "--expect", 2, "missing value after: --expect"},
        {"tarvik-bench", "--expect " + suite + " " + suite, 2, "unexpected argument: " + suite},
        {"tests/tarvik-stress", "--cycles 5", 2, "no COMMAND after --"},
        {"tests/tarvik-stress", "--cycles lots -- tarvik", 2, "--cycles takes a number from 1 to 1000000: lots"},
        {"tests/tarvik-stress", "--seed 0 -- tarvik", 2, "--seed takes a number"},
        {"tests/tarvik-stress", "--sede 5 -- tarvik", 2, "unknown option: --sede"},
        {"tests/tarvik-stress", "5 -- tarvik", 2, "unexpected argument: 5"},
        // Refused at work, not for their form: no usage follows.
        {"tarvik-perft", "2 8/8/8/8/8/8/8/8", 3, "refused FEN"},
        {"tarvik-perft", "--epd /nonexistent/suite.epd", 3, "cannot open /nonexistent/suite.epd"},
        {"tarvik-perft", "--epd " + data, 3, "cannot read " + data},
        {"tarvik-bench", "--depth 2 --fen 8/8", 3, "refused: position fen 8/8"},
        {"tarvik-bench", "--depth 2 --moves e2e5", 3, "refused: position startpos moves e2e5"},
        {"tarvik-bench", "--expect /nonexistent/expected.txt", 3, "cannot open /nonexistent/expected.txt"},
        {"tarvik-bench", "--expect " + data, 3, "no expected results read from " + data},
        // Options in any position, in either spelling.
        {"tarvik-perft", "2", 0, "Nodes: 400\n"},
        {"tarvik-perft", "--divide 1", 0, "Nodes: 20\n"},
        {"tarvik-perft", "3 --divide", 0, "Nodes: 8902\n"},
        {"tarvik-perft", "--epd " + suite + " --max-nodes 20", 0, "1 passed, 0 failed"},
        {"tarvik-perft", "--max-nodes 20 --epd " + suite, 0, "1 passed, 0 failed"},
        {"tarvik-perft", "--max-nodes=400 --epd=" + suite, 0, "2 passed, 0 failed"},
        {"tarvik-bench", "--depth 1 --moves e2e4", 0, "bestmove "},
        {"tarvik-bench", "--moves e2e4 --depth=1", 0, "bestmove "},
    };
    for (const auto& c : cases) {
        const ProcessResult r = RunProgram(c.program, c.args, "", 60, true);
        const std::string what = std::string(c.program) + " " + c.args;
        const std::string name = std::string(c.program).substr(std::string(c.program).rfind('/') + 1);
        // Status 3 in the table stands for a refusal: status 2 without the usage.
        const bool usage = c.status == 2;
        EXPECT_EQ(r.status, c.status == 3 ? 2 : c.status) << what << "\n" << r.out << r.err;
        if (c.status != 0) {
            EXPECT_EQ(r.out, "") << what;
            EXPECT_EQ(r.err.rfind(name + ": ", 0), 0u) << what << "\n" << r.err;
            EXPECT_TRUE(Contains(r.err, c.said)) << what << "\n" << r.err;
            // The usage follows a malformed line, and where to read more.
            EXPECT_EQ(Contains(r.err, "\nusage: " + name + " "), usage) << what << "\n" << r.err;
            EXPECT_EQ(Contains(r.err, "See " + name + " --help.\n"), usage) << what << "\n" << r.err;
        } else {
            EXPECT_EQ(r.err, "") << what;
            EXPECT_TRUE(Contains(r.out, c.said)) << what << "\n" << r.out;
        }
    }
    remove(suite.c_str());
}

// The bench program's checking modes: what they print and their status, with
// the expected-results reader and comparison themselves tested in-process.
TEST(BenchProcessTest, CheckingModes) {
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

// The bench output without its speeds: the Nodes/second line and the nps and
// time fields.
std::string WithoutSpeed(const std::string& out) {
    std::string kept;
    for (const std::string& line : Lines(Untimed(out)))
        if (line.rfind("Nodes/second: ", 0) != 0) kept += line + "\n";
    return kept;
}

// "tarvik bench" is the bench of tarvik-bench, the same on every run, and
// ends as testing frameworks read it: the node count, then the speed.
TEST(BenchProcessTest, EngineBenchIsTheBench) {
    const ProcessResult bench = RunProgram("tarvik-bench", "", "", 300, true);
    const ProcessResult first = RunProgram("tarvik", "bench", "uci\n", 300, true);
    const ProcessResult second = RunProgram("tarvik", "bench", "", 300, true);
    for (const ProcessResult* r : {&bench, &first, &second}) {
        EXPECT_EQ(r->status, 0) << r->out << r->err;
        EXPECT_EQ(r->err, "");
        const std::vector<std::string> lines = Lines(r->out);
        ASSERT_GE(lines.size(), 2u) << r->out;
        EXPECT_EQ(lines[lines.size() - 2], "Nodes searched: " + std::to_string(BENCH_SIGNATURE));
        unsigned long long nps = 0;
        char end = 0;
        EXPECT_EQ(sscanf(lines.back().c_str(), "Nodes/second: %llu%c", &nps, &end), 1) << lines.back();
        EXPECT_GT(nps, 0u);
    }
    EXPECT_EQ(WithoutSpeed(first.out), WithoutSpeed(bench.out));
    EXPECT_EQ(WithoutSpeed(second.out), WithoutSpeed(first.out));
    // Nothing else: the bench is all the engine does, even with input waiting.
    EXPECT_EQ(first.out.find("uciok"), std::string::npos);
}

TEST(PerftProcessTest, DepthZeroIsOneLeaf) {
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

// tarvik-bench: the bench and its signature check, one position searched to a
// depth, the expected-results check and the filter that cuts times out.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>

#include "args.h"
#include "benchmark.h"
#include "expect.h"
#include "search/search.h"
#include "tables/init.h"

namespace {

const char USAGE[] =
    "usage: tarvik-bench [--check]\n"
    "       tarvik-bench --depth D [--fen FEN] [--moves \"e2e4 e7e5 ...\"]\n"
    "       tarvik-bench --expect FILE\n"
    "       tarvik-bench --untimed\n"
    "       tarvik-bench --help | --version\n";

const char HELP[] =
    "\n"
    "Without arguments, searches a fixed set of positions and ends with\n"
    "\"Nodes searched: N\", the engine's signature, and \"Nodes/second: X\".\n"
    "\n"
    "  --check          also compare the node count with this build's signature\n"
    "                   and end with a line saying whether they match\n"
    "  --depth D        search one position to depth D (1 to 255) instead\n"
    "  --fen FEN        that position (one argument: quote it); default the start\n"
    "  --moves MOVES    after these moves (one argument: quote it)\n"
    "  --expect FILE    search each block of an expected-results file (a\n"
    "                   \"position\" line, its progress lines, \"bestmove\") to the\n"
    "                   depth of its last progress line and compare the reply,\n"
    "                   leaving out times and speeds\n"
    "  --untimed        copy standard input to standard output without the\n"
    "                   \" nps N\" and \" time N\" fields, for comparing transcripts\n"
    "  --help           print this text and exit\n"
    "  --version        print the version and exit\n"
    "\n"
    "Exit status: 0 on success; 1 when --check finds another node count, when\n"
    "--expect finds a result that differs, or when a bench position is refused;\n"
    "2 on a usage error, a refused position or an unreadable file.\n"
    "The manual page is tarvik-bench(6).\n";

int UsageError(const char* what, const char* argument) { return ::UsageError("tarvik-bench", USAGE, what, argument); }

// Runs the bench; with check, compares its node count with the signature
// and says so on a last line of its own.
int RunBenchProgram(bool check) {
    BenchTotals totals;
    if (!RunBench("tarvik-bench", totals, stdout)) return 1;
    if (!check) return 0;
    if (totals.nodes == BENCH_SIGNATURE) {
        printf("Bench signature matched: %llu\n", static_cast<unsigned long long>(totals.nodes));
        return 0;
    }
    printf("Bench signature differs: %llu nodes searched, %llu expected\n",
           static_cast<unsigned long long>(totals.nodes), static_cast<unsigned long long>(BENCH_SIGNATURE));
    return 1;
}

int RunExpect(const char* path) {
    std::ifstream in(path);
    if (!in) {
        fprintf(stderr, "tarvik-bench: cannot open %s\n", path);
        return 2;
    }
    const std::vector<ExpectedBlock> blocks = ReadExpected(in);
    if (in.bad() || blocks.empty()) {
        fprintf(stderr, "tarvik-bench: no expected results read from %s\n", path);
        return 2;
    }
    return CheckExpected(blocks, stdout).failed ? 1 : 0;
}

int RunUntimed() {
    for (std::string line; std::getline(std::cin, line);) printf("%s\n", Untimed(line).c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (AnswerHelpOrVersion(argc, argv, "tarvik-bench", USAGE, HELP)) return 0;
    Init();
    if (argc == 1) return RunBenchProgram(false);
    if (argc == 2 && strcmp(argv[1], "--check") == 0) return RunBenchProgram(true);
    if (argc == 2 && strcmp(argv[1], "--untimed") == 0) return RunUntimed();
    if (strcmp(argv[1], "--expect") == 0) {
        if (argc != 3) return UsageError("--expect takes one FILE", argc > 3 ? argv[3] : "");
        return RunExpect(argv[2]);
    }

    uint64_t depth = 0;
    const char* fen = nullptr;  // an empty FEN is refused, not the start position
    std::string moves;
    for (int i = 1; i < argc; i++) {
        const char* option = argv[i];
        if (strcmp(option, "--depth") != 0 && strcmp(option, "--fen") != 0 && strcmp(option, "--moves") != 0)
            return UsageError("unknown argument", option);
        if (i + 1 >= argc) return UsageError("missing value after", option);
        const char* value = argv[++i];
        if (strcmp(option, "--depth") == 0) {
            if (!ParseNumber(value, MAX_DEPTH, depth) || depth < 1)
                return UsageError("--depth takes a number from 1 to 255", value);
        } else if (strcmp(option, "--fen") == 0) {
            fen = value;
        } else {
            moves = value;
        }
    }
    if (depth == 0) return UsageError("--depth D is needed with --fen and --moves", "");
    std::string command = fen ? std::string("position fen ") + fen : "position startpos";
    if (!moves.empty()) command += " moves " + moves;
    BenchTotals totals;
    if (!BenchSearch(command.c_str(), uint32_t(depth), totals, stdout)) {
        fprintf(stderr, "tarvik-bench: refused: %s\n", command.c_str());
        return 2;
    }
    return 0;
}

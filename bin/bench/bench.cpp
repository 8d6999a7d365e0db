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

const char* const FORMS[] = {
    "[--check]",          "--depth D [--fen FEN] [--moves \"e2e4 e7e5 ...\"]", "--expect FILE", "--untimed",
    "--help | --version",
};

const Option OPTIONS[] = {
    {"--check", "", FLAG, "", 0, 0,
     "also compare the node count with this build's signature\nand end with a line saying whether they match"},
    {"--depth", "", NUMBER, "D", 1, MAX_DEPTH, "search one position to depth D (1 to 255) instead"},
    {"--fen", "", TEXT, "FEN", 0, 0, "that position (one argument: quote it); default the start"},
    {"--moves", "", TEXT, "MOVES", 0, 0, "after these moves (one argument: quote it)"},
    {"--expect", "", TEXT, "FILE", 0, 0,
     "search each block of an expected-results file (a\n\"position\" line, its progress lines, \"bestmove\") to "
     "the\ndepth of its last progress line and compare the reply,\nleaving out times and speeds"},
    {"--untimed", "", FLAG, "", 0, 0,
     "copy standard input to standard output without the\n\" nps N\" and \" time N\" fields, for comparing "
     "transcripts"},
    {"--help", "-h", FLAG, "", 0, 0, "print this text and exit"},
    {"--version", "", FLAG, "", 0, 0, "print the version and exit"},
};

const Program PROGRAM = {
    "tarvik-bench",
    FORMS,
    "Without arguments, searches a fixed set of positions and ends with\n"
    "\"Nodes searched: N\", the engine's signature, and \"Nodes/second: X\".\n",
    OPTIONS,
    "Exit status: 0 on success; 1 when --check finds another node count, when\n"
    "--expect finds a result that differs, or when a bench position is refused;\n"
    "2 on a usage error, a refused position or an unreadable file.\n"
    "The manual page is tarvik-bench(6).\n",
    0,
    false,
    false,
};

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

// Searches one position to depth: the start position or fen, after moves.
int RunPosition(uint32_t depth, const Given& fen, const Given& moves) {
    // An empty FEN is refused, not taken for the start position.
    std::string command = fen.given ? std::string("position fen ") + fen.text : "position startpos";
    if (moves.given && *moves.text) command += std::string(" moves ") + moves.text;
    BenchTotals totals;
    if (!BenchSearch(command.c_str(), depth, totals, stdout)) {
        fprintf(stderr, "tarvik-bench: refused: %s\n", command.c_str());
        return 2;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Arguments args;
    const ParseOutcome outcome = ParseArguments(PROGRAM, argc, argv, args);
    if (outcome != PARSED) return outcome == ANSWERED ? 0 : 2;
    const Given& check = Value(PROGRAM, args, "--check");
    const Given& depth = Value(PROGRAM, args, "--depth");
    const Given& fen = Value(PROGRAM, args, "--fen");
    const Given& moves = Value(PROGRAM, args, "--moves");
    const Given& expect = Value(PROGRAM, args, "--expect");
    const Given& untimed = Value(PROGRAM, args, "--untimed");
    // One mode at a time.
    const int modes = check.given + (depth.given || fen.given || moves.given) + expect.given + untimed.given;
    if (modes > 1) return UsageError(PROGRAM, "--check, --depth, --expect and --untimed go one at a time", "");
    if ((fen.given || moves.given) && !depth.given)
        return UsageError(PROGRAM, "--depth D is needed with --fen and --moves", "");
    Init();
    if (untimed.given) return RunUntimed();
    if (expect.given) return RunExpect(expect.text);
    if (depth.given) return RunPosition(uint32_t(depth.number), fen, moves);
    return RunBenchProgram(check.given);
}

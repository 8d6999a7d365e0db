// tarvik-perft: counts leaf nodes of the legal move tree with the library's
// Perft, and checks EPD perft suites.
#include "movegen/perft.h"

#include <cerrno>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "args.h"
#include "board/move.h"
#include "movegen/move_gen.h"
#include "position/position.h"
#include "tables/init.h"

namespace {

double seconds_since(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

const char* const FORMS[] = {
    "DEPTH [FEN] [--divide]",
    "--epd FILE [--max-nodes N]",
    "--help | --version",
};

// The default cap of --epd keeps a whole suite to a few seconds.
constexpr uint64_t EPD_MAX_NODES = 10000000;

const Option OPTIONS[] = {
    {"--divide", "", FLAG, "", 0, 0, "list each legal move with the count below it"},
    {"--epd", "", TEXT, "FILE", 0, 0, "check a perft suite: lines \"FEN ;D1 n ;D2 n ...\""},
    {"--max-nodes", "", NUMBER, "N", 0, UINT64_MAX, "with --epd, check only counts up to N (default 10000000)"},
    {"--help", "-h", FLAG, "", 0, 0, "print this text and exit"},
    {"--version", "", FLAG, "", 0, 0, "print the version and exit"},
};

const Program PROGRAM = {
    "tarvik-perft",
    FORMS,
    "Counts the leaves of the legal move tree DEPTH moves deep (0 to 64) from\n"
    "the start position or FEN (one argument: quote it).\n",
    OPTIONS,
    "Exit status: 0 on success, 1 when a suite count is wrong, 2 on a usage\n"
    "error. The manual page is tarvik-perft(6).\n",
    // Counted here rather than refused by the reader, so that an unquoted FEN
    // gets a message saying so.
    64,
    false,
    false,
};

int RunDepth(int depth, const char* fen, bool divide) {
    History history;
    Position pos;
    if (!import(pos, history, fen)) {
        fprintf(stderr, "tarvik-perft: refused FEN: %s\n", fen);
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    uint64_t total = 0;
    if (divide && depth > 0) {
        Move moves[MAX_MOVES];
        const uint32_t count = GenerateMoves(pos, moves);
        Position next;
        for (uint32_t i = 0; i < count; i++) {
            if (!apply_legal(next, pos, moves[i])) continue;
            const uint64_t n = Perft(next, depth - 1);
            move_print(moves[i]);
            printf(" %" PRIu64 "\n", n);
            total += n;
        }
    } else {
        total = Perft(pos, depth);
    }
    const double secs = seconds_since(start);
    printf("Nodes: %" PRIu64 "\nTime: %.3f s\nNodes/second: %.0f\n", total, secs,
           secs > 0 ? double(total) / secs : 0.0);
    return 0;
}

// Lines of the form "FEN ;D1 n ;D2 n ...": every depth whose expected count is
// at most max_nodes is checked.
int RunEpd(const char* path, uint64_t max_nodes) {
    FILE* file = fopen(path, "r");
    if (!file) {
        fprintf(stderr, "tarvik-perft: cannot open %s: %s\n", path, strerror(errno));
        return 2;
    }
    int passed = 0, failed = 0;
    char line[4096];
    const auto start = std::chrono::steady_clock::now();
    uint64_t total = 0;
    while (fgets(line, sizeof line, file)) {
        line[strcspn(line, "\r\n")] = '\0';
        char* fields = strchr(line, ';');
        if (!fields) continue;
        *fields++ = '\0';
        History history;
        Position pos;
        if (!import(pos, history, line)) {
            printf("FAIL refused FEN: %s\n", line);
            failed++;
            continue;
        }
        for (char* field = strtok(fields, ";"); field; field = strtok(nullptr, ";")) {
            int depth;
            unsigned long long expected;
            if (sscanf(field, " D%d %llu", &depth, &expected) != 2 || depth < 0 || expected > max_nodes) continue;
            const uint64_t found = Perft(pos, depth);
            total += found;
            if (found == expected) {
                passed++;
            } else {
                printf("FAIL %s depth %d expected %llu found %" PRIu64 "\n", line, depth, expected, found);
                failed++;
            }
        }
    }
    // A directory opens but cannot be read.
    const bool unreadable = ferror(file);
    const int read_error = errno;
    fclose(file);
    if (unreadable) {
        fprintf(stderr, "tarvik-perft: cannot read %s: %s\n", path, strerror(read_error));
        return 2;
    }
    const double secs = seconds_since(start);
    printf("Nodes: %" PRIu64 " in %.3f s (%.0f nodes/second)\n", total, secs, secs > 0 ? double(total) / secs : 0.0);
    printf("%d passed, %d failed\n", passed, failed);
    return failed ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    Arguments args;
    const ParseOutcome outcome = ParseArguments(PROGRAM, argc, argv, args);
    if (outcome != PARSED) return outcome == ANSWERED ? 0 : 2;
    const Given& divide = Value(PROGRAM, args, "--divide");
    const Given& epd = Value(PROGRAM, args, "--epd");
    const Given& max_nodes = Value(PROGRAM, args, "--max-nodes");
    if (epd.given) {
        if (!args.positional.empty()) return UsageError(PROGRAM, "--epd takes no DEPTH or FEN", args.positional[0]);
        if (divide.given) return UsageError(PROGRAM, "--divide goes with DEPTH, not --epd", "");
        Init();
        return RunEpd(epd.text, max_nodes.given ? max_nodes.number : EPD_MAX_NODES);
    }
    if (max_nodes.given) return UsageError(PROGRAM, "--max-nodes goes with --epd", "");
    if (args.positional.empty()) return UsageError(PROGRAM, "no DEPTH given", "");
    if (args.positional.size() > 2)
        return UsageError(PROGRAM, "one FEN only, as one argument (quote it); extra argument", args.positional[2]);
    uint64_t depth = 0;
    if (!ParseNumber(args.positional[0], 64, depth))
        return UsageError(PROGRAM, "DEPTH must be a number from 0 to 64", args.positional[0]);
    Init();
    return RunDepth(int(depth), args.positional.size() > 1 ? args.positional[1] : START_FEN, divide.given);
}

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

const char USAGE[] =
    "usage: tarvik-perft DEPTH [FEN] [--divide]\n"
    "       tarvik-perft --epd FILE [--max-nodes N]\n"
    "       tarvik-perft --help | --version\n";

const char HELP[] =
    "\n"
    "Counts the leaves of the legal move tree DEPTH moves deep (0 to 64) from\n"
    "the start position or FEN (one argument: quote it).\n"
    "\n"
    "  --divide         list each legal move with the count below it\n"
    "  --epd FILE       check a perft suite: lines \"FEN ;D1 n ;D2 n ...\"\n"
    "  --max-nodes N    with --epd, check only counts up to N (default 10000000)\n"
    "  --help           print this text and exit\n"
    "  --version        print the version and exit\n"
    "\n"
    "Exit status: 0 on success, 1 when a suite count is wrong, 2 on a usage\n"
    "error. The manual page is tarvik-perft(6).\n";

int UsageError(const char* what, const char* argument) { return ::UsageError("tarvik-perft", USAGE, what, argument); }

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
    if (AnswerHelpOrVersion(argc, argv, "tarvik-perft", USAGE, HELP)) return 0;
    Init();
    if (argc > 1 && strcmp(argv[1], "--epd") == 0) {
        if (argc < 3) return UsageError("--epd needs a FILE", "");
        uint64_t max_nodes = 10000000;
        if (argc == 5 && strcmp(argv[3], "--max-nodes") == 0) {
            if (!ParseNumber(argv[4], UINT64_MAX, max_nodes)) return UsageError("--max-nodes takes a number", argv[4]);
        } else if (argc != 3) {
            return UsageError("unexpected argument", argv[3]);
        }
        return RunEpd(argv[2], max_nodes);
    }
    // DEPTH first, then the FEN; --divide anywhere.
    uint64_t depth = 0;
    bool have_depth = false, divide = false;
    const char* fen = START_FEN;
    bool have_fen = false;
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "--divide") == 0) {
            divide = true;
        } else if (strncmp(argv[i], "--", 2) == 0) {
            return UsageError("unknown option", argv[i]);
        } else if (!have_depth) {
            if (!ParseNumber(argv[i], 64, depth)) return UsageError("DEPTH must be a number from 0 to 64", argv[i]);
            have_depth = true;
        } else if (!have_fen) {
            fen = argv[i];
            have_fen = true;
        } else {
            return UsageError("one FEN only, as one argument (quote it); extra argument", argv[i]);
        }
    }
    if (!have_depth) return UsageError("no DEPTH given", "");
    return RunDepth(int(depth), fen, divide);
}

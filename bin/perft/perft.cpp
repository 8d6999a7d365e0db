// tarvik-perft: counts leaf nodes of the legal move tree with the library's
// Perft, and checks EPD perft suites.
#include "movegen/perft.h"

#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "board/move.h"
#include "movegen/move_gen.h"
#include "position/position.h"
#include "tables/init.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

int Usage() {
    fputs(
        "usage: tarvik-perft DEPTH [FEN] [--divide]\n"
        "       tarvik-perft --epd FILE [--max-nodes N]\n",
        stderr);
    return 2;
}

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
    const double secs = Seconds(start);
    printf("Nodes: %" PRIu64 "\nTime: %.3f s\nNodes/second: %.0f\n", total, secs,
           secs > 0 ? double(total) / secs : 0.0);
    return 0;
}

// Lines of the form "FEN ;D1 n ;D2 n ...": every depth whose expected count is
// at most max_nodes is checked.
int RunEpd(const char* path, uint64_t max_nodes) {
    FILE* file = fopen(path, "r");
    if (!file) {
        fprintf(stderr, "tarvik-perft: cannot open %s\n", path);
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
    fclose(file);
    const double secs = Seconds(start);
    printf("Nodes: %" PRIu64 " in %.3f s (%.0f nodes/second)\n", total, secs, secs > 0 ? double(total) / secs : 0.0);
    printf("%d passed, %d failed\n", passed, failed);
    return failed ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    Init();
    if (argc >= 3 && strcmp(argv[1], "--epd") == 0) {
        uint64_t max_nodes = 10000000;
        if (argc >= 5 && strcmp(argv[3], "--max-nodes") == 0)
            max_nodes = strtoull(argv[4], nullptr, 10);
        else if (argc != 3)
            return Usage();
        return RunEpd(argv[2], max_nodes);
    }
    int depth = -1;
    bool divide = false;
    std::string fen = START_FEN;
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "--divide") == 0)
            divide = true;
        else if (depth < 0 && argv[i][0] >= '0' && argv[i][0] <= '9')
            depth = atoi(argv[i]);
        else
            fen = argv[i];
    }
    if (depth < 0 || depth > 64) return Usage();
    return RunDepth(depth, fen.c_str(), divide);
}

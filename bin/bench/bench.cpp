// tarvik-bench: searches a fixed set of positions to fixed depths with the
// engine's own FindBestMove. The total node count is the engine's behavioural
// signature; any change in what the search does changes it.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "board/move.h"
#include "search/search.h"
#include "tables/init.h"
#include "uci/uci.h"

namespace {

struct BenchPosition {
    const char* command;  // a "position" line, as a GUI sends it
    uint32_t depth;
};

// Openings, middlegames with tactics, endgames, promotions, a mate and a
// repetition; depths chosen so the whole run takes about a second.
const BenchPosition BENCH[] = {
    {"position startpos", 6},
    {"position startpos moves e2e4 e7e5 g1f3 b8c6 f1b5 a7a6", 6},
    {"position startpos moves d2d4 g8f6 c2c4 e7e6 b1c3 f8b4", 6},
    {"position fen r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1", 5},
    {"position fen r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10", 5},
    {"position fen rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8", 5},
    {"position fen r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1", 5},
    {"position fen r1bqkb1r/pppp1ppp/2n2n2/4p2Q/2B1P3/8/PPPP1PPP/RNB1K1NR w KQkq - 4 4", 6},
    {"position fen 2rq1rk1/pp1bppbp/2np1np1/8/3NP3/1BN1BP2/PPPQ2PP/2KR3R b - - 0 11", 5},
    {"position fen r1b2rk1/2q1b1pp/p2ppn2/1p6/3QP3/1BN1B3/PPP3PP/R4RK1 w - - 0 14", 5},
    {"position fen 8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1", 8},
    {"position fen 8/8/4k3/8/2p5/8/B2K4/8 w - - 0 1", 8},
    {"position fen 6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1", 7},
    {"position fen 8/P7/8/8/8/8/6kp/K7 w - - 0 1", 8},
    {"position fen 8/8/8/3k4/8/8/3PK3/8 w - - 0 1", 9},
    {"position fen 7k/8/6K1/8/8/8/8/1Q6 w - - 0 1", 4},
    {"position fen r1bqkbnr/pppp1ppp/2n5/4p3/2B1P3/5Q2/PPPP1PPP/RNB1K1NR w KQkq - 2 3", 5},
    {"position startpos moves g1f3 g8f6 f3g1 f6g8 g1f3 g8f6 f3g1", 6},
};

struct Totals {
    uint64_t nodes = 0;
    double seconds = 0;
};

// Searches the position of a "position" line to depth, adding the nodes of
// every depth and the wall time to totals.
bool SearchCommand(const std::string& command, uint32_t depth, Totals& totals) {
    std::string line = command;
    Game game;
    if (!UCIPosition(game, line.data())) return false;

    const auto start = std::chrono::steady_clock::now();
    const Move best = FindBestMove(game.pos, NO_BUDGET, depth, stdout, &totals.nodes);
    totals.seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    fputs("bestmove ", stdout);
    move_print(best);
    fputc('\n', stdout);
    return true;
}

void PrintTotals(const Totals& totals) {
    printf("Nodes searched: %llu\n", static_cast<unsigned long long>(totals.nodes));
    printf("Nodes/second: %llu\n",
           static_cast<unsigned long long>(totals.seconds > 0 ? double(totals.nodes) / totals.seconds : 0));
}

int Usage() {
    fputs("usage: tarvik-bench [--depth D [--fen FEN] [--moves \"e2e4 e7e5 ...\"]]\n", stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    Init();
    if (argc == 1) {
        Totals totals;
        for (const BenchPosition& b : BENCH) {
            printf("%s\n", b.command);
            if (!SearchCommand(b.command, b.depth, totals)) {
                fprintf(stderr, "tarvik-bench: refused: %s\n", b.command);
                return 1;
            }
        }
        PrintTotals(totals);
        return 0;
    }

    long depth = -1;
    std::string fen, moves;
    for (int i = 1; i < argc; i++) {
        if (i + 1 >= argc) return Usage();
        if (strcmp(argv[i], "--depth") == 0)
            depth = strtol(argv[++i], nullptr, 10);
        else if (strcmp(argv[i], "--fen") == 0)
            fen = argv[++i];
        else if (strcmp(argv[i], "--moves") == 0)
            moves = argv[++i];
        else
            return Usage();
    }
    if (depth < 1 || depth > long(MAX_DEPTH)) return Usage();
    std::string command = fen.empty() ? "position startpos" : "position fen " + fen;
    if (!moves.empty()) command += " moves " + moves;
    Totals totals;
    if (!SearchCommand(command, uint32_t(depth), totals)) {
        fprintf(stderr, "tarvik-bench: refused: %s\n", command.c_str());
        return 1;
    }
    return 0;
}

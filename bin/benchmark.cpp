// The bench positions and their search, shared by tarvik-bench and tarvik bench.
#include "benchmark.h"

#include <chrono>
#include <string>

#include "search/search.h"
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

struct Reporting {
    FILE* out;
    BenchTotals* totals;
};

void ReportDepth(const DepthReport& report, void* context) {
    Reporting* reporting = static_cast<Reporting*>(context);
    UCIReportDepth(report, reporting->out);
    reporting->totals->nodes += report.nodes;
}

}  // namespace

bool BenchSearch(const char* command, uint32_t depth, BenchTotals& totals, FILE* out) {
    std::string line = command;
    Game game;
    if (!UCIPosition(game, line.data())) return false;

    Reporting reporting = {out, &totals};
    const auto start = std::chrono::steady_clock::now();
    const Move best = FindBestMove(game.pos, NO_BUDGET, depth, ReportDepth, &reporting);
    totals.seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    UCIBestMove(best, out);
    return true;
}

bool RunBench(const char* program, BenchTotals& totals, FILE* out) {
    for (const BenchPosition& b : BENCH) {
        fprintf(out, "%s\n", b.command);
        if (!BenchSearch(b.command, b.depth, totals, out)) {
            fprintf(stderr, "%s: refused: %s\n", program, b.command);
            return false;
        }
    }
    fprintf(out, "Nodes searched: %llu\n", static_cast<unsigned long long>(totals.nodes));
    fprintf(out, "Nodes/second: %llu\n",
            static_cast<unsigned long long>(totals.seconds > 0 ? double(totals.nodes) / totals.seconds : 0));
    return true;
}

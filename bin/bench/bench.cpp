// tarvik-bench: searches a fixed set of positions to fixed depths with the
// engine's own FindBestMove. The total node count is the engine's behavioural
// signature; any change in what the search does changes it.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "args.h"
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

// Prints each depth as the engine does and adds its nodes to the totals.
void ReportDepth(const DepthReport& report, void* totals) {
    UCIReportDepth(report, stdout);
    static_cast<Totals*>(totals)->nodes += report.nodes;
}

// Searches the position of a "position" line to depth, adding the nodes of
// every depth and the wall time to totals.
bool SearchCommand(const std::string& command, uint32_t depth, Totals& totals) {
    std::string line = command;
    Game game;
    if (!UCIPosition(game, line.data())) return false;

    const auto start = std::chrono::steady_clock::now();
    const Move best = FindBestMove(game.pos, NO_BUDGET, depth, ReportDepth, &totals);
    totals.seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    UCIBestMove(best, stdout);
    return true;
}

void PrintTotals(const Totals& totals) {
    printf("Nodes searched: %llu\n", static_cast<unsigned long long>(totals.nodes));
    printf("Nodes/second: %llu\n",
           static_cast<unsigned long long>(totals.seconds > 0 ? double(totals.nodes) / totals.seconds : 0));
}

const char USAGE[] =
    "usage: tarvik-bench\n"
    "       tarvik-bench --depth D [--fen FEN] [--moves \"e2e4 e7e5 ...\"]\n"
    "       tarvik-bench --help | --version\n";

const char HELP[] =
    "\n"
    "Without arguments, searches a fixed set of positions and ends with\n"
    "\"Nodes searched: N\", the engine's signature, and \"Nodes/second: X\".\n"
    "\n"
    "  --depth D        search one position to depth D (1 to 255) instead\n"
    "  --fen FEN        that position (one argument: quote it); default the start\n"
    "  --moves MOVES    after these moves (one argument: quote it)\n"
    "  --help           print this text and exit\n"
    "  --version        print the version and exit\n"
    "\n"
    "Exit status: 0 on success, 2 on a usage error or a refused position.\n"
    "The manual page is tarvik-bench(6).\n";

int UsageError(const char* what, const char* argument) { return ::UsageError("tarvik-bench", USAGE, what, argument); }

}  // namespace

int main(int argc, char** argv) {
    if (AnswerHelpOrVersion(argc, argv, "tarvik-bench", USAGE, HELP)) return 0;
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
    Totals totals;
    if (!SearchCommand(command, uint32_t(depth), totals)) {
        fprintf(stderr, "tarvik-bench: refused: %s\n", command.c_str());
        return 2;
    }
    return 0;
}

// tarvik-deepline: drives the search down its deepest line on the main thread,
// with the stack the engine program gets, and fails if that line does not fit.
//
// A depth-255 search never finishes, but depth first it reaches the bottom
// within moments: the first line that avoids a third repetition goes 254
// Negamax plies deep, one frontier ply, then the capture search. A watcher
// thread reads the shared hash history, where the position made at ply p
// writes slot p, while every frame above it is still live on the stack. Once
// a capture ply below the deepest main-search ply is written and the search
// has kept working down there for a while, the watcher ends the process with
// success. An overflow first kills the process with a crash status, or (under
// wine) stops the search, and the watcher fails at its time limit.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "misc/misc.h"
#include "misc/platform.h"
#include "search/search.h"
#include "uci/uci.h"

namespace {

// The first lines tried from the start position run to the full depth and
// end in captures, so capture-search frames sit below the deepest Negamax one.
const char* const DEFAULT_POSITION = "position startpos";

int Usage() {
    fputs("usage: tarvik-deepline [--position \"position ...\"] [--seconds LIMIT]\n", stderr);
    return 2;
}

// Watches the history slots after root until a capture ply below the deepest
// main-search ply has been written and the search has kept running at least
// settle seconds afterwards; ends the process either way.
void Watch(const volatile Hash* root, int room, double limit, double settle) {
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    auto reached = Clock::time_point::max();
    int deepest = 0;
    for (;;) {
        while (deepest < room && root[deepest + 1] != 0) deepest++;
        const auto now = Clock::now();
        if (deepest > int(MAX_DEPTH) && reached == Clock::time_point::max()) reached = now;
        if (reached != Clock::time_point::max() && std::chrono::duration<double>(now - reached).count() >= settle) {
            printf("deepest line: %d plies (%u main-search plies and %d capture plies), reached after %.2f s\n",
                   deepest, MAX_DEPTH, deepest - int(MAX_DEPTH),
                   std::chrono::duration<double>(reached - start).count());
            printf("stack ok\n");
            fflush(stdout);
            std::_Exit(0);
        }
        if (std::chrono::duration<double>(now - start).count() >= limit) {
            printf("FAIL: the search reached only %d plies in %.0f s, short of %u and a capture\n", deepest, limit,
                   MAX_DEPTH);
            fflush(stdout);
            std::_Exit(1);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

}  // namespace

int main(int argc, char** argv) {
    PlatformInit();
    Init();
    std::string command = DEFAULT_POSITION;
    double limit = 30, settle = 1;
    for (int i = 1; i < argc; i++) {
        if (i + 1 >= argc) return Usage();
        if (strcmp(argv[i], "--position") == 0)
            command = argv[++i];
        else if (strcmp(argv[i], "--seconds") == 0)
            limit = atof(argv[++i]);
        else
            return Usage();
    }
    Game game;
    if (!UCIPosition(game, command.data())) {
        fprintf(stderr, "tarvik-deepline: refused: %s\n", command.c_str());
        return 2;
    }
    // The slots after the root were zeroed when the history was allocated;
    // the search writes them and nothing else does.
    std::thread watcher(Watch, game.pos.hash, int(MAX_SEARCH_PLIES), limit, settle);
    Move best = NULL_MOVE;
    Negamax(&best, game.pos, MAX_DEPTH, -SCORE_INF, SCORE_INF);
    printf("FAIL: the depth-%u search ended before the watcher could see its deepest line\n", MAX_DEPTH);
    fflush(stdout);
    std::_Exit(1);
}

// tarvik-deepline: drives the search down its deepest line on the main thread,
// with the stack the engine program gets, and fails if that line does not fit.
//
// A depth-255 search never finishes, but depth first it reaches the bottom
// within moments: the first line that avoids a third repetition goes 254
// Negamax plies deep to a frontier node, whose children and the capture
// search below them are made without a history slot. A watcher thread reads
// the shared hash history, where the position made at ply p writes slot p
// while every frame above it is still live on the stack. Once the frontier
// slot (ply 254) is written, the watcher waits until the search has come back
// up and gone on writing other slots for a while: the deepest frontier nodes
// and their capture searches have then run on top of every main-search frame,
// and the watcher ends the process with success. An overflow kills the
// process with a crash status, or (under wine) stops the search, so the slots
// stop changing and the watcher fails at its time limit.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "platform/platform.h"
#include "search/search.h"
#include "tables/init.h"
#include "uci/uci.h"

namespace {

// The first lines tried from the start position run to the full depth and
// end in captures, so capture-search frames sit below the deepest frontier.
const char* const DEFAULT_POSITION = "position startpos";

int Usage() {
    fputs("usage: tarvik-deepline [--position \"position ...\"] [--seconds LIMIT]\n", stderr);
    return 2;
}

// The deepest slot the main search writes: the frontier node's position.
constexpr int FRONTIER_PLY = int(MAX_DEPTH) - 1;
// Changes of the written line seen after the frontier was first reached.
constexpr int CHANGES_NEEDED = 20;

// Watches the history slots after root until the frontier ply has been written
// and the search has since gone on changing the line at least CHANGES_NEEDED
// times over settle seconds; ends the process either way.
void Watch(const volatile Hash* root, double limit, double settle) {
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    auto reached = Clock::time_point::max();
    int deepest = 0, changes = 0;
    Hash last_line = 0;
    for (;;) {
        while (deepest < FRONTIER_PLY && root[deepest + 1] != 0) deepest++;
        Hash line = 0;
        for (int ply = 1; ply <= FRONTIER_PLY; ply++) line = line * 31 + root[ply];
        const auto now = Clock::now();
        if (deepest == FRONTIER_PLY) {
            if (reached == Clock::time_point::max()) reached = now;
            changes += line != last_line;
        }
        last_line = line;
        if (changes >= CHANGES_NEEDED && std::chrono::duration<double>(now - reached).count() >= settle) {
            printf("deepest line: %d main-search plies and the capture search below, reached after %.2f s\n",
                   FRONTIER_PLY + 1, std::chrono::duration<double>(reached - start).count());
            printf("stack ok\n");
            fflush(stdout);
            std::_Exit(0);
        }
        if (std::chrono::duration<double>(now - start).count() >= limit) {
            printf("FAIL: in %.0f s the search reached %d of %d plies and went on %d times after that\n", limit,
                   deepest, FRONTIER_PLY, changes);
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
    std::thread watcher(Watch, game.pos.hash, limit, settle);
    Move best = NULL_MOVE;
    SearchState state;
    Negamax(state, &best, game.pos, MAX_DEPTH, -SCORE_INF, SCORE_INF);
    printf("FAIL: the depth-%u search ended before the watcher could see its deepest line\n", MAX_DEPTH);
    fflush(stdout);
    std::_Exit(1);
}

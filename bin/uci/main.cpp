// The engine program: start-up, the optional start-up search, the command loop.
#include <sys/resource.h>

#include <cstdio>
#include <cstring>

#include "misc/misc.h"
#include "uci/uci.h"

namespace {

// The deepest line the search can reach (255 plies plus a capture sequence)
// needs about 1 MB of frames, each holding its move lists and child position.
// Make sure the main thread may grow its stack that far even where the shell
// set a small limit; the stack grows on demand up to the limit.
void ensure_search_stack() {
    constexpr rlim_t NEEDED = rlim_t(16) << 20;
    rlimit limit;
    if (getrlimit(RLIMIT_STACK, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur >= NEEDED) return;
    limit.rlim_cur = limit.rlim_max == RLIM_INFINITY || limit.rlim_max >= NEEDED ? NEEDED : limit.rlim_max;
    setrlimit(RLIMIT_STACK, &limit);
}

}  // namespace

int main(int argc, char** argv) {
    // Every reply reaches the GUI at once. A stream's buffering may only be
    // set before anything is written to it, so this comes first.
    setbuf(stdout, nullptr);
    ensure_search_stack();
    Init();
    Game game = NewGame();
    if (argc > 1 && strcmp(argv[1], "go") == 0) {
        char line[] = "go";
        UCIGo(game.pos, line, stdout);
    }
    UCILoop(game, stdin, stdout);
    return 0;
}

// The engine program: start-up, the optional start-up search, the command loop.
#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "tables/init.h"
#include "uci/uci.h"

int main(int argc, char** argv) {
    // Every reply reaches the GUI at once. A stream's buffering may only be
    // set before anything is written to it, so this comes first.
    setbuf(stdout, nullptr);
    PlatformInit();
    Init();
    Game game = NewGame();
    if (argc > 1 && strcmp(argv[1], "go") == 0) {
        char line[] = "go";
        UCIGo(game.pos, line, stdout);
    }
    UCILoop(game, stdin, stdout);
    return 0;
}

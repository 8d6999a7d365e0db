// The engine program: start-up, the optional start-up search, the command loop.
#include <cstdio>
#include <cstring>

#include "chess/position.h"
#include "misc/misc.h"
#include "misc/platform.h"
#include "uci.h"

int main(int argc, char** argv) {
    PlatformInit();
    Init();
    Position pos = position();
    if (argc > 1 && strcmp(argv[1], "go") == 0) {
        char line[] = "go";
        UCIGo(pos, line, stdout);
    }
    setbuf(stdout, nullptr);
    UCILoop(pos, stdin, stdout);
    return 0;
}

// The engine program: start-up, the optional start-up search, the command loop.
#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "tables/init.h"
#include "uci/uci.h"
#include "uci/version.h"

namespace {

const char HELP[] =
    "usage: tarvik [go]\n"
    "       tarvik --help | --version\n"
    "\n"
    "tarvik is a chess engine. It speaks the Universal Chess Interface (UCI):\n"
    "a chess GUI starts it and sends commands (uci, isready, ucinewgame,\n"
    "position, go, quit) on its standard input, one a line, and reads its\n"
    "replies on its standard output.\n"
    "\n"
    "  go         search the start position once before reading commands\n"
    "  --help     print this text and exit\n"
    "  --version  print the engine's name and version and exit\n"
    "\n"
    "The manual page tarvik(6) and the README (README.md in the sources,\n"
    "/usr/share/doc/tarvik/ once installed from the Debian package) tell more.\n";

}  // namespace

int main(int argc, char** argv) {
    // Every reply reaches the GUI at once. A stream's buffering may only be
    // set before anything is written to it, so this comes first.
    setbuf(stdout, nullptr);
    if (argc > 1 && strcmp(argv[1], "--help") == 0) {
        fputs(HELP, stdout);
        return 0;
    }
    if (argc > 1 && strcmp(argv[1], "--version") == 0) {
        printf("%s %s\n", ENGINE_NAME, ENGINE_VERSION);
        return 0;
    }
    // A GUI may pass arguments of its own; they are ignored, as they always
    // were, with a note for a person at a console.
    const bool go = argc > 1 && strcmp(argv[1], "go") == 0;
    const int ignored = go ? 2 : 1;
    if (argc > ignored) {
        fprintf(stderr, "tarvik: unknown argument%s", argc - ignored > 1 ? "s" : "");
        for (int i = ignored; i < argc; i++) fprintf(stderr, " \"%s\"", argv[i]);
        fputs(" ignored; see tarvik --help\n", stderr);
    }
    PlatformInit();
    Init();
    Game game = NewGame();
    if (go) {
        char line[] = "go";
        UCIGo(game.pos, line, stdout);
    }
    UCILoop(game, stdin, stdout);
    return 0;
}

// The engine program: start-up, the optional start-up search or bench, the
// command loop.
#include <cstdio>

#include "args.h"
#include "benchmark.h"
#include "platform/platform.h"
#include "tables/init.h"
#include "uci/uci.h"

namespace {

const char* const FORMS[] = {
    "[go]",
    "bench",
    "--help | --version",
};

const Option OPTIONS[] = {
    {"go", "", WORD, "", 0, 0, "search the start position once before reading commands"},
    {"bench", "", WORD, "", 0, 0, "run the bench of tarvik-bench and exit"},
    {"--help", "-h", FLAG, "", 0, 0, "print this text and exit"},
    {"--version", "", FLAG, "", 0, 0, "print the engine's name and version and exit"},
};

const Program PROGRAM = {
    "tarvik",
    FORMS,
    "tarvik is a chess engine. It speaks the Universal Chess Interface (UCI):\n"
    "a chess GUI starts it and sends commands (uci, isready, ucinewgame,\n"
    "position, go, quit) on its standard input, one a line, and reads its\n"
    "replies on its standard output.\n",
    OPTIONS,
    "The manual page tarvik(6) and the README (README.md in the sources,\n"
    "/usr/share/doc/tarvik/ once installed from the Debian package) tell more.\n",
    0,
    false,
    // A GUI may pass arguments of its own; they are ignored, as they always
    // were, with a note for a person at a console.
    true,
};

}  // namespace

int main(int argc, char** argv) {
    // Every reply reaches the GUI at once. A stream's buffering may only be
    // set before anything is written to it, so this comes first.
    setbuf(stdout, nullptr);
    Arguments args;
    if (ParseArguments(PROGRAM, argc, argv, args) == ANSWERED) return 0;
    if (!args.unknown.empty()) {
        fprintf(stderr, "tarvik: unknown argument%s", args.unknown.size() > 1 ? "s" : "");
        for (const char* argument : args.unknown) fprintf(stderr, " \"%s\"", argument);
        fputs(" ignored; see tarvik --help\n", stderr);
    }
    PlatformInit();
    Init();
    if (Value(PROGRAM, args, "bench").given) {
        BenchTotals totals;
        return RunBench("tarvik", totals, stdout) ? 0 : 1;
    }
    Game game = NewGame();
    if (Value(PROGRAM, args, "go").given) {
        char line[] = "go";
        UCIGo(game.pos, line, stdout);
    }
    UCILoop(game, stdin, stdout);
    return 0;
}

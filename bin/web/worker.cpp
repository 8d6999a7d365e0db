// tarvik-worker: the engine for a Web Worker. The page's messages arrive as
// text through tarvik_command and are read line by line exactly as the
// console engine reads its standard input.
#include <emscripten/emscripten.h>

#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "tables/init.h"
#include "uci/uci.h"

namespace {

// The game lives between messages; it is made once the tables are built.
Game* game = nullptr;

}  // namespace

// Handles every line of text; 0 after "quit", when the worker should close.
extern "C" EMSCRIPTEN_KEEPALIVE int tarvik_command(const char* text) {
    const size_t size = strlen(text);
    if (size == 0 || !game) return 1;
    FILE* in = fmemopen(const_cast<char*>(text), size, "r");
    if (!in) return 1;
    static char line[LINE_SIZE];
    bool more = true;
    while (more && GetLine(line, in)) more = UCIDispatch(*game, line, stdout);
    fclose(in);
    return more ? 1 : 0;
}

// Builds the tables and the game; the runtime stays up for the messages.
int main() {
    setbuf(stdout, nullptr);
    PlatformInit();
    Init();
    static Game start = NewGame();
    game = &start;
    return 0;
}

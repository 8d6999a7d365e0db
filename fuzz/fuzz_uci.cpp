// Fuzz target: arbitrary bytes as a whole session on the command loop, with
// every search cut at depth 2 so that each run stays short. Every line the
// engine writes must be one of its replies, and the position it keeps must
// satisfy the import rules.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz_check.h"
#include "position/position.h"
#include "uci/uci.h"
#include "uci/version.h"

namespace {

bool IsMoveText(const char* text, size_t len) {
    if (len == 4 && memcmp(text, "0000", 4) == 0) return true;
    if (len != 4 && len != 5) return false;
    for (int i = 0; i < 4; i++)
        if (!(i % 2 ? text[i] >= '1' && text[i] <= '8' : text[i] >= 'a' && text[i] <= 'h')) return false;
    return len == 4 || strchr("nbrq", text[4]) != nullptr;
}

void CheckReplies(const char* out, size_t size) {
    static const std::string FIXED[] = {std::string("id name ") + ENGINE_ID, std::string("id author ") + ENGINE_AUTHOR,
                                        "uciok", "readyok"};
    for (size_t start = 0; start < size;) {
        const char* line = out + start;
        const char* end = static_cast<const char*>(memchr(line, '\n', size - start));
        FuzzRequire(end != nullptr, "every reply ends with a line feed");
        const size_t len = size_t(end - line);
        bool known = false;
        for (const std::string& fixed : FIXED) known |= fixed.compare(0, std::string::npos, line, len) == 0;
        if (len > 9 && memcmp(line, "bestmove ", 9) == 0) known = IsMoveText(line + 9, len - 9);
        if (len > 11 && memcmp(line, "info depth ", 11) == 0) {
            const char* pv = static_cast<const char*>(memmem(line, len, " pv ", 4));
            known = pv && IsMoveText(pv + 4, size_t(end - pv - 4));
        }
        FuzzRequire(known, "only known replies");
        start += len + 1;
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    FuzzInit();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    // fmemopen reads the bytes in place and never writes in read mode.
    FILE* in = fmemopen(const_cast<uint8_t*>(data), size, "r");
    char* text = nullptr;
    size_t text_size = 0;
    FILE* out = open_memstream(&text, &text_size);
    if (!in || !out) abort();
    Game game = NewGame();
    UCILoop(game, in, out, 2);
    fclose(in);
    fclose(out);
    CheckReplies(text, text_size);
    free(text);
    CheckAcceptedPosition(game.pos);
    return 0;
}

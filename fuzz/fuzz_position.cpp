// Fuzz target: arbitrary bytes as a "position" line, then a look at what was built.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "chess/move_gen.h"
#include "chess/position.h"
#include "fuzz_check.h"
#include "search/search.h"
#include "uci.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    FuzzInit();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The front end sees text up to the first NUL, never past a line end.
    std::vector<char> line(data, data + size);
    line.push_back('\0');
    Position pos;
    memset(&pos, 0xA5, sizeof pos);
    const Position before = pos;
    if (!UCIPosition(pos, line.data())) {
        FuzzRequire(memcmp(&pos, &before, sizeof pos) == 0, "refused line leaves the record untouched");
        return 0;
    }
    CheckAcceptedPosition(pos);

    // Every legal move of an accepted position must lead to one the engine
    // accepts too, and a one-depth search must answer.
    Move moves[MAX_MOVES];
    const uint32_t count = GenerateMoves(pos, moves);
    for (uint32_t i = 0; i < count; i++) {
        Position next;
        apply(next, pos, moves[i]);
        if (IsKingSafe(next, pos.turn)) CheckAcceptedPosition(next);
    }
    FindBestMove(pos, NO_BUDGET, 1, FUZZ_SINK);
    position_free(pos);
    return 0;
}

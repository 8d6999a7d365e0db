// Fuzz target: arbitrary bytes as a whole session on the command loop, with
// every search cut at depth 2 so that each run stays short.
#include <cstdint>
#include <cstdio>

#include "chess/position.h"
#include "fuzz_check.h"
#include "uci.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    FuzzInit();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    // fmemopen reads the bytes in place and never writes in read mode.
    FILE* in = fmemopen(const_cast<uint8_t*>(data), size, "r");
    if (!in) return 0;
    Position pos = position();
    UCILoop(pos, in, FUZZ_SINK, 2);
    fclose(in);
    CheckAcceptedPosition(pos);
    position_free(pos);
    return 0;
}

// Bit primitives on 64-bit boards: lowest-set-bit extraction.
#pragma once

#include <cassert>
#include <cstdint>

#include "chess/types.h"

// Every loop over a bitboard takes squares lowest first through these two, so
// the generated move order (and every tie-break that keeps the first of equal
// moves) follows from them.
inline Square lsb(BB bb) {
    return static_cast<Square>(bb ? __builtin_ctzll(bb) : 64);
}

inline Square lsbpop(BB& bb) {
    assert(bb != 0);
    Square sq = static_cast<Square>(__builtin_ctzll(bb));
    bb &= bb - 1;
    return sq;
}

inline int popcount(BB bb) { return __builtin_popcountll(bb); }

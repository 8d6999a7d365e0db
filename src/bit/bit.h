// Bit primitives on 64-bit boards: lowest-set-bit extraction and counting.
#pragma once

#include <cassert>
#include <cstdint>

// A set of squares: bit n stands for square n (a1 = 0, h1 = 7, a8 = 56, h8 = 63).
using BB = uint64_t;

// Here a square is only the index of a bit; the board vocabulary names them.
enum Square : uint32_t;

// Every loop over a bitboard takes squares lowest first through these two, so
// the generated move order (and every tie-break that keeps the first of equal
// moves) follows from them.
inline Square lsb(BB bb) { return static_cast<Square>(bb ? __builtin_ctzll(bb) : 64); }

// The highest set bit of a non-empty set.
inline Square msb(BB bb) {
    assert(bb != 0);
    return static_cast<Square>(63 ^ __builtin_clzll(bb));
}

inline Square lsbpop(BB& bb) {
    assert(bb != 0);
    Square sq = static_cast<Square>(__builtin_ctzll(bb));
    bb &= bb - 1;
    return sq;
}

inline int popcount(BB bb) { return __builtin_popcountll(bb); }

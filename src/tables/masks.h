// Precomputed attack, ray, x-ray, distance-ring and blocker tables.
#pragma once

#include <cassert>

#include "board/types.h"

// Row 64 (NO_SQUARE) is empty, so looking up "no en-passant square" finds no pawn.
extern BB ATTACKS_PAWN[2][65];
extern BB ATTACKS_KNIGHT[64];
extern BB ATTACKS_KING[64];
// Empty-board lines of the sliders, the square itself excluded.
extern BB ATTACKS_BISHOP[64];
extern BB ATTACKS_ROOK[64];
extern BB ATTACKS_QUEEN[64];
// By piece type; PAWN has no table (null).
extern BB* ATTACKS[6];
// [a][b]: the squares from a in the direction of b up to the edge; [a][a] = {a}.
// For b on no line through a, the diagonal of b's quadrant.
extern BB RAYS[64][64];
// [a][b]: the part of RAYS[a][b] strictly beyond b.
extern BB XRAYS[64][64];
// [s][k]: the squares at Chebyshev distance exactly k; [s][0] is empty.
extern BB RINGS[64][8];
// [s][type]: the squares of ATTACKS[type][s] that can cut the attack set short
// (the last square of a line never can, so the board edges are masked off).
extern BB BAB[64][6];

// The first occupied square met walking out from s along line (one line of
// RAYS[s], holding at least one square of occ), as a set of one square.
inline BB first_on_line(Square s, BB line, BB occ) {
    assert(line & occ & ~(BB(1) << s));
    for (int offset = 1;; offset++) {
        const BB met = RINGS[s][offset] & line & occ;
        if (met) return met;
    }
}

// The squares the pawns of color attack; the file masks drop what wrapped
// around the board edge.
inline BB pawn_attacks(Color color, BB pawns) {
    return color == WHITE ? ((pawns << 7) & NOT_FILE_H) | ((pawns << 9) & NOT_FILE_A)
                          : ((pawns >> 9) & NOT_FILE_H) | ((pawns >> 7) & NOT_FILE_A);
}

// A whole board moved by STEP squares (up for a positive step, down for a
// negative one).
template <int STEP>
constexpr BB shift(BB bb) {
    if constexpr (STEP > 0)
        return bb << STEP;
    else
        return bb >> -STEP;
}

// The squares the pieces on gen attack in one direction, a step of STEP
// squares that lands only on LAND (which leaves out the steps that wrap around
// the board edge), the first occupied square of each line included. A
// Kogge-Stone fill through the empty squares in three doubling steps, then
// one step more: no table, no loop, no branch. Two pieces of one side never
// reach the same square in the same direction (the rear one stops at the
// front one), so a count per direction counts moves.
template <int STEP, BB LAND = ~BB(0)>
inline BB slide(BB gen, BB empty) {
    BB open = empty & LAND;
    gen |= open & shift<STEP>(gen);
    open &= shift<STEP>(open);
    gen |= open & shift<2 * STEP>(gen);
    open &= shift<2 * STEP>(open);
    gen |= open & shift<4 * STEP>(gen);
    return shift<STEP>(gen) & LAND;
}

// The squares attacked by all the sliders on sliders at once, along the
// diagonals or along the ranks and files.
inline BB diagonal_attacks(BB sliders, BB empty) {
    return slide<9, NOT_FILE_A>(sliders, empty) | slide<7, NOT_FILE_H>(sliders, empty) |
           slide<-7, NOT_FILE_A>(sliders, empty) | slide<-9, NOT_FILE_H>(sliders, empty);
}

inline BB orthogonal_attacks(BB sliders, BB empty) {
    return slide<8>(sliders, empty) | slide<-8>(sliders, empty) | slide<1, NOT_FILE_A>(sliders, empty) |
           slide<-1, NOT_FILE_H>(sliders, empty);
}

void init_masks();

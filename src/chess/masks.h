// Precomputed attack, ray, x-ray, distance-ring and blocker tables.
#pragma once

#include <cassert>

#include "chess/types.h"

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
    constexpr BB NOT_FILE_A = 0xFEFEFEFEFEFEFEFEULL;
    constexpr BB NOT_FILE_H = 0x7F7F7F7F7F7F7F7FULL;
    return color == WHITE ? ((pawns << 7) & NOT_FILE_H) | ((pawns << 9) & NOT_FILE_A)
                          : ((pawns >> 9) & NOT_FILE_H) | ((pawns >> 7) & NOT_FILE_A);
}

void init_masks();

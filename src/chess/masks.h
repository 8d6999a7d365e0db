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

// The squares attacked by all the sliders on sliders at once, along the
// diagonals or along the ranks and files, with only the squares on empty open:
// each direction is filled in three doubling steps, the board edges masked.
inline BB diagonal_attacks(BB sliders, BB empty) {
    constexpr BB NOT_FILE_A = 0xFEFEFEFEFEFEFEFEULL;
    constexpr BB NOT_FILE_H = 0x7F7F7F7F7F7F7F7FULL;
    BB ne = sliders, nw = sliders, se = sliders, sw = sliders;
    BB pe = empty & NOT_FILE_A, pw = empty & NOT_FILE_H;
    ne |= pe & (ne << 9);
    nw |= pw & (nw << 7);
    se |= pe & (se >> 7);
    sw |= pw & (sw >> 9);
    BB pne = pe & (pe << 9), pnw = pw & (pw << 7), pse = pe & (pe >> 7), psw = pw & (pw >> 9);
    ne |= pne & (ne << 18);
    nw |= pnw & (nw << 14);
    se |= pse & (se >> 14);
    sw |= psw & (sw >> 18);
    pne &= pne << 18;
    pnw &= pnw << 14;
    pse &= pse >> 14;
    psw &= psw >> 18;
    ne |= pne & (ne << 36);
    nw |= pnw & (nw << 28);
    se |= pse & (se >> 28);
    sw |= psw & (sw >> 36);
    return ((ne << 9) & NOT_FILE_A) | ((nw << 7) & NOT_FILE_H) | ((se >> 7) & NOT_FILE_A) | ((sw >> 9) & NOT_FILE_H);
}

inline BB orthogonal_attacks(BB sliders, BB empty) {
    constexpr BB NOT_FILE_A = 0xFEFEFEFEFEFEFEFEULL;
    constexpr BB NOT_FILE_H = 0x7F7F7F7F7F7F7F7FULL;
    BB n = sliders, s = sliders, e = sliders, w = sliders;
    BB pn = empty, ps = empty, pe = empty & NOT_FILE_A, pw = empty & NOT_FILE_H;
    n |= pn & (n << 8);
    s |= ps & (s >> 8);
    e |= pe & (e << 1);
    w |= pw & (w >> 1);
    pn &= pn << 8;
    ps &= ps >> 8;
    pe &= pe << 1;
    pw &= pw >> 1;
    n |= pn & (n << 16);
    s |= ps & (s >> 16);
    e |= pe & (e << 2);
    w |= pw & (w >> 2);
    pn &= pn << 16;
    ps &= ps >> 16;
    pe &= pe << 2;
    pw &= pw >> 2;
    n |= pn & (n << 32);
    s |= ps & (s >> 32);
    e |= pe & (e << 4);
    w |= pw & (w >> 4);
    return (n << 8) | (s >> 8) | ((e << 1) & NOT_FILE_A) | ((w >> 1) & NOT_FILE_H);
}

void init_masks();

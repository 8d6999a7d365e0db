// Small conversions between squares, files, ranks, characters and bitboards.
#pragma once

#include <cassert>
#include <cstdlib>

#include "board/types.h"

inline BB sbb(Square sq) {
    assert(sq < 64);
    return BB(1) << sq;
}

inline BB shift_up(BB bb) { return bb << 8; }
inline BB shift_down(BB bb) { return bb >> 8; }

inline Square sq_from(File f, Rank r) {
    assert(f < 8 && r < 8);
    return static_cast<Square>(r * 8 + f);
}
inline File sq_file(Square sq) { return static_cast<File>(sq & 7); }
inline Rank sq_rank(Square sq) { return static_cast<Rank>(sq >> 3); }

inline int dist_horizontal(Square a, Square b) { return std::abs(int(sq_file(a)) - int(sq_file(b))); }
inline int dist_vertical(Square a, Square b) { return std::abs(int(sq_rank(a)) - int(sq_rank(b))); }

// The character readers answer NO_FILE, NO_RANK or NO_PIECE for a character
// that is not theirs; FEN and move-text readers refuse the text on that answer.
inline File sq_filec(char c) {
    if (c >= 'a' && c <= 'h') return static_cast<File>(c - 'a');
    if (c >= 'A' && c <= 'H') return static_cast<File>(c - 'A');
    return NO_FILE;
}

inline Rank sq_rankc(char c) {
    if (c >= '1' && c <= '8') return static_cast<Rank>(c - '1');
    return NO_RANK;
}

// The square named by two characters (file, rank; the file in either case), or
// NO_SQUARE.
inline Square square_parse(const char* text) {
    const File f = sq_filec(text[0]);
    if (f == NO_FILE) return NO_SQUARE;
    const Rank r = sq_rankc(text[1]);
    return r == NO_RANK ? NO_SQUARE : sq_from(f, r);
}

inline PieceType piece_from(char c) {
    switch (c | 0x20) {
        case 'p': return PAWN;
        case 'n': return KNIGHT;
        case 'b': return BISHOP;
        case 'r': return ROOK;
        case 'q': return QUEEN;
        case 'k': return KING;
        default: return NO_PIECE;
    }
}

// Move encoding, accessors, square names and long algebraic notation.
#pragma once

#include <cstdio>

#include "board/types.h"

extern const char* const SQUARES[64];
extern const char PIECE_CHARS[7];

inline Move move_make(uint32_t ori, uint32_t dst, uint32_t flag) {
    return static_cast<Move>(ori + dst * 64 + flag * 4096);
}
inline Square move_from(Move m) { return static_cast<Square>(m & 63); }
inline Square move_to(Move m) { return static_cast<Square>((m >> 6) & 63); }
inline MoveFlag move_type(Move m) { return static_cast<MoveFlag>(m >> 12); }
inline uint32_t move_capture(Move m) { return (m >> 14) & 1; }
inline bool move_is_promotion(Move m) { return (m >> 15) & 1; }
// The square whose piece a capture by mover removes: the destination, or for
// en passant the square behind it, beside the capturing pawn.
inline Square move_capture_square(Move m, Color mover) {
    const Square dst = move_to(m);
    if (move_type(m) != EP_CAPTURE) return dst;
    return static_cast<Square>(mover == WHITE ? dst - 8 : dst + 8);
}
// The new piece of a promotion: flag bits 0-1 count from the knight.
inline PieceType move_promote(Move m) { return static_cast<PieceType>(KNIGHT + (move_type(m) & 3)); }

// Reads a 4- or 5-character move text against pos: squares and promotion
// letter in either case. The board only decides the flag (castling, double
// push, en passant, capture); legality is not checked. Gives NULL_MOVE for
// text that names no squares or no promotion piece.
Move move_parse(const Position& pos, const char* text);

// Writes the move's text without a line end; NULL_MOVE prints as "0000".
void move_print(Move m, FILE* out = stdout);

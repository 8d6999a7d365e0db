// Reference card of the board vocabulary: squares, pieces, bitboards, moves and
// the position record.
#pragma once

#include <cstdint>

#include "bit/bit.h"

// Zobrist hash of piece types on squares only: no colour, side, castling or
// en-passant key, so positions with the same placement hash alike.
using Hash = uint64_t;

// square = rank * 8 + file. NO_SQUARE doubles as "no en-passant target" and as
// lsb() of the empty set, which is why some tables have 65 entries per row.
// clang-format off
enum Square : uint32_t {
    A1,
    B1,
    C1,
    D1,
    E1,
    F1,
    G1,
    H1,
    A2,
    B2,
    C2,
    D2,
    E2,
    F2,
    G2,
    H2,
    A3,
    B3,
    C3,
    D3,
    E3,
    F3,
    G3,
    H3,
    A4,
    B4,
    C4,
    D4,
    E4,
    F4,
    G4,
    H4,
    A5,
    B5,
    C5,
    D5,
    E5,
    F5,
    G5,
    H5,
    A6,
    B6,
    C6,
    D6,
    E6,
    F6,
    G6,
    H6,
    A7,
    B7,
    C7,
    D7,
    E7,
    F7,
    G7,
    H7,
    A8,
    B8,
    C8,
    D8,
    E8,
    F8,
    G8,
    H8,
    NO_SQUARE
};
// clang-format on

enum File : uint32_t { FILE_A, FILE_B, FILE_C, FILE_D, FILE_E, FILE_F, FILE_G, FILE_H, NO_FILE };
enum Rank : uint32_t { RANK_1, RANK_2, RANK_3, RANK_4, RANK_5, RANK_6, RANK_7, RANK_8, NO_RANK };

enum Color : uint32_t { WHITE, BLACK };

constexpr Color opponent(Color c) { return static_cast<Color>(c ^ 1); }

// A piece on the board is the pair (colour, type): one bit in pieces[type] and
// the same bit in colors[colour]. NO_PIECE marks an empty square and a
// character that is not a piece letter.
enum PieceType : uint32_t { PAWN, KNIGHT, BISHOP, ROOK, QUEEN, KING, NO_PIECE };

// Ranks 1 and 8: a pawn arriving there promotes, and none may stand there.
constexpr BB PROMOTION_RANKS = 0xFF000000000000FFULL;
// Every file but a (h): a step east (west) that lands on file a (h) wrapped
// around the board edge.
constexpr BB NOT_FILE_A = 0xFEFEFEFEFEFEFEFEULL;
constexpr BB NOT_FILE_H = 0x7F7F7F7F7F7F7F7FULL;

// Move: 16 bits.
//   bits  0-5   origin square
//   bits  6-11  target square
//   bits 12-15  flag (MoveFlag); flag bit 2 (move bit 14) = capture,
//               flag bit 3 (move bit 15) = promotion, flag bits 0-1 = new piece
//               (knight 0 .. queen 3) for a promotion.
// The value 0 (a1a1) is never a real move and serves as the null move "0000".
using Move = uint16_t;

enum MoveFlag : uint32_t {
    QUIET = 0,
    DOUBLE_PUSH = 1,
    KING_CASTLE = 2,
    QUEEN_CASTLE = 3,
    CAPTURE = 4,
    EP_CAPTURE = 5,
    KNIGHT_PROMOTION = 8,
    BISHOP_PROMOTION = 9,
    ROOK_PROMOTION = 10,
    QUEEN_PROMOTION = 11,
    KNIGHT_PROMOTION_CAPTURE = 12,
    BISHOP_PROMOTION_CAPTURE = 13,
    ROOK_PROMOTION_CAPTURE = 14,
    QUEEN_PROMOTION_CAPTURE = 15,
};

constexpr Move NULL_MOVE = 0;

// A promotion's flag is the promotion base (plus CAPTURE for a capture) plus
// the new piece counted from the knight.
constexpr MoveFlag promotion_flag(PieceType piece, bool capture) {
    return static_cast<MoveFlag>(uint32_t(KNIGHT_PROMOTION) + (capture ? uint32_t(CAPTURE) : 0u) + (piece - KNIGHT));
}

// Castling rights bits of castling[colour]: bit `side` for side 0 (king side)
// and 1 (queen side).
constexpr uint32_t CASTLE_KING_SIDE = 1;
constexpr uint32_t CASTLE_QUEEN_SIDE = 2;
// Castling by [colour][side]: where king and rook stand before and after, the
// squares between them that must be empty, and the squares the king crosses
// or lands on, which must not be attacked (its own square is tested apart: no
// castling out of check; b1/b8 may be attacked, the king never crosses it).
struct CastlingSquares {
    Square king_from, king_to, rook_from, rook_to;
    BB path, safe;
};
inline constexpr CastlingSquares CASTLING[2][2] = {
    {{E1, G1, H1, F1, 0x60ULL, 0x60ULL}, {E1, C1, A1, D1, 0x0EULL, 0x0CULL}},
    {{E8, G8, H8, F8, 0x60ULL << 56, 0x60ULL << 56}, {E8, C8, A8, D8, 0x0EULL << 56, 0x0CULL << 56}},
};

// The ranks a pawn's double push lands on, by colour.
constexpr BB DOUBLE_PUSH_RANK[2] = {0x00000000FF000000ULL, 0x000000FF00000000ULL};

// The board state passed around by the whole engine; copied whole to make a move.
// Invariants kept by the piece edits: the six pieces sets are disjoint, the two
// colors sets are disjoint and cover the same squares; *hash, eval_mg, eval_eg
// and phase equal their sums over the pieces on the board.
struct Position {
    BB pieces[6];          // squares holding a piece of that type, either colour
    BB colors[2];          // squares holding a piece of that colour
    uint32_t castling[2];  // per side: CASTLE_KING_SIDE | CASTLE_QUEEN_SIDE
    Color turn;            // side to move
    Square ep_square;      // square a pawn just passed over, or NO_SQUARE
    Hash* hash;            // this position's slot in the shared hash history
    int32_t eval_mg[2];    // sum of TABLE_MG over that side's pieces
    int32_t eval_eg[2];    // sum of TABLE_EG over that side's pieces
    uint32_t phase;        // sum of PHASE over all pieces; 24 at the start, never capped
};

// Capacity of a generated move list. With at most 16 pieces a side (all other
// positions are refused at import) no pseudo-legal list comes near it.
constexpr int MAX_MOVES = 512;

// Piece values, piece-square tables and the combined per-colour value tables.
#pragma once

#include "board/types.h"

extern const int VALUE_MG[6];
extern const int VALUE_EG[6];
extern const int PHASE[6];
extern const int* const PST_MG[6];
extern const int* const PST_EG[6];

// [colour][type][square]: material plus square bonus, mirrored for White.
extern int TABLE_MG[2][6][64];
extern int TABLE_EG[2][6][64];

// [colour][type][square]: the most a quiet move of that piece from that square
// can add to TABLE_MG / TABLE_EG (single and double pushes for pawns, the
// empty-board targets for the others; promotions and castling are not
// counted). A bound that lets the search pass over all moves of a piece.
extern int QUIET_GAIN_MG[2][6][64];
extern int QUIET_GAIN_EG[2][6][64];
// [colour]: the most the capturing piece's own step (not a promotion) can add
// to TABLE_MG / TABLE_EG, over every piece, square and capture target. With the
// victim's value it bounds a capture's gain before its attackers are found.
extern int CAPTURE_GAIN_MG[2];
extern int CAPTURE_GAIN_EG[2];

// Builds the tables above; reads the attack tables, so it runs after them.
void ValueInit();

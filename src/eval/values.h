// Piece values, piece-square tables and the combined per-colour value tables.
#pragma once

#include "chess/types.h"

extern const int VALUE_MG[6];
extern const int VALUE_EG[6];
extern const int PHASE[6];
extern const int* const PST_MG[6];
extern const int* const PST_EG[6];

// [colour][type][square]: material plus square bonus, mirrored for White.
extern int TABLE_MG[2][6][64];
extern int TABLE_EG[2][6][64];

void ValueInit();

// Zobrist keys: one fixed-seed key per piece type and square.
#pragma once

#include "board/types.h"

extern Hash ZOBRIST_SQUARE_KEYS[6][64];

uint64_t ran_num();
void init_zobrist();

// The colour of the piece plays no part: only type and square pick the key.
inline Hash flip_square(Hash hash, Square sq, PieceType type) { return hash ^ ZOBRIST_SQUARE_KEYS[type][sq]; }

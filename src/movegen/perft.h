// Perft: leaf counts of the legal move tree, the last ply counted without
// making its moves.
#pragma once

#include <cstdint>

#include "board/types.h"

// The number of legal moves of the side to move. Worked out from the checkers,
// the pinned pieces and the squares the enemy attacks once the king has left
// its square; only en passant is tested on the board it leaves behind.
uint32_t CountLegalMoves(const Position& pos);

// The leaves of the legal move tree depth plies deep (1 at depth 0). The plies
// above the last are made with apply on GenerateMoves' lists.
uint64_t Perft(const Position& pos, int depth);

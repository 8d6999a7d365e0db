// Pseudo-legal move generation in a fixed, fully determined order.
#pragma once

#include "board/types.h"

// Every move of the side to move; king moves onto attacked squares are never
// listed, other moves may still leave the own king attacked. The list needs
// room for MAX_MOVES entries.
uint32_t GenerateMoves(const Position& pos, Move* moves);
// Captures only (promotion captures and en passant included), with no attack
// map: the king may capture defended pieces. Room for MAX_CAPTURES entries.
uint32_t GenerateCaptures(const Position& pos, Move* moves);

// The moves of GenerateMoves that capture nothing, in two batches for a search
// that tries moves in stages: the pawns' and knights' need no attack map; the
// king's (castling included) and the sliders' do or cost more. Only the pieces
// on movers move.
enum QuietBatch { QUIET_PAWNS_KNIGHTS, QUIET_KING_SLIDERS };
uint32_t GenerateQuiets(const Position& pos, Move* moves, QuietBatch batch, BB movers = ~BB(0));

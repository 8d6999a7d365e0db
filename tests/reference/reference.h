// Plain forms of what the engine computes faster: the capture list that the
// capture search finds by its victims, and the blockers-and-beyond table of
// slider attacks that the engine's bulk fills replaced. Tests hold the fast
// paths to them; the engine never builds them.
#pragma once

#include <cstdint>

#include "board/types.h"

// Room for every capture of a position.
constexpr int MAX_CAPTURES = 256;

// Captures only (promotion captures and en passant included), pawns, knights,
// the king, then the diagonal and the orthogonal sliders, each in the order
// GenerateMoves lists them. No attack map: the king may take a defended piece.
uint32_t GenerateCaptures(const Position& pos, Move* moves);

// [s][type]: the squares of ATTACKS[type][s] that can cut the attack set short
// (the last square of a line never can, so the board edges are masked off);
// [s][PAWN] is empty. Removing XRAYS[s][b] for every occupied b of it leaves
// the attack set on that occupancy.
extern BB BAB[64][6];

// Builds BAB; the engine's tables must be built first.
void InitReference();

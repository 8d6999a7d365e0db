// Attack queries on a position. They read only the record and the attack
// tables, so the position's own checks (import, legality) can use them.
#pragma once

#include "board/types.h"

// True when no enemy pawn, knight, bishop, rook or queen attacks color's king
// (the enemy king is not considered); true as well when color has no king.
bool IsKingSafe(const Position& pos, Color color);
// Every square attacked by a piece of color on the current occupancy.
BB GenerateAttackBoard(const Position& pos, Color color);

// Attack queries on a position. They read only the record and the attack
// tables, so the position's own checks (import, legality) can use them.
#pragma once

#include "bit/bit.h"
#include "board/types.h"
#include "tables/masks.h"

// True when no enemy pawn, knight, bishop, rook or queen attacks color's king
// (the enemy king is not considered); true as well when color has no king.
bool IsKingSafe(const Position& pos, Color color);
// Every square attacked by a piece of color when the board holds occ: the
// current occupancy, or one with a piece lifted off (perft lifts the king, so
// that a slider checking it also covers the squares behind it, where the king
// cannot flee).
inline BB GenerateAttackBoard(const Position& pos, Color color, BB occ) {
    const BB own = pos.colors[color];
    BB attacks = pawn_attacks(color, pos.pieces[PAWN] & own);
    for (BB set = pos.pieces[KNIGHT] & own; set;) attacks |= ATTACKS_KNIGHT[lsbpop(set)];
    for (BB set = pos.pieces[KING] & own; set;) attacks |= ATTACKS_KING[lsbpop(set)];
    const BB empty = ~occ;
    const BB diagonal = (pos.pieces[BISHOP] | pos.pieces[QUEEN]) & own;
    const BB orthogonal = (pos.pieces[ROOK] | pos.pieces[QUEEN]) & own;
    if (diagonal) attacks |= diagonal_attacks(diagonal, empty);
    if (orthogonal) attacks |= orthogonal_attacks(orthogonal, empty);
    return attacks;
}

// The same on the current occupancy.
inline BB GenerateAttackBoard(const Position& pos, Color color) {
    return GenerateAttackBoard(pos, color, pos.colors[WHITE] | pos.colors[BLACK]);
}

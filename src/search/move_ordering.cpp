// The MVV-LVA table and the per-node scoring pass.
#include "search/move_ordering.h"

#include "board/move.h"
#include "position/position.h"

// Victim first (ten points a step), attacker as tie-break (pawn best).
// clang-format off
const uint32_t MVVALVA_VALUES[6][7] = {
    {15, 25, 35, 45, 55, 0, 0}, {14, 24, 34, 44, 54, 0, 0}, {13, 23, 33, 43, 53, 0, 0},
    {12, 22, 32, 42, 52, 0, 0}, {11, 21, 31, 41, 51, 0, 0}, {10, 20, 30, 40, 50, 0, 0},
};
// clang-format on

uint32_t MVVLVA(const Position& pos, const Move* moves, uint32_t* scores, uint32_t count) {
    const BB occupied = pos.colors[WHITE] | pos.colors[BLACK];
    uint32_t scored = 0;
    for (uint32_t i = 0; i < count; i++) {
        // A move to an empty square scores 0 whatever moves: skip both lookups.
        if (!(occupied & (BB(1) << move_to(moves[i])))) continue;
        const PieceType attacker = square_piece(pos, move_from(moves[i]));
        const PieceType victim = square_piece(pos, move_to(moves[i]));
        scores[i] += MVVALVA_VALUES[attacker][victim];
        scored += scores[i] != 0;
    }
    return scored;
}

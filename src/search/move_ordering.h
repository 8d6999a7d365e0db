// Capture ordering: most valuable victim, least valuable attacker.
#pragma once

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "board/types.h"

// [attacker][victim]; column NO_PIECE (empty target) and a king victim score 0.
extern const uint32_t MVVALVA_VALUES[6][7];

// Adds each move's victim-and-attacker score to its entry in scores, looking up
// both pieces in pos, the position before the move. Gives the number of moves
// that scored above 0: once that many have been tried, PickMove can no longer
// change the order and the searches stop calling it.
uint32_t MVVLVA(const Position& pos, const Move* moves, uint32_t* scores, uint32_t count);

// The table is 10 * (victim + 1) + 5 - attacker for every victim but the
// king, so a score above 0 names both pieces without looking at the board.
inline PieceType mvvlva_victim(uint32_t score) { return static_cast<PieceType>(score / 10 - 1); }
inline PieceType mvvlva_attacker(uint32_t score) { return static_cast<PieceType>(5 - score % 10); }

// Exchanges two memory areas of size bytes (at most 16) through a temporary
// copy; inline so that fixed small sizes compile to register moves.
inline void memswap(void* a, void* b, size_t size) {
    assert(size <= 16);
    unsigned char tmp[16];
    memcpy(tmp, a, size);
    memcpy(a, b, size);
    memcpy(b, tmp, size);
}

// Brings a best-scored move of indices start..count-1 to index start. Only a
// strictly higher score displaces, and every exchange leaves the displaced move
// where its replacement stood: this exact shuffle decides the search order of
// equal moves.
inline void PickMove(Move* moves, uint32_t* scores, uint32_t count, uint32_t start) {
    for (uint32_t i = start + 1; i < count; i++) {
        if (scores[i] > scores[start]) {
            memswap(&scores[i], &scores[start], sizeof *scores);
            memswap(&moves[i], &moves[start], sizeof *moves);
        }
    }
}

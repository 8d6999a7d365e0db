// Shared by the fuzz targets: start-up, an output sink, and what every position
// the front end accepts must satisfy.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "bit/bit.h"
#include "board/utility.h"
#include "position/position.h"
#include "tables/init.h"
#include "tables/masks.h"

// Where the targets send the engine's replies: only crashes matter to them.
inline FILE* FUZZ_SINK = nullptr;

inline void FuzzInit() {
    Init();
    FUZZ_SINK = fopen("/dev/null", "w");
}

// Aborts (a libFuzzer finding) with the broken rule's name.
inline void FuzzRequire(bool ok, const char* rule) {
    if (ok) return;
    fprintf(stderr, "broken position rule: %s\n", rule);
    abort();
}

// The rules import promises plus what apply must keep: a record the search can
// trust without checks of its own.
inline void CheckAcceptedPosition(const Position& pos) {
    FuzzRequire(pos.hash != nullptr, "hash history allocated");
    FuzzRequire(position_consistent(pos), "derived fields match the board");
    for (uint32_t c = WHITE; c <= BLACK; c++) {
        FuzzRequire(popcount(pos.pieces[KING] & pos.colors[c]) == 1, "one king a side");
        FuzzRequire(popcount(pos.colors[c]) <= 16, "at most 16 pieces a side");
        FuzzRequire(pos.castling[c] <= (CASTLE_KING_SIDE | CASTLE_QUEEN_SIDE), "castling bits");
    }
    FuzzRequire(!(pos.pieces[PAWN] & PROMOTION_RANKS), "no pawn on rank 1 or 8");
    const Color them = opponent(pos.turn);
    const Square their_king = lsb(pos.pieces[KING] & pos.colors[them]);
    const Square our_king = lsb(pos.pieces[KING] & pos.colors[pos.turn]);
    FuzzRequire(IsKingSafe(pos, them), "side not to move not in check");
    FuzzRequire(!(ATTACKS_KING[our_king] & sbb(their_king)), "kings not adjacent");

    for (uint32_t c = WHITE; c <= BLACK; c++) {
        const BB own = pos.colors[c];
        if (pos.castling[c])
            FuzzRequire(pos.pieces[KING] & own & sbb(CASTLING[c][0].king_from), "castling king at home");
        if (pos.castling[c] & CASTLE_KING_SIDE)
            FuzzRequire(pos.pieces[ROOK] & own & sbb(CASTLING[c][0].rook_from), "castling rook at home");
        if (pos.castling[c] & CASTLE_QUEEN_SIDE)
            FuzzRequire(pos.pieces[ROOK] & own & sbb(CASTLING[c][1].rook_from), "castling rook at home");
    }

    if (pos.ep_square != NO_SQUARE) {
        const BB ep = sbb(pos.ep_square);
        const BB rank = pos.turn == WHITE ? 0x0000FF0000000000ULL : 0x0000000000FF0000ULL;
        const BB pawn = pos.turn == WHITE ? ep >> 8 : ep << 8;
        FuzzRequire(ep & rank, "en-passant square on the passed rank");
        FuzzRequire(!(ep & (pos.colors[WHITE] | pos.colors[BLACK])), "en-passant square empty");
        FuzzRequire(pos.pieces[PAWN] & pos.colors[them] & pawn, "en-passant pawn in front");
    }

    // The slot index: at least 1, and room left for the deepest search.
    const uintptr_t bytes = HISTORY_SLOTS * sizeof(Hash);
    const uintptr_t slot = (reinterpret_cast<uintptr_t>(pos.hash) & (bytes - 1)) / sizeof(Hash);
    FuzzRequire(slot >= 1 && slot + MAX_SEARCH_PLIES < HISTORY_SLOTS, "hash slot in range");
}

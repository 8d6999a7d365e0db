// Zobrist key table and the xorshift64* generator that fills it.
#include "tables/zobrist.h"

Hash ZOBRIST_SQUARE_KEYS[6][64];

namespace {
uint64_t ran_state = 1070372;
}

uint64_t ran_num() {
    ran_state ^= ran_state >> 12;
    ran_state ^= ran_state << 25;
    ran_state ^= ran_state >> 27;
    return ran_state * 2685821657736338717ULL;
}

void init_zobrist() {
    // Reseed so that the table is the same however often it is built.
    ran_state = 1070372;
    for (uint32_t type = PAWN; type <= KING; type++)
        for (int sq = 0; sq < 64; sq++) ZOBRIST_SQUARE_KEYS[type][sq] = ran_num();
}

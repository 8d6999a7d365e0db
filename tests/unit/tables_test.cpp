// Tests of the tables built at start-up: Zobrist keys, combined value tables,
// and the attack, ray, x-ray, ring and blocker tables against slow references.
#include <algorithm>
#include <cstring>
#include <random>
#include <set>
#include <string>

#include "bit/bit.h"
#include "board/utility.h"
#include "reference/reference.h"
#include "tables/masks.h"
#include "tables/values.h"
#include "tables/zobrist.h"
#include "test_util.h"

namespace {

std::string Names(BB bb) {
    std::string out;
    for (uint32_t s = 0; s < 64; s++)
        if (bb >> s & 1) out += std::string(SQUARES[s]) + " ";
    return out;
}

// Draws of xorshift64* from the fixed seed, in type-then-square order,
// computed apart from any C++ (draws 1, 64, 65, 157, 249, 260, 325 and 384);
// every key distinct and none zero.
TEST(ZobristTest, KeysAreTheSeededDrawsInOrder) {
    const struct {
        PieceType type;
        Square square;
        Hash key;
    } anchors[] = {
        {PAWN, A1, 0x083610fb1cd7c6a5ULL},   {PAWN, H8, 0x8c165c27b93899a1ULL}, {KNIGHT, A1, 0x7adfd3d554658027ULL},
        {BISHOP, E4, 0x9d339b95075e5f21ULL}, {ROOK, A8, 0x4d8b850410bc371eULL}, {QUEEN, D1, 0x36298d8994ef782fULL},
        {KING, E1, 0xee8881a63b2d62b5ULL},   {KING, H8, 0x9655c388016c3fe2ULL},
    };
    for (const auto& a : anchors) EXPECT_EQ(ZOBRIST_SQUARE_KEYS[a.type][a.square], a.key) << a.type << " " << a.square;
    std::set<Hash> keys;
    for (uint32_t t = PAWN; t <= KING; t++)
        for (uint32_t sq = 0; sq < 64; sq++) keys.insert(ZOBRIST_SQUARE_KEYS[t][sq]);
    EXPECT_EQ(keys.size(), 384u);
    EXPECT_EQ(keys.count(0), 0u);
}

TEST(ZobristTest, RebuildingGivesTheSameKeys) {
    Hash before[6][64];
    memcpy(before, ZOBRIST_SQUARE_KEYS, sizeof before);
    ZOBRIST_SQUARE_KEYS[PAWN][A1] ^= 1;
    init_zobrist();
    init_zobrist();  // a second build starts again from the seed
    EXPECT_EQ(memcmp(before, ZOBRIST_SQUARE_KEYS, sizeof before), 0);
    EXPECT_EQ(flip_square(0x1234, E4, ROOK), 0x1234 ^ ZOBRIST_SQUARE_KEYS[ROOK][E4]);
}

TEST(ValuesTest, CombinedTables) {
    EXPECT_EQ(TABLE_MG[WHITE][KNIGHT][G1], 318);
    EXPECT_EQ(TABLE_MG[BLACK][KNIGHT][G8], 318);
    EXPECT_EQ(TABLE_EG[WHITE][PAWN][E4], 87);
    EXPECT_EQ(TABLE_EG[BLACK][PAWN][E5], 87);
    EXPECT_EQ(TABLE_MG[WHITE][KING][G1], 24);
    EXPECT_EQ(TABLE_EG[WHITE][KING][E1], -28);
    EXPECT_EQ(TABLE_MG[WHITE][QUEEN][D1], 1035);
    EXPECT_EQ(TABLE_EG[WHITE][QUEEN][D1], 893);
    EXPECT_EQ(TABLE_MG[BLACK][PAWN][A7], 82 - 35);  // files are never mirrored
    // A piece is worth the same to its side on mirrored squares.
    for (uint32_t t = PAWN; t <= KING; t++)
        for (uint32_t s = 0; s < 64; s++) {
            EXPECT_EQ(TABLE_MG[WHITE][t][s], TABLE_MG[BLACK][t][s ^ 56]) << t << " " << s;
            EXPECT_EQ(TABLE_EG[WHITE][t][s], TABLE_EG[BLACK][t][s ^ 56]) << t << " " << s;
        }
}

// Square by square references for the geometry tables.
bool OnBoard(int f, int r) { return f >= 0 && f < 8 && r >= 0 && r < 8; }

BB SlowLine(Square s, int df, int dr, BB occ) {
    BB line = 0;
    for (int f = int(sq_file(s)) + df, r = int(sq_rank(s)) + dr; OnBoard(f, r); f += df, r += dr) {
        line |= sbb(Square(r * 8 + f));
        if (occ >> (r * 8 + f) & 1) break;
    }
    return line;
}

BB SlowSteps(Square s, const int (*steps)[2], int n) {
    BB out = 0;
    for (int i = 0; i < n; i++) {
        const int f = int(sq_file(s)) + steps[i][0], r = int(sq_rank(s)) + steps[i][1];
        if (OnBoard(f, r)) out |= sbb(Square(r * 8 + f));
    }
    return out;
}

BB SlowAttacks(PieceType type, Square s, BB occ) {
    static const int KNIGHT_STEPS[8][2] = {{1, 2}, {2, 1}, {2, -1}, {1, -2}, {-1, -2}, {-2, -1}, {-2, 1}, {-1, 2}};
    static const int DIRS[8][2] = {{1, 1}, {1, -1}, {-1, 1}, {-1, -1}, {1, 0}, {-1, 0}, {0, 1}, {0, -1}};
    switch (type) {
        case KNIGHT: return SlowSteps(s, KNIGHT_STEPS, 8);
        case KING: return SlowSteps(s, DIRS, 8);
        default: break;
    }
    BB out = 0;
    const int first = type == ROOK ? 4 : 0, last = type == BISHOP ? 4 : 8;
    for (int d = first; d < last; d++) out |= SlowLine(s, DIRS[d][0], DIRS[d][1], occ);
    return out;
}

int Sign(int v) { return (v > 0) - (v < 0); }

TEST(MasksTest, Anchors) {
    EXPECT_EQ(ATTACKS_PAWN[WHITE][A1], Set({B2}));
    EXPECT_EQ(ATTACKS_PAWN[WHITE][D4], Set({C5, E5}));
    EXPECT_EQ(ATTACKS_PAWN[WHITE][H8], 0u);
    EXPECT_EQ(ATTACKS_PAWN[BLACK][A1], 0u);
    EXPECT_EQ(ATTACKS_PAWN[BLACK][H8], Set({G7}));
    EXPECT_EQ(ATTACKS_PAWN[WHITE][NO_SQUARE], 0u);
    EXPECT_EQ(ATTACKS_PAWN[BLACK][NO_SQUARE], 0u);
    EXPECT_EQ(ATTACKS_KNIGHT[A1], Set({C2, B3}));
    EXPECT_EQ(ATTACKS_KING[H1], Set({G1, G2, H2}));
    EXPECT_EQ(popcount(ATTACKS_QUEEN[A1]), 21);
    // The table by piece type, each entry read through at a known square.
    EXPECT_EQ(ATTACKS[PAWN], nullptr);
    EXPECT_EQ(ATTACKS[KNIGHT][B1], Set({D2, A3, C3}));
    EXPECT_EQ(ATTACKS[BISHOP][B1], Set({A2, C2, D3, E4, F5, G6, H7}));
    EXPECT_EQ(ATTACKS[ROOK][H1], Set({A1, B1, C1, D1, E1, F1, G1, H2, H3, H4, H5, H6, H7, H8}));
    EXPECT_EQ(ATTACKS[QUEEN][A8],
              Set({B8, C8, D8, E8, F8, G8, H8, A1, A2, A3, A4, A5, A6, A7, B7, C6, D5, E4, F3, G2, H1}));
    EXPECT_EQ(ATTACKS[KING][E1], Set({D1, F1, D2, E2, F2}));

    EXPECT_EQ(RAYS[D4][D4], Set({D4}));
    EXPECT_EQ(RAYS[D4][E4], Set({E4, F4, G4, H4}));
    EXPECT_EQ(RAYS[D4][H4], RAYS[D4][E4]);
    EXPECT_EQ(RAYS[D4][E6], Set({E5, F6, G7, H8}));  // off-line target: its quadrant's diagonal
    EXPECT_EQ(RAYS[D4][E2], Set({E3, F2, G1}));
    EXPECT_EQ(RAYS[A1][H8], Set({B2, C3, D4, E5, F6, G7, H8}));
    EXPECT_EQ(XRAYS[D4][F4], Set({G4, H4}));
    EXPECT_EQ(XRAYS[D4][H4], 0u);
    EXPECT_EQ(XRAYS[D4][D4], 0u);
    EXPECT_EQ(XRAYS[D4][E6], Set({E5, F6, G7, H8}));

    const BB file_h = 0x8080808080808080ULL, rank_8 = 0xFFULL << 56;
    EXPECT_EQ(RINGS[D4][0], 0u);
    EXPECT_EQ(RINGS[D4][1], ATTACKS_KING[D4]);
    EXPECT_EQ(RINGS[D4][4], file_h | rank_8);
    EXPECT_EQ(RINGS[D4][5] | RINGS[D4][6] | RINGS[D4][7], 0u);
    EXPECT_EQ(RINGS[A1][7], file_h | rank_8);

    EXPECT_EQ(BAB[A1][ROOK], Set({B1, C1, D1, E1, F1, G1, A2, A3, A4, A5, A6, A7}));
    EXPECT_EQ(BAB[B1][ROOK], Set({A1, C1, D1, E1, F1, G1, H1, B2, B3, B4, B5, B6, B7}));
    EXPECT_EQ(BAB[D4][BISHOP], Set({B2, F2, C3, E3, C5, E5, B6, F6, G7}));
    EXPECT_EQ(BAB[B1][KNIGHT], Set({D2, C3}));
    for (uint32_t s = 0; s < 64; s++) EXPECT_EQ(BAB[s][PAWN], 0u);

    const BB rook = ATTACKS_ROOK[D4] & ~XRAYS[D4][D6] & ~XRAYS[D4][F4];
    EXPECT_EQ(rook, Set({D1, D2, D3, A4, B4, C4, E4, F4, D5, D6})) << Names(rook);
}

TEST(MasksTest, PieceAttacksMatchTheReferenceOnEveryEmptyBoardSquare) {
    for (uint32_t i = 0; i < 64; i++) {
        const Square s = Square(i);
        const int f = int(sq_file(s)), r = int(sq_rank(s));
        const int white[2][2] = {{-1, 1}, {1, 1}}, black[2][2] = {{-1, -1}, {1, -1}};
        EXPECT_EQ(ATTACKS_PAWN[WHITE][s], SlowSteps(s, white, 2)) << SQUARES[s];
        EXPECT_EQ(ATTACKS_PAWN[BLACK][s], SlowSteps(s, black, 2)) << SQUARES[s];
        for (uint32_t t = KNIGHT; t <= KING; t++)
            EXPECT_EQ(ATTACKS[t][s], SlowAttacks(PieceType(t), s, 0)) << SQUARES[s] << " type " << t;

        for (uint32_t j = 0; j < 64; j++) {
            const Square b = Square(j);
            const int df = Sign(int(sq_file(b)) - f), dr = Sign(int(sq_rank(b)) - r);
            const BB ray = s == b ? sbb(s) : SlowLine(s, df, dr, 0);
            EXPECT_EQ(RAYS[s][b], ray) << SQUARES[s] << SQUARES[b];
            // Beyond b: the part of the ray past b when b is on a line from s,
            // the whole ray when it is not, nothing for b = s.
            BB beyond = ray;
            if (s == b)
                beyond = 0;
            else if (ATTACKS_QUEEN[s] >> b & 1)
                beyond = SlowLine(b, df, dr, 0);
            EXPECT_EQ(XRAYS[s][b], beyond) << SQUARES[s] << SQUARES[b];
        }

        EXPECT_EQ(RINGS[s][0], 0u);
        for (int k = 1; k <= 7; k++) {
            BB ring = 0;
            for (uint32_t j = 0; j < 64; j++)
                if (std::max(dist_horizontal(s, Square(j)), dist_vertical(s, Square(j))) == k) ring |= sbb(Square(j));
            EXPECT_EQ(RINGS[s][k], ring) << SQUARES[s] << " ring " << k;
        }
    }
}

// The ring walk relies on it: every ray from s crosses ring k exactly at its
// k-th square, and nowhere else.
TEST(MasksTest, EachRayMeetsEachRingAtMostOnceAtItsKthSquare) {
    static const int DIRS[8][2] = {{1, 1}, {1, -1}, {-1, 1}, {-1, -1}, {1, 0}, {-1, 0}, {0, 1}, {0, -1}};
    for (uint32_t i = 0; i < 64; i++) {
        const Square s = Square(i);
        for (const auto& d : DIRS) {
            const int f = int(sq_file(s)) + d[0], r = int(sq_rank(s)) + d[1];
            if (!OnBoard(f, r)) continue;
            const BB ray = RAYS[s][r * 8 + f];
            for (int k = 1; k <= 7; k++) {
                const int fk = int(sq_file(s)) + k * d[0], rk = int(sq_rank(s)) + k * d[1];
                const BB expected = OnBoard(fk, rk) ? sbb(Square(rk * 8 + fk)) : 0;
                EXPECT_EQ(ray & RINGS[s][k], expected) << SQUARES[s] << " dir " << d[0] << d[1] << " ring " << k;
            }
        }
    }
}

// A seeded random occupancy: by round, about a half, a quarter or an eighth
// of the board.
BB RandomOccupancy(std::mt19937_64& rng, int round) {
    BB occ = rng();
    if (round % 3 == 0) occ &= rng();
    if (round % 3 == 1) occ &= rng() & rng();
    return occ;
}

// Blockers and beyond against a square-by-square trace, over seeded random
// occupancies of mixed density.
TEST(MasksTest, BlockersAndBeyondMatchesTheReferenceForRandomOccupancies) {
    std::mt19937_64 rng(20240611);
    for (int round = 0; round < 300; round++) {
        const BB occ = RandomOccupancy(rng, round);
        for (uint32_t i = 0; i < 64; i++) {
            const Square s = Square(i);
            for (uint32_t t = KNIGHT; t <= KING; t++) {
                ASSERT_EQ(BAB[s][t] & ~ATTACKS[t][s], 0u);
                BB attacks = ATTACKS[t][s];
                for (BB blockers = BAB[s][t] & occ; blockers;) attacks &= ~XRAYS[s][lsbpop(blockers)];
                ASSERT_EQ(attacks, SlowAttacks(PieceType(t), s, occ))
                    << SQUARES[s] << " type " << t << " occ " << std::hex << occ;
            }
        }
    }
}

// The bulk fills give the union of the sliders' own attack sets, and the pawn
// fill the union of the pawn table rows, for random boards and random pieces.
TEST(MasksTest, BulkAttackFillsMatchTheReferenceForRandomOccupancies) {
    std::mt19937_64 rng(20261208);
    for (int round = 0; round < 3000; round++) {
        const BB occ = RandomOccupancy(rng, round);
        const BB sliders = occ & rng() & rng();
        BB diagonal = 0, orthogonal = 0, white_pawns = 0, black_pawns = 0;
        for (BB set = sliders; set;) {
            const Square s = lsbpop(set);
            diagonal |= SlowAttacks(BISHOP, s, occ);
            orthogonal |= SlowAttacks(ROOK, s, occ);
            white_pawns |= ATTACKS_PAWN[WHITE][s];
            black_pawns |= ATTACKS_PAWN[BLACK][s];
        }
        ASSERT_EQ(diagonal_attacks(sliders, ~occ), diagonal) << std::hex << occ << " " << sliders;
        ASSERT_EQ(orthogonal_attacks(sliders, ~occ), orthogonal) << std::hex << occ << " " << sliders;
        ASSERT_EQ(pawn_attacks(WHITE, sliders), white_pawns) << std::hex << sliders;
        ASSERT_EQ(pawn_attacks(BLACK, sliders), black_pawns) << std::hex << sliders;
    }
}

}  // namespace

// Builds the attack tables once at start-up; read-only afterwards.
#include "tables/masks.h"

#include "board/utility.h"

BB ATTACKS_PAWN[2][65];
BB ATTACKS_KNIGHT[64];
BB ATTACKS_KING[64];
BB ATTACKS_BISHOP[64];
BB ATTACKS_ROOK[64];
BB ATTACKS_QUEEN[64];
BB* ATTACKS[6];
BB RAYS[64][64];
BB XRAYS[64][64];
BB RINGS[64][8];
BB BAB[64][6];

namespace {

// File and rank compared unsigned: a step off the low edge wraps to a huge
// value and is off the board too.
bool Valid(uint32_t file, uint32_t rank) { return file < 8 && rank < 8; }

void TrySet(BB* bb, uint32_t file, uint32_t rank) {
    if (Valid(file, rank)) *bb |= BB(1) << (rank * 8 + file);
}

int sign(int v) { return (v > 0) - (v < 0); }

BB GenerateRay(Square a, Square b) {
    const int df = sign(int(sq_file(b)) - int(sq_file(a)));
    const int dr = sign(int(sq_rank(b)) - int(sq_rank(a)));
    BB ray = 0;
    // Each of the seven steps is tested on its own: with df = dr = 0 all land
    // on a itself, which gives RAYS[a][a] = {a}.
    for (int i = 1; i <= 7; i++) TrySet(&ray, sq_file(a) + i * df, sq_rank(a) + i * dr);
    return ray;
}

BB GenerateXRay(Square a, Square b) { return RAYS[a][b] & ~(RAYS[b][a] | sbb(b)); }

BB GenerateRing(Square s, int k) {
    BB ring = 0;
    for (uint32_t t = 0; t < 64; t++) {
        const int h = dist_horizontal(s, Square(t));
        const int v = dist_vertical(s, Square(t));
        if ((v == k && h <= k) || (h == k && v <= k)) ring |= BB(1) << t;
    }
    return ring;
}

BB GenerateBAB(Square s, PieceType type) {
    BB mask;
    const File f = sq_file(s);
    const Rank r = sq_rank(s);
    if ((f == FILE_A || f == FILE_H) && (r == RANK_1 || r == RANK_8))
        mask = ~RINGS[s][7];
    else if (r == RANK_1)
        mask = 0x007E7E7E7E7E7EFFULL;
    else if (r == RANK_8)
        mask = 0xFF7E7E7E7E7E7E00ULL;
    else if (f == FILE_A)
        mask = 0x017F7F7F7F7F7F01ULL;
    else if (f == FILE_H)
        mask = 0x80FEFEFEFEFEFE80ULL;
    else
        mask = 0x007E7E7E7E7E7E00ULL;
    return ATTACKS[type][s] & mask;
}

}  // namespace

void init_masks() {
    for (uint32_t s = 0; s < 64; s++) {
        const uint32_t f = s & 7, r = s >> 3;
        TrySet(&ATTACKS_PAWN[WHITE][s], f + 1, r + 1);
        TrySet(&ATTACKS_PAWN[WHITE][s], f - 1, r + 1);
    }
    ATTACKS_PAWN[WHITE][64] = 0;
    for (uint32_t s = 0; s < 64; s++) {
        const uint32_t f = s & 7, r = s >> 3;
        TrySet(&ATTACKS_PAWN[BLACK][s], f + 1, r - 1);
        TrySet(&ATTACKS_PAWN[BLACK][s], f - 1, r - 1);
    }
    ATTACKS_PAWN[BLACK][64] = 0;

    static const int KNIGHT_STEPS[8][2] = {{1, 2}, {2, 1}, {2, -1}, {1, -2}, {-1, -2}, {-2, -1}, {-2, 1}, {-1, 2}};
    static const int KING_STEPS[8][2] = {{1, 0}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0}, {-1, -1}, {0, -1}, {1, -1}};
    for (uint32_t s = 0; s < 64; s++) {
        const uint32_t f = s & 7, r = s >> 3;
        for (int i = 0; i < 8; i++) {
            TrySet(&ATTACKS_KNIGHT[s], f + KNIGHT_STEPS[i][0], r + KNIGHT_STEPS[i][1]);
            TrySet(&ATTACKS_KING[s], f + KING_STEPS[i][0], r + KING_STEPS[i][1]);
        }
    }

    for (uint32_t s = 0; s < 64; s++) {
        const uint32_t f = s & 7, r = s >> 3;
        for (uint32_t i = 1; i <= 7; i++) {
            TrySet(&ATTACKS_BISHOP[s], f + i, r + i);
            TrySet(&ATTACKS_BISHOP[s], f + i, r - i);
            TrySet(&ATTACKS_BISHOP[s], f - i, r + i);
            TrySet(&ATTACKS_BISHOP[s], f - i, r - i);
            TrySet(&ATTACKS_ROOK[s], f + i, r);
            TrySet(&ATTACKS_ROOK[s], f - i, r);
            TrySet(&ATTACKS_ROOK[s], f, r + i);
            TrySet(&ATTACKS_ROOK[s], f, r - i);
        }
        ATTACKS_QUEEN[s] = ATTACKS_BISHOP[s] | ATTACKS_ROOK[s];
    }

    ATTACKS[PAWN] = nullptr;
    ATTACKS[KNIGHT] = ATTACKS_KNIGHT;
    ATTACKS[BISHOP] = ATTACKS_BISHOP;
    ATTACKS[ROOK] = ATTACKS_ROOK;
    ATTACKS[QUEEN] = ATTACKS_QUEEN;
    ATTACKS[KING] = ATTACKS_KING;

    for (uint32_t a = 0; a < 64; a++)
        for (uint32_t b = 0; b < 64; b++) RAYS[a][b] = GenerateRay(Square(a), Square(b));
    for (uint32_t a = 0; a < 64; a++)
        for (uint32_t b = 0; b < 64; b++) XRAYS[a][b] = GenerateXRay(Square(a), Square(b));
    for (uint32_t s = 0; s < 64; s++)
        for (int k = 1; k <= 7; k++) RINGS[s][k] = GenerateRing(Square(s), k);
    for (uint32_t t = KNIGHT; t <= KING; t++)
        for (uint32_t s = 0; s < 64; s++) BAB[s][t] = GenerateBAB(Square(s), PieceType(t));
}

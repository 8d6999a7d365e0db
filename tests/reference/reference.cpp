// The reference capture list and the blockers-and-beyond table.
#include "reference/reference.h"

#include "bit/bit.h"
#include "board/move.h"
#include "board/utility.h"
#include "movegen/move_gen.h"
#include "position/position.h"
#include "tables/masks.h"

BB BAB[64][6];

uint32_t GenerateCaptures(const Position& pos, Move* moves) {
    Move all[MAX_MOVES];
    const uint32_t count = GenerateMoves(pos, all);
    const BB nus = pos.colors[opponent(pos.turn)];
    const auto captures_of = [&](Move* out, bool sliders) {
        for (uint32_t i = 0; i < count; i++) {
            const PieceType piece = square_piece(pos, move_from(all[i]));
            if (move_capture(all[i]) && piece != KING && (piece >= BISHOP) == sliders) *out++ = all[i];
        }
        return out;
    };
    Move* end = captures_of(moves, false);
    // GenerateMoves keeps the king off attacked squares; here it takes them all.
    for (BB king = pos.pieces[KING] & pos.colors[pos.turn]; king;) {
        const Square from = lsbpop(king);
        for (BB targets = ATTACKS_KING[from] & nus; targets;) *end++ = move_make(from, lsbpop(targets), CAPTURE);
    }
    end = captures_of(end, true);
    return static_cast<uint32_t>(end - moves);
}

namespace {

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

void InitReference() {
    for (uint32_t t = KNIGHT; t <= KING; t++)
        for (uint32_t s = 0; s < 64; s++) BAB[s][t] = GenerateBAB(Square(s), PieceType(t));
}

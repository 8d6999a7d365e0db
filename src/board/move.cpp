// Square names and reading and writing moves in long algebraic notation.
#include "board/move.h"

#include <cstring>

#include "board/utility.h"

// clang-format off
const char* const SQUARES[64] = {
    "a1", "b1", "c1", "d1", "e1", "f1", "g1", "h1", "a2", "b2", "c2", "d2", "e2", "f2", "g2", "h2",
    "a3", "b3", "c3", "d3", "e3", "f3", "g3", "h3", "a4", "b4", "c4", "d4", "e4", "f4", "g4", "h4",
    "a5", "b5", "c5", "d5", "e5", "f5", "g5", "h5", "a6", "b6", "c6", "d6", "e6", "f6", "g6", "h6",
    "a7", "b7", "c7", "d7", "e7", "f7", "g7", "h7", "a8", "b8", "c8", "d8", "e8", "f8", "g8", "h8",
};
// clang-format on

const char PIECE_CHARS[7] = "pnbrqk";

Move move_parse(const Position& pos, const char* text) {
    const size_t len = strlen(text);
    if (len != 4 && len != 5) return NULL_MOVE;
    const Square ori = square_parse(text);
    const Square dst = square_parse(text + 2);
    if (ori == NO_SQUARE || dst == NO_SQUARE || ori == dst) return NULL_MOVE;

    // A promotion's flag comes from the text alone: a change of file captures.
    if (len == 5) {
        const PieceType piece = piece_from(text[4]);
        if (piece < KNIGHT || piece > QUEEN) return NULL_MOVE;
        return move_make(ori, dst, promotion_flag(piece, sq_file(ori) != sq_file(dst)));
    }

    // The board tells the rest, colour-blind: what stands on the origin and
    // whether the target is occupied.
    const bool occupied = (pos.colors[WHITE] | pos.colors[BLACK]) & sbb(dst);
    uint32_t flag = occupied ? CAPTURE : QUIET;
    if (pos.pieces[KING] & sbb(ori)) {
        for (const auto& colour : CASTLING)
            for (uint32_t side = 0; side < 2; side++)
                if (ori == colour[side].king_from && dst == colour[side].king_to)
                    flag = side == 0 ? KING_CASTLE : QUEEN_CASTLE;
    } else if (pos.pieces[PAWN] & sbb(ori)) {
        if (dist_vertical(ori, dst) > 1)
            flag = DOUBLE_PUSH;
        else if (sq_file(ori) != sq_file(dst) && !occupied)
            flag = EP_CAPTURE;
    }
    return move_make(ori, dst, flag);
}

void move_print(Move m, FILE* out) {
    if (m == NULL_MOVE) {
        fputs("0000", out);
        return;
    }
    fprintf(out, "%s%s", SQUARES[move_from(m)], SQUARES[move_to(m)]);
    if (move_is_promotion(m)) fputc(PIECE_CHARS[move_promote(m)], out);
}

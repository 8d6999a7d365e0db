// Square names and reading and writing moves in long algebraic notation.
#include "chess/move.h"

#include <cstring>

#include "chess/position.h"
#include "chess/utility.h"

const char* const SQUARES[64] = {
    "a1", "b1", "c1", "d1", "e1", "f1", "g1", "h1",
    "a2", "b2", "c2", "d2", "e2", "f2", "g2", "h2",
    "a3", "b3", "c3", "d3", "e3", "f3", "g3", "h3",
    "a4", "b4", "c4", "d4", "e4", "f4", "g4", "h4",
    "a5", "b5", "c5", "d5", "e5", "f5", "g5", "h5",
    "a6", "b6", "c6", "d6", "e6", "f6", "g6", "h6",
    "a7", "b7", "c7", "d7", "e7", "f7", "g7", "h7",
    "a8", "b8", "c8", "d8", "e8", "f8", "g8", "h8",
};

const char PIECE_CHARS[7] = "pnbrqk";

Move move_parse(const Position& pos, const char* text) {
    const size_t len = strlen(text);
    if (len != 4 && len != 5) return NULL_MOVE;
    const File f1 = sq_filec(text[0]), f2 = sq_filec(text[2]);
    const Rank r1 = sq_rankc(text[1]), r2 = sq_rankc(text[3]);
    if (f1 == NO_FILE || f2 == NO_FILE || r1 == NO_RANK || r2 == NO_RANK) return NULL_MOVE;
    const Square ori = sq_from(f1, r1);
    const Square dst = sq_from(f2, r2);
    if (ori == dst) return NULL_MOVE;

    if (len == 5) {
        uint32_t piece;
        switch (text[4]) {
            case 'n': piece = KNIGHT; break;
            case 'b': piece = BISHOP; break;
            case 'r': piece = ROOK; break;
            case 'q': piece = QUEEN; break;
            default: return NULL_MOVE;
        }
        return move_make(ori, dst, promotion_flag(static_cast<PieceType>(piece), f1 != f2));
    }

    const PieceType moving = square_piece(pos, ori);
    const bool occupied = square_piece(pos, dst) != NO_PIECE;
    uint32_t flag = occupied ? CAPTURE : QUIET;
    if (moving == KING) {
        if (strcmp(text, "e1g1") == 0 || strcmp(text, "e8g8") == 0)
            flag = KING_CASTLE;
        else if (strcmp(text, "e1c1") == 0 || strcmp(text, "e8c8") == 0)
            flag = QUEEN_CASTLE;
    } else if (moving == PAWN) {
        if (std::abs(int(r1) - int(r2)) > 1)
            flag = DOUBLE_PUSH;
        else if (f1 != f2 && !occupied)
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

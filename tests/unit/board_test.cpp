// Tests of the board vocabulary: bit primitives, square and character
// conversions, square names, and the move word with its text forms.
#include <map>
#include <string>
#include <vector>

#include "bit/bit.h"
#include "board/utility.h"
#include "test_util.h"

namespace {

TEST(BitTest, LsbAndPopVisitSquaresLowestFirst) {
    EXPECT_EQ(lsb(0), NO_SQUARE);
    EXPECT_EQ(lsb(~BB(0)), A1);
    EXPECT_EQ(lsb(sbb(H8)), H8);
    EXPECT_EQ(lsb(Set({C3, F6, H8})), C3);

    BB bb = Set({A1, E4, H8});
    std::vector<Square> popped;
    while (bb) popped.push_back(lsbpop(bb));
    EXPECT_EQ(popped, (std::vector<Square>{A1, E4, H8}));
    EXPECT_EQ(bb, 0u);

    EXPECT_EQ(popcount(0), 0);
    EXPECT_EQ(popcount(~BB(0)), 64);
}

TEST(UtilityTest, SquareArithmetic) {
    EXPECT_EQ(sbb(A1), 1u);
    EXPECT_EQ(sbb(H8), BB(1) << 63);
    EXPECT_EQ(sq_from(FILE_E, RANK_1), E1);
    EXPECT_EQ(sq_from(FILE_E, RANK_8), E8);
    EXPECT_EQ(sq_from(FILE_H, RANK_8), H8);
    for (uint32_t s = 0; s < 64; s++) {
        EXPECT_EQ(sq_from(sq_file(Square(s)), sq_rank(Square(s))), Square(s));
    }
    EXPECT_EQ(sq_file(E8), FILE_E);
    EXPECT_EQ(sq_rank(E8), RANK_8);

    const BB rank1 = 0xFFULL, rank8 = 0xFFULL << 56;
    EXPECT_EQ(shift_up(rank8), 0u);
    EXPECT_EQ(shift_down(rank1), 0u);
    EXPECT_EQ(shift_up(sbb(E2)), sbb(E3));
    EXPECT_EQ(shift_down(sbb(E7)), sbb(E6));
    EXPECT_EQ(shift_up(Set({A1, H7})), Set({A2, H8}));

    struct Dist {
        Square a, b;
        int h, v;
    };
    const Dist cases[] = {{A1, H8, 7, 7}, {H8, A1, 7, 7}, {E4, E4, 0, 0},
                          {A1, A8, 0, 7}, {H1, A1, 7, 0}, {C2, E7, 2, 5}};
    for (const Dist& d : cases) {
        EXPECT_EQ(dist_horizontal(d.a, d.b), d.h) << SQUARES[d.a] << SQUARES[d.b];
        EXPECT_EQ(dist_vertical(d.a, d.b), d.v) << SQUARES[d.a] << SQUARES[d.b];
    }
}

// Every character outside a reader's list must come back as "not mine": the
// FEN and move readers refuse text on that answer.
TEST(UtilityTest, CharacterReadersAcceptOnlyTheirCharacters) {
    const std::map<char, File> files = {
        {'a', FILE_A}, {'b', FILE_B}, {'c', FILE_C}, {'d', FILE_D}, {'e', FILE_E}, {'f', FILE_F},
        {'g', FILE_G}, {'h', FILE_H}, {'A', FILE_A}, {'B', FILE_B}, {'C', FILE_C}, {'D', FILE_D},
        {'E', FILE_E}, {'F', FILE_F}, {'G', FILE_G}, {'H', FILE_H},
    };
    const std::map<char, Rank> ranks = {
        {'1', RANK_1}, {'2', RANK_2}, {'3', RANK_3}, {'4', RANK_4},
        {'5', RANK_5}, {'6', RANK_6}, {'7', RANK_7}, {'8', RANK_8},
    };
    const std::map<char, PieceType> pieces = {
        {'p', PAWN}, {'n', KNIGHT}, {'b', BISHOP}, {'r', ROOK}, {'q', QUEEN}, {'k', KING},
        {'P', PAWN}, {'N', KNIGHT}, {'B', BISHOP}, {'R', ROOK}, {'Q', QUEEN}, {'K', KING},
    };
    for (int c = 1; c < 256; c++) {
        const char ch = char(c);
        EXPECT_EQ(sq_filec(ch), files.count(ch) ? files.at(ch) : NO_FILE) << "char " << c;
        EXPECT_EQ(sq_rankc(ch), ranks.count(ch) ? ranks.at(ch) : NO_RANK) << "char " << c;
        EXPECT_EQ(piece_from(ch), pieces.count(ch) ? pieces.at(ch) : NO_PIECE) << "char " << c;
    }
    EXPECT_STREQ(PIECE_CHARS, "pnbrqk");
}

TEST(UtilityTest, SquareNames) {
    EXPECT_STREQ(SQUARES[0], "a1");
    EXPECT_STREQ(SQUARES[7], "h1");
    EXPECT_STREQ(SQUARES[8], "a2");
    EXPECT_STREQ(SQUARES[60], "e8");
    EXPECT_STREQ(SQUARES[63], "h8");
    for (uint32_t s = 0; s < 64; s++) {
        const std::string name = SQUARES[s];
        ASSERT_EQ(name.size(), 2u);
        EXPECT_EQ(sq_from(sq_filec(name[0]), sq_rankc(name[1])), Square(s)) << name;
    }
}

TEST(MoveTest, EncodingAndAccessors) {
    const Move m = move_make(E2, E4, DOUBLE_PUSH);
    EXPECT_EQ(m, 0x170C);
    EXPECT_EQ(move_from(m), E2);
    EXPECT_EQ(move_to(m), E4);
    EXPECT_EQ(move_type(m), DOUBLE_PUSH);
    EXPECT_EQ(move_capture(m), 0u);
    EXPECT_FALSE(move_is_promotion(m));

    // Every flag of h7g8: origin in bits 0-5 (h7 = 55), target in bits 6-11
    // (g8 = 62), the flag in bits 12-15; capture is bit 14, promotion bit 15.
    const struct {
        uint32_t flag;
        Move word;
        uint32_t capture;
        bool promotion;
        PieceType promoted;
    } flags[] = {
        {QUIET, 0x0FB7, 0, false, NO_PIECE},
        {DOUBLE_PUSH, 0x1FB7, 0, false, NO_PIECE},
        {KING_CASTLE, 0x2FB7, 0, false, NO_PIECE},
        {QUEEN_CASTLE, 0x3FB7, 0, false, NO_PIECE},
        {CAPTURE, 0x4FB7, 1, false, NO_PIECE},
        {EP_CAPTURE, 0x5FB7, 1, false, NO_PIECE},
        {KNIGHT_PROMOTION, 0x8FB7, 0, true, KNIGHT},
        {BISHOP_PROMOTION, 0x9FB7, 0, true, BISHOP},
        {ROOK_PROMOTION, 0xAFB7, 0, true, ROOK},
        {QUEEN_PROMOTION, 0xBFB7, 0, true, QUEEN},
        {KNIGHT_PROMOTION_CAPTURE, 0xCFB7, 1, true, KNIGHT},
        {BISHOP_PROMOTION_CAPTURE, 0xDFB7, 1, true, BISHOP},
        {ROOK_PROMOTION_CAPTURE, 0xEFB7, 1, true, ROOK},
        {QUEEN_PROMOTION_CAPTURE, 0xFFB7, 1, true, QUEEN},
    };
    for (const auto& f : flags) {
        const Move w = move_make(H7, G8, f.flag);
        EXPECT_EQ(w, f.word) << f.flag;
        EXPECT_EQ(move_from(w), H7);
        EXPECT_EQ(move_to(w), G8);
        EXPECT_EQ(move_type(w), f.flag);
        EXPECT_EQ(move_capture(w), f.capture) << f.flag;
        EXPECT_EQ(move_is_promotion(w), f.promotion) << f.flag;
        if (f.promotion) {
            EXPECT_EQ(move_promote(w), f.promoted) << f.flag;
        }
    }
}

TEST(MoveTest, Print) {
    const struct {
        Move m;
        const char* text;
    } cases[] = {
        {move_make(E2, E4, DOUBLE_PUSH), "e2e4"},
        {move_make(E7, E8, QUEEN_PROMOTION), "e7e8q"},
        {move_make(E7, F8, KNIGHT_PROMOTION_CAPTURE), "e7f8n"},
        {move_make(B2, A1, ROOK_PROMOTION_CAPTURE), "b2a1r"},
        {move_make(G7, G8, BISHOP_PROMOTION), "g7g8b"},
        {move_make(H8, A1, CAPTURE), "h8a1"},
        {NULL_MOVE, "0000"},
    };
    for (const auto& c : cases) EXPECT_EQ(MoveText(c.m), c.text);
}

TEST(MoveTest, ParseFlagsFromTheBoard) {
    const struct {
        const char* fen;
        const char* text;
        uint32_t flag;
    } cases[] = {
        {START_FEN, "e2e4", DOUBLE_PUSH},
        {START_FEN, "e2e3", QUIET},
        {START_FEN, "g1f3", QUIET},
        {START_FEN, "E2E4", DOUBLE_PUSH},
        {"4k3/8/8/8/8/8/8/R3K2R w KQ - 0 1", "e1g1", KING_CASTLE},
        {"4k3/8/8/8/8/8/8/R3K2R w KQ - 0 1", "e1c1", QUEEN_CASTLE},
        {"4k3/8/8/8/8/8/8/R3K2R w KQ - 0 1", "e1f1", QUIET},
        {"r3k2r/8/8/8/8/8/8/4K3 b kq - 0 1", "e8g8", KING_CASTLE},
        {"r3k2r/8/8/8/8/8/8/4K3 b kq - 0 1", "e8c8", QUEEN_CASTLE},
        {"4k3/8/8/8/8/8/8/4KR2 w - - 0 1", "e1f1", CAPTURE},
        // Only a king makes the castling texts castle.
        {"4k3/8/8/8/8/8/8/K3N3 w - - 0 1", "e1g1", QUIET},
        {"4k3/8/8/8/8/8/8/K3N1r1 w - - 0 1", "e1g1", CAPTURE},
        {"4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1", "e5d6", EP_CAPTURE},
        {"4k3/8/3n4/4P3/8/8/8/4K3 w - - 0 1", "e5d6", CAPTURE},
        {"4k3/8/4n3/4P3/8/8/8/4K3 w - - 0 1", "e5e6", CAPTURE},
        {"4k3/4P3/8/8/8/8/8/4K3 w - - 0 1", "e7e8q", QUEEN_PROMOTION},
        {"4k3/4P3/8/8/8/8/8/4K3 w - - 0 1", "e7e8r", ROOK_PROMOTION},
        // Squares and the promotion letter read in either case.
        {"4k3/4P3/8/8/8/8/8/4K3 w - - 0 1", "E7E8Q", QUEEN_PROMOTION},
        {"4k3/8/8/8/8/8/8/R3K2R w KQ - 0 1", "E1G1", KING_CASTLE},
        {"r3k2r/8/8/8/8/8/8/4K3 b kq - 0 1", "e8C8", QUEEN_CASTLE},
        // The promotion flag comes from the text alone, not the board.
        {"4k3/4P3/8/8/8/8/8/4K3 w - - 0 1", "e7d8n", KNIGHT_PROMOTION_CAPTURE},
        {"4k3/4P3/8/8/8/8/8/4K3 w - - 0 1", "a2b1b", BISHOP_PROMOTION_CAPTURE},
    };
    for (const auto& c : cases) {
        History pos_history;
        Position pos = FenPosition(pos_history, c.fen);
        const Move m = move_parse(pos, c.text);
        const std::string text = c.text;
        const Square from = sq_from(sq_filec(text[0]), sq_rankc(text[1]));
        const Square to = sq_from(sq_filec(text[2]), sq_rankc(text[3]));
        EXPECT_EQ(move_from(m), from) << c.fen << " " << c.text;
        EXPECT_EQ(move_to(m), to) << c.fen << " " << c.text;
        EXPECT_EQ(move_type(m), c.flag) << c.fen << " " << c.text;
    }
}

// Text that names no squares or no promotion piece gives the null move
// rather than a move built from out-of-range values.
TEST(MoveTest, ParseRefusesMalformedText) {
    History pos_history;
    Position pos = position(pos_history);
    for (const char* text : {"", "e2", "e2e", "e2e4qq", "0000", "e0e4", "e2e9", "i2i4", "e2@4", "e2e2", "e7e8K",
                             "e7e8k", "e7e8p", "e7e8x", "e7e8 "}) {
        EXPECT_EQ(move_parse(pos, text), NULL_MOVE) << '"' << text << '"';
    }
}

}  // namespace

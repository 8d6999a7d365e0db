// Tests of copy-make: board, castling rights, en-passant square, the hash
// history slot and the incremental scores after one move.
#include <cstring>
#include <string>

#include "board/utility.h"
#include "tables/zobrist.h"
#include "test_util.h"

namespace {

// Plays the generated move named by text and checks what every move must
// keep: the source record and its slot untouched, the child one slot further
// on, every derived field equal to its recomputed value.
Position Play(const Position& pos, const std::string& text) {
    Move moves[MAX_MOVES];
    const uint32_t count = GenerateMoves(pos, moves);
    Position out{};
    for (uint32_t i = 0; i < count; i++) {
        if (MoveText(moves[i]) != text) continue;
        const Position before = pos;
        const Hash slot_before = *pos.hash;
        apply(out, pos, moves[i]);
        EXPECT_EQ(memcmp(&before, &pos, sizeof pos), 0) << text << " changed its source";
        EXPECT_EQ(*pos.hash, slot_before) << text << " changed the source's slot";
        EXPECT_EQ(out.hash, pos.hash + 1) << text;
        EXPECT_TRUE(position_consistent(out)) << text;
        return out;
    }
    ADD_FAILURE() << text << " is not generated";
    return pos;
}

bool Holds(const Position& pos, Color color, PieceType type, Square sq) {
    return (pos.pieces[type] & pos.colors[color] & sbb(sq)) != 0;
}

bool Empty(const Position& pos, Square sq) { return !((pos.colors[WHITE] | pos.colors[BLACK]) & sbb(sq)); }

TEST(ApplyTest, DoublePushThenQuietMove) {
    History start_history;
    Position start = position(start_history);
    const Position e4 = Play(start, "e2e4");
    EXPECT_TRUE(Holds(e4, WHITE, PAWN, E4));
    EXPECT_TRUE(Empty(e4, E2));
    EXPECT_EQ(e4.ep_square, E3);
    EXPECT_EQ(e4.turn, BLACK);
    EXPECT_EQ(e4.castling[WHITE], 3u);
    EXPECT_EQ(e4.castling[BLACK], 3u);
    EXPECT_EQ(*e4.hash, *start.hash ^ ZOBRIST_SQUARE_KEYS[PAWN][E2] ^ ZOBRIST_SQUARE_KEYS[PAWN][E4]);

    const Hash e4_hash = *e4.hash;
    const Position nf6 = Play(e4, "g8f6");
    EXPECT_EQ(nf6.ep_square, NO_SQUARE);
    EXPECT_EQ(nf6.turn, WHITE);
    EXPECT_EQ(nf6.hash, start.hash + 2);
    EXPECT_EQ(*e4.hash, e4_hash);

    // A black double push marks the square above the pawn's origin.
    const Position e5 = Play(Play(nf6, "a2a3"), "e7e5");
    EXPECT_EQ(e5.ep_square, E6);
}

TEST(ApplyTest, EnPassantRemovesThePawnBehindTheTarget) {
    History pos_history;
    Position pos = FenPosition(pos_history, "4k3/3p4/8/4P3/8/8/8/4K3 b - - 0 1");
    const Position d5 = Play(pos, "d7d5");
    ASSERT_EQ(d5.ep_square, D6);
    const Position taken = Play(d5, "e5d6");
    EXPECT_TRUE(Holds(taken, WHITE, PAWN, D6));
    EXPECT_TRUE(Empty(taken, D5));
    EXPECT_TRUE(Empty(taken, E5));
    EXPECT_EQ(taken.colors[BLACK], sbb(E8));

    History black_history;
    const Position white_passed = FenPosition(black_history, "4k3/8/8/8/3pP3/8/8/4K3 b - e3 0 1");
    const Position black = Play(white_passed, "d4e3");
    EXPECT_TRUE(Holds(black, BLACK, PAWN, E3));
    EXPECT_TRUE(Empty(black, E4));
    EXPECT_EQ(black.colors[WHITE], sbb(E1));
}

TEST(ApplyTest, CastlingMovesKingAndRook) {
    struct Case {
        Color side;
        const char* move;
        Square king, rook_from, rook_to;
    };
    const Case cases[] = {
        {WHITE, "e1g1", G1, H1, F1},
        {WHITE, "e1c1", C1, A1, D1},
        {BLACK, "e8g8", G8, H8, F8},
        {BLACK, "e8c8", C8, A8, D8},
    };
    for (const Case& c : cases) {
        History pos_history;
        Position pos = FenPosition(pos_history, c.side == WHITE ? "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1"
                                                                : "r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1");
        const Position out = Play(pos, c.move);
        EXPECT_TRUE(Holds(out, c.side, KING, c.king)) << c.move;
        EXPECT_TRUE(Holds(out, c.side, ROOK, c.rook_to)) << c.move;
        EXPECT_TRUE(Empty(out, c.rook_from)) << c.move;
        EXPECT_TRUE(Empty(out, c.side == WHITE ? E1 : E8)) << c.move;
        EXPECT_EQ(out.castling[c.side], 0u) << c.move;
        EXPECT_EQ(out.castling[1 - c.side], 3u) << c.move;
    }
}

TEST(ApplyTest, CastlingRightsFollowKingsAndCorners) {
    struct Case {
        const char* fen;
        uint32_t black_rights;  // forced before the move when not 0
        const char* move;
        uint32_t white_after, black_after;
    };
    const Case cases[] = {
        {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", 0, "a1a5", 1, 3},
        {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", 0, "h1h8", 2, 2},  // capture on h8
        {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", 0, "e1d1", 0, 3},
        {"r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1", 0, "a8a1", 1, 1},  // capture on a1
        {"r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1", 0, "e8f8", 3, 0},
        // A white rook leaving a8 keeps White's rights: only its own corners count.
        {"R7/8/6k1/8/8/8/8/R3K2R w KQ - 0 1", 0, "a8b8", 3, 0},
        // Reaching h8 costs Black's king side even when nothing stood there.
        {"r3k3/8/8/8/8/8/8/4K2R w K - 0 1", 3, "h1h8", 0, 2},
    };
    for (const Case& c : cases) {
        History pos_history;
        Position pos = FenPosition(pos_history, c.fen);
        if (c.black_rights) pos.castling[BLACK] = c.black_rights;
        const Position out = Play(pos, c.move);
        EXPECT_EQ(out.castling[WHITE], c.white_after) << c.fen << " " << c.move;
        EXPECT_EQ(out.castling[BLACK], c.black_after) << c.fen << " " << c.move;
    }
}

TEST(ApplyTest, PromotionsChangeTypeHashAndPhase) {
    struct Case {
        const char* move;
        Square dst;
        PieceType type;
        int phase_change;
        PieceType captured;
        uint32_t black_rights;
    };
    const Case cases[] = {
        {"b7a8q", A8, QUEEN, 4 - 2, ROOK, 0},  // the capture on a8 costs Black's queen side
        {"b7a8n", A8, KNIGHT, 1 - 2, ROOK, 0},
        {"b7b8r", B8, ROOK, 2, NO_PIECE, 2},
        {"b7b8b", B8, BISHOP, 1, NO_PIECE, 2},
    };
    History pos_history;
    Position pos = FenPosition(pos_history, "r3k3/1P6/8/8/8/8/8/4K3 w q - 0 1");
    for (const Case& c : cases) {
        const Position out = Play(pos, c.move);
        EXPECT_TRUE(Holds(out, WHITE, c.type, c.dst)) << c.move;
        EXPECT_EQ(out.pieces[PAWN], 0u) << c.move;
        EXPECT_EQ(int(out.phase) - int(pos.phase), c.phase_change) << c.move;
        EXPECT_EQ(out.castling[BLACK], c.black_rights) << c.move;
        Hash expected = *pos.hash ^ ZOBRIST_SQUARE_KEYS[PAWN][B7] ^ ZOBRIST_SQUARE_KEYS[c.type][c.dst];
        if (c.captured != NO_PIECE) expected ^= ZOBRIST_SQUARE_KEYS[c.captured][c.dst];
        EXPECT_EQ(*out.hash, expected) << c.move;
        EXPECT_EQ(out.colors[BLACK], c.captured == NO_PIECE ? sbb(A8) | sbb(E8) : sbb(E8)) << c.move;
    }
}

}  // namespace

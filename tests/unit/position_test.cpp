// Tests of the position record: FEN import and its refusals, the piece edits,
// the hash and its history block, and the tapered evaluation.
#include <cstring>
#include <string>

#include "bit/bit.h"
#include "board/utility.h"
#include "eval/eval.h"
#include "tables/values.h"
#include "tables/zobrist.h"
#include "test_util.h"

namespace {

constexpr BB RANK_1_BB = 0xFFULL, RANK_2_BB = 0xFF00ULL;
constexpr BB RANK_7_BB = 0xFFULL << 48, RANK_8_BB = 0xFFULL << 56;

// Recomputed from the board alone: the hash every import must arrive at.
Hash BoardHash(const Position& pos) {
    Hash h = 0;
    for (uint32_t t = PAWN; t <= KING; t++)
        for (BB set = pos.pieces[t]; set;) h ^= ZOBRIST_SQUARE_KEYS[t][lsbpop(set)];
    return h;
}

TEST(ImportTest, StartPosition) {
    History pos_history;
    Position pos = position(pos_history);
    EXPECT_EQ(pos.turn, WHITE);
    EXPECT_EQ(pos.castling[WHITE], 3u);
    EXPECT_EQ(pos.castling[BLACK], 3u);
    EXPECT_EQ(pos.ep_square, NO_SQUARE);
    EXPECT_EQ(pos.phase, 24u);
    EXPECT_EQ(pos.pieces[PAWN], RANK_2_BB | RANK_7_BB);
    EXPECT_EQ(pos.pieces[KING], sbb(E1) | sbb(E8));
    EXPECT_EQ(pos.pieces[QUEEN], sbb(D1) | sbb(D8));
    EXPECT_EQ(pos.colors[WHITE], RANK_1_BB | RANK_2_BB);
    EXPECT_EQ(pos.colors[BLACK], RANK_7_BB | RANK_8_BB);
    EXPECT_EQ(pos.eval_mg[WHITE], 3892);
    EXPECT_EQ(pos.eval_mg[BLACK], 3892);
    EXPECT_EQ(pos.eval_eg[WHITE], 3675);
    EXPECT_EQ(pos.eval_eg[BLACK], 3675);
    EXPECT_EQ(pos.hash[-1], 0u);  // the start marker
    EXPECT_EQ(pos.hash[0], BoardHash(pos));
    EXPECT_NE(pos.hash[0], 0u);
    EXPECT_EQ(square_piece(pos, E1), KING);
    EXPECT_EQ(square_piece(pos, E8), KING);
    EXPECT_EQ(square_piece(pos, G8), KNIGHT);
    EXPECT_EQ(square_piece(pos, E4), NO_PIECE);
    EXPECT_TRUE(position_consistent(pos));
}

TEST(ImportTest, FieldsOfAcceptedFens) {
    const struct {
        const char* fen;
        Color turn;
        uint32_t white_castling, black_castling;
        Square ep;
    } cases[] = {
        {"rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1", BLACK, 3, 3, E3},
        {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR W Kq - 0 1", WHITE, 1, 2, NO_SQUARE},
        {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR B - - 0 1", BLACK, 0, 0, NO_SQUARE},
        {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkqKQ - 0 1", WHITE, 3, 3, NO_SQUARE},
        // Any run of spaces separates fields, leading and trailing ones too.
        {"  rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR  b   kQ   -  0 1  ", BLACK, 2, 1, NO_SQUARE},
        {"4k3/8/8/8/8/8/8/4K3 w", WHITE, 0, 0, NO_SQUARE},
        {"4k3/8/8/8/8/8/8/4K3 b KQkq", BLACK, 0, 0, NO_SQUARE},
        // A right stays only while its king and its own rook are at home.
        {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", WHITE, 3, 3, NO_SQUARE},
        {"r3k3/8/8/8/8/8/8/4K2R w KQkq - 0 1", WHITE, 1, 2, NO_SQUARE},
        {"r3k2r/8/8/8/8/8/8/R2K3R w KQkq - 0 1", WHITE, 0, 3, NO_SQUARE},
        {"r3k2r/8/8/8/8/8/8/R3K2r w KQkq - 0 1", WHITE, 2, 3, NO_SQUARE},
        {"1r2k2r/8/8/8/8/8/8/R3K1NR b KQkq - 0 1", BLACK, 3, 1, NO_SQUARE},
        // The en-passant field counts only for an empty square just passed
        // over by an enemy pawn, on the capturing side's sixth rank.
        {"4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1", WHITE, 0, 0, D6},
        {"4k3/8/8/3pP3/8/8/8/4K3 w - e6 0 1", WHITE, 0, 0, NO_SQUARE},
        {"4k3/8/8/3pP3/8/8/8/4K3 w - d3 0 1", WHITE, 0, 0, NO_SQUARE},
        {"4k3/8/3n4/3pP3/8/8/8/4K3 w - d6 0 1", WHITE, 0, 0, NO_SQUARE},
        {"4k3/8/8/3PP3/8/8/8/4K3 w - d6 0 1", WHITE, 0, 0, NO_SQUARE},
        {"4k3/8/8/3pP3/8/8/8/4K3 b - d6 0 1", BLACK, 0, 0, NO_SQUARE},
        {"4k3/8/8/8/3Pp3/8/8/4K3 b - d3 0 1", BLACK, 0, 0, D3},
        {"4k3/8/8/8/3Pp3/8/8/4K3 w - d3 0 1", WHITE, 0, 0, NO_SQUARE},
        {"4k3/8/8/8/3Pp3/8/8/4K3 b - d3x 0 1", BLACK, 0, 0, NO_SQUARE},
        {"4k3/8/8/8/3Pp3/8/8/4K3 b - - 0 1", BLACK, 0, 0, NO_SQUARE},
    };
    for (const auto& c : cases) {
        History history;
        Position pos{};
        ASSERT_TRUE(import(pos, history, c.fen)) << c.fen;
        EXPECT_EQ(pos.turn, c.turn) << c.fen;
        EXPECT_EQ(pos.castling[WHITE], c.white_castling) << c.fen;
        EXPECT_EQ(pos.castling[BLACK], c.black_castling) << c.fen;
        EXPECT_EQ(pos.ep_square, c.ep) << c.fen;
        EXPECT_EQ(pos.hash[-1], 0u) << c.fen;
        EXPECT_EQ(pos.hash[0], BoardHash(pos)) << c.fen;
        EXPECT_TRUE(position_consistent(pos)) << c.fen;
    }
}

// Malformed or unplayable text is refused as a whole: false, and the
// caller's record is not written.
TEST(ImportTest, RefusesMalformedAndUnplayableFens) {
    const char* const cases[] = {
        // Board characters: only 1-8 and piece letters.
        "4k3/8/8/8/8/8/8/04K3 w - - 0 1",
        "4k3/9/8/8/8/8/8/4K3 w - - 0 1",
        "4k3/8/8/8/8/8/8/4K2x w - - 0 1",
        "4k3/8/8/8/4-3/8/8/4K3 w - - 0 1",
        // Ranks of other than eight squares, other than eight ranks.
        "4k3/7/8/8/8/8/8/4K3 w - - 0 1",
        "4k3/8/8/8/8/8/8/4K4 w - - 0 1",
        "4k3/ppppppppp/8/8/8/8/8/4K3 w - - 0 1",
        "4k3/8/8/8/8/8/8/4K1 w - - 0 1",
        "4k3/8/8/8/8/8/4K3 w - - 0 1",
        "4k3/8/8/8/8/8/8/8/4K3 w - - 0 1",
        "4k3/8/8/8/8/8/8/4K3/ w - - 0 1",
        "4k3//8/8/8/8/8/4K3 w - - 0 1",
        // Text that stops inside or right after the board field.
        "",
        "   ",
        "4k3/8/8/8",
        "4k3/8/8/8/8/8/8/4K3",
        "4k3/8/8/8/8/8/8/4K3   ",
        // The side to move is one of w, W, b, B, alone, after a space.
        "4k3/8/8/8/8/8/8/4K3 x - - 0 1",
        "4k3/8/8/8/8/8/8/4K3 - - - 0 1",
        "4k3/8/8/8/8/8/8/4K3 white - - 0 1",
        "4k3/8/8/8/8/8/8/4K3 wb - - 0 1",
        "4k3/8/8/8/8/8/8/4K3\tw - - 0 1",
        // One king a side.
        "8/8/8/8/8/8/8/8 w - - 0 1",
        "8/8/8/8/8/8/8/4K3 w - - 0 1",
        "4k3/8/8/8/8/8/8/8 b - - 0 1",
        "4k3/8/8/8/8/8/8/3KK3 w - - 0 1",
        "3kk3/8/8/8/8/8/8/4K3 w - - 0 1",
        // At most sixteen pieces a side.
        "4k3/8/8/8/8/PPPPPPPP/PPPPPPPP/4K3 w - - 0 1",
        "4k3/pppppppp/pppppppp/8/8/8/8/4K3 w - - 0 1",
        // No pawn on the first or last rank.
        "4k2P/8/8/8/8/8/8/4K3 w - - 0 1",
        "4k3/8/8/8/8/8/8/p3K3 w - - 0 1",
        // The side that just moved may not be in check.
        "4k3/8/8/8/8/8/8/4R1K1 w - - 0 1",
        "4k3/3P4/8/8/8/8/8/4K3 w - - 0 1",
        "4k3/8/5N2/8/8/8/8/4K3 w - - 0 1",
        "4k3/8/8/8/1b6/8/8/4K3 b - - 0 1",
        "4k3/8/8/8/8/8/3p4/4K3 b - - 0 1",
        // Touching kings: the side to move could take the other king.
        "8/8/8/8/8/8/8/3kK3 w - - 0 1",
        "8/8/4k3/4K3/8/8/8/8 b - - 0 1",
    };
    for (const char* fen : cases) {
        Position pos;
        memset(&pos, 0xA5, sizeof pos);
        Position before;
        memcpy(&before, &pos, sizeof pos);
        History history;
        EXPECT_FALSE(import(pos, history, fen)) << '"' << fen << '"';
        EXPECT_EQ(memcmp(&pos, &before, sizeof pos), 0) << '"' << fen << '"';
        EXPECT_FALSE(history) << '"' << fen << '"';
    }
}

// The borders of the refusals: the same boards are fine one step inside.
TEST(ImportTest, AcceptsTheLimitCases) {
    for (const char* fen : {
             "4k3/8/8/8/8/1PPPPPPP/PPPPPPPP/4K3 w - - 0 1",  // sixteen pieces
             "4k3/8/8/8/8/8/8/4R1K1 b - - 0 1",              // the side to move may be in check
             "4k3/3P4/8/8/8/8/8/4K3 b - - 0 1",
             "4k3/8/8/8/1b6/8/8/4K3 w - - 0 1",
             "k7/P7/8/8/8/8/p7/K7 w - - 0 1",  // pawns on ranks 2 and 7
             "4k3/8/8/8/8/8/8/4K3 w - - 0 1",
         }) {
        History history;
        Position pos{};
        EXPECT_TRUE(import(pos, history, fen)) << fen;
    }
}

// A piece's key depends on type and square only: colours, side to move,
// castling and en passant leave the hash alone.
TEST(HashTest, DependsOnTypesAndSquaresOnly) {
    History start_history;
    Position start = position(start_history);
    History swapped_history;
    Position swapped = FenPosition(swapped_history, "RNBQKBNR/PPPPPPPP/8/8/8/8/pppppppp/rnbqkbnr b - - 0 1");
    EXPECT_EQ(*swapped.hash, *start.hash);

    History e4_history;
    Position e4 = FenPosition(e4_history, "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1");
    const Hash expected = *start.hash ^ ZOBRIST_SQUARE_KEYS[PAWN][E2] ^ ZOBRIST_SQUARE_KEYS[PAWN][E4];
    EXPECT_EQ(*e4.hash, expected);

    char moves[] = "e2e4";
    History played_history;
    Position played = position(played_history);
    ASSERT_TRUE(apply_moves(played, moves));
    EXPECT_EQ(*played.hash, expected);
    EXPECT_EQ(played.hash[-1], *start.hash);

    // Knights out and back: the history holds the start hash twice.
    char knights[] = "g1f3 g8f6 f3g1 f6g8";
    History back_history;
    Position back = position(back_history);
    ASSERT_TRUE(apply_moves(back, knights));
    EXPECT_EQ(back.hash[0], *start.hash);
    EXPECT_EQ(back.hash[-4], *start.hash);
    EXPECT_EQ(back.hash[-5], 0u);
}

// Placing and removing a piece are exact inverses on every field and on the
// hash slot, for every piece on every empty square.
TEST(PieceEditTest, PlaceThenRemoveRestoresEverything) {
    for (const char* fen : {START_FEN, "4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1"}) {
        History pos_history;
        Position pos = FenPosition(pos_history, fen);
        const Position before = pos;
        const Hash hash_before = *pos.hash;
        const BB occupied = pos.colors[WHITE] | pos.colors[BLACK];
        for (uint32_t s = 0; s < 64; s++) {
            if (occupied >> s & 1) continue;
            for (uint32_t c = WHITE; c <= BLACK; c++)
                for (uint32_t t = PAWN; t <= KING; t++) {
                    place_piece(pos, Color(c), Square(s), PieceType(t));
                    ASSERT_EQ(square_piece(pos, Square(s)), PieceType(t));
                    ASSERT_TRUE(pos.colors[c] >> s & 1);
                    ASSERT_TRUE(position_consistent(pos)) << fen << " " << SQUARES[s];
                    remove_piece(pos, Color(c), Square(s), PieceType(t));
                    ASSERT_EQ(memcmp(&pos, &before, sizeof pos), 0) << fen << " " << SQUARES[s] << " " << c << t;
                    ASSERT_EQ(*pos.hash, hash_before);
                }
        }
    }
}

// The owner keeps the block's start, so a zero in the middle of the history
// cannot shorten the release. Under the sanitizer build a wrong release shows
// as a bad free or a leak.
TEST(HistoryTest, TheOwnerHoldsTheWholeBlockPastAZeroSlot) {
    char moves[] =
        "g1f3 g8f6 f3g1 f6g8 g1f3 g8f6 f3g1 f6g8 e2e4 e7e5 d2d4 e5d4 d1d4 b8c6 d4a4 f8c5 "
        "b1c3 g8f6 c1g5 e8g8";
    History pos_history;
    Position pos = position(pos_history);
    ASSERT_TRUE(apply_moves(pos, moves));
    for (int slot = 0; slot >= -20; slot--) ASSERT_NE(pos.hash[slot], 0u) << slot;
    EXPECT_EQ(pos.hash[-21], 0u);
    EXPECT_EQ(pos.hash - 20, &pos_history[1]);
    // Zeros inside the history, where a walk back would stop, change nothing
    // about what the owner frees: it holds the block's start, and the
    // sanitizer build fails on any block freed twice, freed in part or leaked.
    pos.hash[-7] = 0;
    pos.hash[-1] = 0;
    EXPECT_EQ(pos_history.get(), pos.hash - 21);
    pos_history.reset();
    EXPECT_EQ(pos_history.get(), nullptr);
}

TEST(EvaluateTest, TaperedScores) {
    const struct {
        const char* fen;
        uint32_t phase;
        int score;
    } cases[] = {
        {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", 24, 0},
        {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b KQkq - 0 1", 24, 0},
        {"rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1", 24, -768},
        {"4k3/8/8/8/4P3/8/8/4K3 w - - 0 1", 0, 2088},
        {"4k3/8/8/8/4P3/8/8/4K3 b - - 0 1", 0, -2088},
        {"4k3/8/8/8/8/8/8/3QK3 w - - 0 1", 4, 22000},
        {"4k3/8/8/8/8/8/8/3QK3 b - - 0 1", 4, -22000},
    };
    for (const auto& c : cases) {
        History pos_history;
        Position pos = FenPosition(pos_history, c.fen);
        EXPECT_EQ(pos.phase, c.phase) << c.fen;
        EXPECT_EQ(Evaluate(pos), c.score) << c.fen;
    }
}

// Above the full phase (an extra queen) the blend stays at the middlegame
// end, while the stored phase keeps its true value.
TEST(EvaluateTest, PhaseAboveTheStartIsCappedInTheBlendOnly) {
    History pos_history;
    Position pos = FenPosition(pos_history, "rnbqkbnr/pppppppp/8/8/8/Q7/1PPPPPPP/RNBQKBNR b KQkq - 0 1");
    EXPECT_EQ(pos.phase, 28u);
    EXPECT_EQ(Evaluate(pos), (pos.eval_mg[BLACK] - pos.eval_mg[WHITE]) * 24);
    EXPECT_LT(Evaluate(pos), 0);
}

}  // namespace

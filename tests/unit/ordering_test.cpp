// Tests of capture ordering: the MVV-LVA table, scoring moves against a
// position, and the order in which PickMove hands the moves out.
#include <map>
#include <string>
#include <vector>

#include "reference/reference.h"
#include "search/move_ordering.h"
#include "test_util.h"

namespace {

// Runs the search's ordering loop (one PickMove per try) and gives the moves in
// the order they would be tried.
std::vector<Move> TriedOrder(std::vector<Move> moves, std::vector<uint32_t> scores) {
    const uint32_t count = uint32_t(moves.size());
    for (uint32_t i = 0; i < count; i++) PickMove(moves.data(), scores.data(), count, i);
    return moves;
}

TEST(MVVLVATest, VictimDecidesAttackerBreaksTies) {
    // Rows by attacker, columns by victim: pawn to king, then no piece.
    const uint32_t expected[6][7] = {
        {15, 25, 35, 45, 55, 0, 0}, {14, 24, 34, 44, 54, 0, 0}, {13, 23, 33, 43, 53, 0, 0},
        {12, 22, 32, 42, 52, 0, 0}, {11, 21, 31, 41, 51, 0, 0}, {10, 20, 30, 40, 50, 0, 0},
    };
    for (uint32_t attacker = PAWN; attacker <= KING; attacker++)
        for (uint32_t victim = PAWN; victim <= NO_PIECE; victim++)
            EXPECT_EQ(MVVALVA_VALUES[attacker][victim], expected[attacker][victim]) << attacker << victim;
    // The orderings the search relies on, spelled out.
    EXPECT_GT(MVVALVA_VALUES[PAWN][QUEEN], MVVALVA_VALUES[KNIGHT][QUEEN]);
    EXPECT_GT(MVVALVA_VALUES[KING][QUEEN], MVVALVA_VALUES[PAWN][ROOK]);
    EXPECT_GT(MVVALVA_VALUES[KING][PAWN], MVVALVA_VALUES[QUEEN][NO_PIECE]);
}

// Capture scores looked up in the position before the move: only the piece on
// the target square counts, so en passant scores like a quiet move and a
// promotion scores as the pawn capture it is.
TEST(MVVLVATest, ScoresCapturesByTargetSquare) {
    struct Case {
        const char* fen;
        std::map<std::string, uint32_t> scores;  // every capture GenerateCaptures lists
    };
    const Case cases[] = {
        {"r6b/6rk/8/1n1p4/4P3/2N5/1B6/R2QK3 w - - 0 1",
         {{"e4d5", 15}, {"c3b5", 24}, {"c3d5", 14}, {"a1a8", 42}, {"d1d5", 11}}},
        {"k4r1n/6P1/8/8/8/8/8/K7 w - - 0 1",
         {{"g7f8n", 45},
          {"g7f8b", 45},
          {"g7f8r", 45},
          {"g7f8q", 45},
          {"g7h8n", 25},
          {"g7h8b", 25},
          {"g7h8r", 25},
          {"g7h8q", 25}}},
        {"4k3/8/5n2/3pP3/8/8/8/4K3 w - d6 0 1", {{"e5d6", 0}, {"e5f6", 25}}},
    };
    for (const Case& c : cases) {
        History pos_history;
        Position pos = FenPosition(pos_history, c.fen);
        Move moves[MAX_CAPTURES];
        uint32_t scores[MAX_CAPTURES] = {};
        const uint32_t count = GenerateCaptures(pos, moves);
        MVVLVA(pos, moves, scores, count);
        std::map<std::string, uint32_t> got;
        for (uint32_t i = 0; i < count; i++) got[MoveText(moves[i])] = scores[i];
        EXPECT_EQ(got, c.scores) << c.fen;
    }
}

// PickMove is a selection, not a stable sort: each exchange drops the displaced
// move where its replacement stood, which decides the order of equal scores.
TEST(PickMoveTest, TriesBestFirstWithExchangeShuffle) {
    const Move A = 1, B = 2, C = 3, D = 4;
    struct Case {
        std::vector<Move> moves;
        std::vector<uint32_t> scores;
        std::vector<Move> tried;
    };
    const Case cases[] = {
        {{A, B, C, D}, {0, 5, 0, 5}, {B, D, C, A}},
        {{A, B, C, D}, {1, 3, 2, 4}, {D, B, C, A}},
        {{A, B, C}, {0, 0, 20}, {C, B, A}},
        {{A, B, C}, {0, 20, 0}, {B, A, C}},
        {{A, B, C, D}, {0, 0, 0, 0}, {A, B, C, D}},  // quiet moves keep generation order
        {{A, B, C, D}, {9, 7, 7, 7}, {A, B, C, D}},  // an undisturbed run of ties keeps its order
        {{A}, {3}, {A}},
        {{}, {}, {}},
    };
    for (const Case& c : cases) EXPECT_EQ(TriedOrder(c.moves, c.scores), c.tried) << testing::PrintToString(c.scores);

    // The last index, and the scores travel with their moves.
    std::vector<Move> moves = {A, B};
    std::vector<uint32_t> scores = {1, 8};
    PickMove(moves.data(), scores.data(), 2, 1);
    EXPECT_EQ(moves, (std::vector<Move>{A, B}));
    PickMove(moves.data(), scores.data(), 2, 0);
    EXPECT_EQ(moves, (std::vector<Move>{B, A}));
    EXPECT_EQ(scores, (std::vector<uint32_t>{8, 1}));
}

TEST(PickMoveTest, CapturesOfAPositionInSearchOrder) {
    History pos_history;
    Position pos = FenPosition(pos_history, "r6b/6rk/8/1n1p4/4P3/2N5/1B6/R2QK3 w - - 0 1");
    Move moves[MAX_CAPTURES];
    const uint32_t count = GenerateCaptures(pos, moves);
    std::vector<uint32_t> scores(count, 0);
    MVVLVA(pos, moves, scores.data(), count);
    std::vector<std::string> generated, tried;
    for (uint32_t i = 0; i < count; i++) generated.push_back(MoveText(moves[i]));
    for (Move m : TriedOrder(std::vector<Move>(moves, moves + count), scores)) tried.push_back(MoveText(m));
    EXPECT_EQ(generated, (std::vector<std::string>{"e4d5", "c3b5", "c3d5", "a1a8", "d1d5"}));
    EXPECT_EQ(tried, (std::vector<std::string>{"a1a8", "c3b5", "e4d5", "c3d5", "d1d5"}));
}

}  // namespace

// The searches read both pieces of a capture back from its score.
TEST(MVVLVATest, PositiveScoresNameAttackerAndVictim) {
    for (uint32_t attacker = PAWN; attacker <= KING; attacker++)
        for (uint32_t victim = PAWN; victim <= QUEEN; victim++) {
            const uint32_t score = MVVALVA_VALUES[attacker][victim];
            ASSERT_GT(score, 0u);
            EXPECT_EQ(mvvlva_attacker(score), attacker) << score;
            EXPECT_EQ(mvvlva_victim(score), victim) << score;
        }
}

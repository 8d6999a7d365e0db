// Tests of the search: the capture-only quiescence, fail-hard negamax with its
// mate, stalemate and repetition scores, and the stop rules of the deepening.
#include "search/search.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "eval/eval.h"
#include "test_util.h"

namespace {

struct SearchRun {
    std::vector<DepthReport> lines;
    Move best = NULL_MOVE;
};

SearchRun Search(const Position& pos, uint32_t budget, uint32_t max_depth) {
    SearchRun run;
    const DepthReporter collect = [](const DepthReport& r, void* lines) {
        static_cast<std::vector<DepthReport>*>(lines)->push_back(r);
    };
    run.best = FindBestMove(pos, budget, max_depth, collect, &run.lines);
    return run;
}

const Move SENTINEL = 0x0FFF;  // h8h8: no search can write it

// Fail-hard: the full-window value v, seen through any window, is clamped to
// it. A fail-soft return or a window handed on wrongly breaks this.
template <typename SearchFn>
void ExpectFailHard(const char* fen, SearchFn search) {
    const long long v = search(-SCORE_INF, SCORE_INF);
    const long long windows[][3] = {
        {v - 1, v + 1, v},         {v - 100, v, v},         {v, v + 100, v},
        {v + 1, v + 500, v + 1},   {v - 500, v - 1, v - 1}, {-SCORE_INF, v - 7, v - 7},
        {v + 7, SCORE_INF, v + 7},
    };
    for (const auto& w : windows) {
        // A mate value leaves no room on one side of it.
        if (w[0] < -SCORE_INF || w[1] > SCORE_INF || w[0] >= w[1]) continue;
        EXPECT_EQ(search(int(w[0]), int(w[1])), w[2]) << fen << " window " << w[0] << " " << w[1];
    }
}

// Positions whose values come from stand pat, from a capture sequence, and from
// deeper lines, one of them with a mate in one.
const char* const MIDDLEGAMES[] = {
    "4k3/8/8/8/8/8/3q4/3QK3 w - - 0 1",
    "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8",
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "r1bqkb1r/pppp1ppp/2n2n2/4p2Q/2B1P3/8/PPPP1PPP/RNB1K1NR w KQkq - 4 4",
    "rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR w KQkq f6 0 3",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
};

TEST(QuiesceTest, StandPatAndCaptures) {
    // White in check stands pat at -1272 but is better off taking the queen:
    // the queen capture (tried first) gains 22508, the king capture 22532.
    History pos_history;
    Position pos = FenPosition(pos_history, "4k3/8/8/8/8/8/3q4/3QK3 w - - 0 1");
    EXPECT_EQ(Evaluate(pos), -1272);
    const struct {
        const char* move;
        int value;
    } captures[] = {{"d1d2", 22508}, {"e1d2", 22532}};
    for (const auto& c : captures) {
        Position next;
        apply(next, pos, move_parse(pos, c.move));
        EXPECT_EQ(-Quiesce(next, -SCORE_INF, SCORE_INF), c.value) << c.move;
    }
    // Stand pat reaching beta ends the node before any capture; below beta it
    // raises alpha, and the captures may then fail high or low.
    const struct {
        int alpha, beta, expected;
    } windows[] = {
        {-SCORE_INF, SCORE_INF, 22532}, {-SCORE_INF, -1272, -1272}, {-SCORE_INF, -3000, -3000},
        {-5000, -1000, -1000},          {30000, 40000, 30000},      {-5000, 22532, 22532},
    };
    for (const auto& w : windows) EXPECT_EQ(Quiesce(pos, w.alpha, w.beta), w.expected) << w.alpha << " " << w.beta;
}

// The capture generator has no attack map, so a king may take a piece that
// only the enemy king defends, and the enemy king may then take it: the
// search goes on with a side that has no king.
TEST(QuiesceTest, KingsCaptureDefendedPiecesAndKings) {
    History pos_history;
    Position pos = FenPosition(pos_history, "4k3/3n4/2K5/8/8/8/8/8 w - - 0 1");
    Position took_knight, took_king;
    apply(took_knight, pos, move_parse(pos, "c6d7"));
    ASSERT_TRUE(IsKingSafe(took_knight, WHITE));  // the enemy king is not an attacker
    apply(took_king, took_knight, move_parse(took_knight, "e8d7"));
    EXPECT_EQ(took_king.pieces[KING] & took_king.colors[WHITE], 0u);
    EXPECT_TRUE(IsKingSafe(took_king, WHITE));

    const int after_king = Evaluate(took_king);  // nothing left to capture
    EXPECT_EQ(Quiesce(took_king, -SCORE_INF, SCORE_INF), after_king);
    EXPECT_GT(-after_king, Evaluate(took_knight));  // black takes the king rather than stand pat
    EXPECT_EQ(Quiesce(took_knight, -SCORE_INF, SCORE_INF), -after_king);
    EXPECT_EQ(Quiesce(pos, -SCORE_INF, SCORE_INF), std::max(Evaluate(pos), after_king));
}

TEST(QuiesceTest, FailHard) {
    for (const char* fen : MIDDLEGAMES) {
        History pos_history;
        Position pos = FenPosition(pos_history, fen);
        ExpectFailHard(fen, [&](int alpha, int beta) { return Quiesce(pos, alpha, beta); });
    }
}

TEST(NegamaxTest, FailHardAtEveryDepth) {
    for (const char* fen : MIDDLEGAMES) {
        History pos_history;
        Position pos = FenPosition(pos_history, fen);
        for (uint32_t depth = 1; depth <= 3; depth++) {
            ExpectFailHard(fen, [&](int alpha, int beta) {
                Move best = NULL_MOVE;
                SearchState state;
                return Negamax(state, &best, pos, depth, alpha, beta);
            });
        }
    }
}

TEST(NegamaxTest, DepthZeroIsQuiesce) {
    for (const char* fen : MIDDLEGAMES) {
        History pos_history;
        Position pos = FenPosition(pos_history, fen);
        for (int alpha : {-SCORE_INF, -300, 0, 500}) {
            Move best = SENTINEL;
            SearchState state;
            EXPECT_EQ(Negamax(state, &best, pos, 0, alpha, alpha + 400), Quiesce(pos, alpha, alpha + 400)) << fen;
            EXPECT_EQ(best, SENTINEL);
            EXPECT_EQ(state.nodes, 0u);
        }
    }
}

TEST(NegamaxTest, DepthOneCountsOneNode) {
    for (const char* fen : MIDDLEGAMES) {
        History pos_history;
        Position pos = FenPosition(pos_history, fen);
        Move best = NULL_MOVE;
        SearchState state;
        Negamax(state, &best, pos, 1, -SCORE_INF, SCORE_INF);
        EXPECT_EQ(state.nodes, 1u) << fen;
        EXPECT_NE(best, NULL_MOVE) << fen;
    }
}

// Mate, stalemate and repetition are returned whatever the window, count at
// most their own node and write no move. At the root the first legal move
// stands in, or the null move when there is none; a mated root ends the
// deepening at once, a drawn one has nothing to end it before the last depth.
TEST(NegamaxTest, TerminalNodesAndRoots) {
    const struct {
        const char* fen;
        const char* moves;
        int score;
        unsigned nodes;
        size_t depths;
        const char* best;
    } cases[] = {
        {"7k/6Q1/6K1/8/8/8/8/8 b - - 0 1", "", -SCORE_INF, 1, 1, "0000"},    // mated, nothing generated
        {"4R2k/6pp/8/8/8/8/8/6K1 b - - 0 1", "", -SCORE_INF, 1, 1, "0000"},  // mated, every pawn move illegal
        {"7k/5Q2/6K1/8/8/8/8/8 b - - 0 1", "", 0, 1, MAX_DEPTH, "0000"},     // stalemate, nothing generated
        {"4R1nk/8/6K1/8/8/8/8/8 b - - 0 1", "", 0, 1, MAX_DEPTH, "0000"},    // stalemate, the knight is pinned
        // The start placement for the third time, counted across the game moves.
        {START_FEN, "g1f3 g8f6 f3g1 f6g8 g1f3 g8f6 f3g1 f6g8", 0, 0, MAX_DEPTH, "a2a3"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.fen) + " moves " + c.moves);
        History pos_history;
        Position pos = GamePosition(pos_history, c.fen, c.moves);
        for (uint32_t depth = 1; depth <= 3; depth++) {
            Move best = SENTINEL;
            SearchState state;
            EXPECT_EQ(Negamax(state, &best, pos, depth, 100, 200), c.score) << "depth " << depth;
            EXPECT_EQ(state.nodes, c.nodes);
            EXPECT_EQ(best, SENTINEL);
        }
        const SearchRun run = Search(pos, NO_BUDGET, MAX_DEPTH);
        ASSERT_EQ(run.lines.size(), c.depths);
        for (size_t i = 0; i < run.lines.size(); i++) {
            EXPECT_EQ(run.lines[i].depth, i + 1);
            EXPECT_EQ(run.lines[i].score, c.score);
            EXPECT_EQ(run.lines[i].nodes, c.nodes);
            EXPECT_EQ(MoveText(run.lines[i].best), c.best);
        }
        EXPECT_EQ(MoveText(run.best), c.best);
    }
}

// Two earlier occurrences make a draw, one does not: the start placement met
// for the second time searches like the start position itself (a third visit
// inside the search would need four more plies).
TEST(NegamaxTest, SecondOccurrenceIsSearched) {
    History start_history;
    Position start = position(start_history);
    History again_history;
    Position again = GamePosition(again_history, START_FEN, "g1f3 g8f6 f3g1 f6g8");
    Move best_start = NULL_MOVE, best_again = NULL_MOVE;
    SearchState first, second;
    const int score = Negamax(first, &best_start, start, 3, -SCORE_INF, SCORE_INF);
    EXPECT_EQ(Negamax(second, &best_again, again, 3, -SCORE_INF, SCORE_INF), score);
    EXPECT_NE(score, 0);
    EXPECT_EQ(second.nodes, first.nodes);
    EXPECT_EQ(best_again, best_start);
}

TEST(NegamaxTest, MateInOneNeedsDepthTwo) {
    History pos_history;
    Position pos = FenPosition(pos_history, "7k/8/6K1/8/8/8/8/1Q6 w - - 0 1");
    Move best = NULL_MOVE;
    SearchState state;
    EXPECT_LT(Negamax(state, &best, pos, 1, -SCORE_INF, SCORE_INF), SCORE_INF);  // the leaf does not see the mate
    EXPECT_EQ(Negamax(state, &best, pos, 2, -SCORE_INF, SCORE_INF), SCORE_INF);
    EXPECT_EQ(MoveText(best), "b1b8");

    const SearchRun run = Search(pos, NO_BUDGET, 6);  // bounded in case the mate does not stop it
    ASSERT_EQ(run.lines.size(), 2u);                  // a mate score ends the deepening
    EXPECT_LT(run.lines[0].score, SCORE_INF);
    EXPECT_EQ(run.lines[1].score, SCORE_INF);
    EXPECT_EQ(MoveText(run.lines[1].best), "b1b8");
    EXPECT_EQ(MoveText(run.best), "b1b8");
}

TEST(FindBestMoveTest, BeforeDepthOneTheFirstLegalMove) {
    // The pinned pawn's pushes come first in generation order but are illegal.
    History pinned_history;
    Position pinned = FenPosition(pinned_history, "4k3/8/8/8/1b6/8/3P4/4K3 w - - 0 1");
    Move moves[MAX_MOVES];
    GenerateMoves(pinned, moves);
    EXPECT_EQ(MoveText(moves[0]), "d2d3");
    const SearchRun run = Search(pinned, NO_BUDGET, 0);
    EXPECT_TRUE(run.lines.empty());
    EXPECT_EQ(MoveText(run.best), LegalMoveTexts(pinned)[0]);
    EXPECT_NE(MoveText(run.best), "d2d3");
}

// Every black move (the promotions, tried first, included) allows Re8 mate,
// first seen at depth 3: no move beats the starting value there, so the
// depth-2 choice, the king move, is what is played.
TEST(FindBestMoveTest, ForcedMateAgainstTheRootKeepsThePreviousMove) {
    History pos_history;
    Position pos = FenPosition(pos_history, "7k/8/6K1/8/8/8/p7/4R3 b - - 0 1");
    const SearchRun run = Search(pos, NO_BUDGET, 6);  // bounded in case the mate does not stop it
    ASSERT_EQ(run.lines.size(), 3u);
    EXPECT_GT(run.lines[1].score, -SCORE_INF);
    EXPECT_EQ(run.lines[2].score, -SCORE_INF);
    EXPECT_EQ(MoveText(run.lines[1].best), "h8g8");
    EXPECT_EQ(MoveText(run.lines[2].best), "h8g8");
    EXPECT_EQ(MoveText(run.best), "h8g8");
}

// The deepening stops after the first depth that alone took more than a
// twentieth of the budget; a budget under 20 ms leaves a threshold of 0.
TEST(FindBestMoveTest, StopsAfterTheFirstDepthOverTheThreshold) {
    for (const uint32_t budget : {19u, 400u}) {
        History pos_history;
        Position pos = position(pos_history);
        const SearchRun run = Search(pos, budget, MAX_DEPTH);
        ASSERT_FALSE(run.lines.empty());
        for (size_t i = 0; i + 1 < run.lines.size(); i++) EXPECT_LE(run.lines[i].ms, budget / 20) << budget;
        EXPECT_GT(run.lines.back().ms, budget / 20) << budget;
        EXPECT_EQ(run.best, run.lines.back().best);
    }
}

// The search writes history slots past the root only, and nothing carries over
// from one search to the next: the same root searches the same way again.
TEST(FindBestMoveTest, LeavesTheRootAndItsHistoryAlone) {
    History pos_history;
    Position pos = GamePosition(pos_history, START_FEN, "e2e4 e7e5 g1f3 b8c6");
    const std::vector<Hash> history(pos.hash - 5, pos.hash + 1);
    EXPECT_EQ(history.front(), 0u);
    const SearchRun first = Search(pos, NO_BUDGET, 4);
    EXPECT_EQ(std::vector<Hash>(pos.hash - 5, pos.hash + 1), history);
    const SearchRun again = Search(pos, NO_BUDGET, 4);
    ASSERT_EQ(again.lines.size(), first.lines.size());
    for (size_t i = 0; i < first.lines.size(); i++) {
        EXPECT_EQ(again.lines[i].score, first.lines[i].score);
        EXPECT_EQ(again.lines[i].nodes, first.lines[i].nodes);
        EXPECT_EQ(again.lines[i].best, first.lines[i].best);
    }
}

}  // namespace

// The searches skip moves whose outcome is known without making them. These
// tests hold them to a plain search that makes and searches every move: same
// scores, same node counts, same best moves, for many positions and windows.
#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "bit/bit.h"
#include "board/utility.h"
#include "eval/eval.h"
#include "search/move_ordering.h"
#include "search/search.h"
#include "tables/masks.h"
#include "tables/values.h"
#include "test_util.h"

namespace {

uint32_t REF_NODES;

int RefQuiesce(const Position& pos, int alpha, int beta) {
    const int stand_pat = Evaluate(pos);
    if (stand_pat >= beta) return beta;
    if (stand_pat > alpha) alpha = stand_pat;
    Move moves[MAX_CAPTURES];
    uint32_t scores[MAX_CAPTURES] = {};
    const uint32_t count = GenerateCaptures(pos, moves);
    MVVLVA(pos, moves, scores, count);
    Position next;
    for (uint32_t i = 0; i < count; i++) {
        PickMove(moves, scores, count, i);
        if (!apply_legal(next, pos, moves[i])) continue;
        const int val = -RefQuiesce(next, -beta, -alpha);
        if (val >= beta) return beta;
        if (val > alpha) alpha = val;
    }
    return alpha;
}

int RefNegamax(Move* best, const Position& pos, uint32_t depth, int alpha, int beta) {
    if (depth == 0) return RefQuiesce(pos, alpha, beta);
    if (is_threefold(pos)) return 0;
    REF_NODES++;
    Move moves[MAX_MOVES];
    uint32_t scores[MAX_MOVES] = {};
    const uint32_t count = GenerateMoves(pos, moves);
    MVVLVA(pos, moves, scores, count);
    int b_val = -SCORE_INF;
    bool any_legal = false;
    Move child_best = NULL_MOVE;
    Position next;
    for (uint32_t i = 0; i < count; i++) {
        PickMove(moves, scores, count, i);
        if (!apply_legal(next, pos, moves[i])) continue;
        any_legal = true;
        const int val = -RefNegamax(&child_best, next, depth - 1, -beta, -alpha);
        if (val > b_val) {
            b_val = val;
            *best = moves[i];
        }
        if (val >= beta) return beta;
        if (val > alpha) alpha = val;
    }
    if (!any_legal) return IsKingSafe(pos, pos.turn) ? 0 : -SCORE_INF;
    return alpha;
}

// Positions met in seeded random games from openings rich in captures,
// castling, en passant and promotions; the games keep their hash history, so
// repetitions can occur inside the searches. Each game gives its final
// position, or with every_ply each position it passed through.
std::vector<std::string> RandomGameLines(int games, int plies, uint32_t seed, bool every_ply = false) {
    std::mt19937 rng(seed);
    std::vector<std::string> lines;
    for (int game = 0; game < games; game++) {
        const char* fen = RICH_OPENINGS[game % std::size(RICH_OPENINGS)];
        History pos_history;
        Position pos = FenPosition(pos_history, fen);
        std::string moves;
        const int length = int(rng() % plies);
        for (int ply = 0; ply < length; ply++) {
            if (every_ply) lines.push_back(std::string(fen) + "|" + moves);
            const std::vector<std::string> legal = LegalMoveTexts(pos);
            if (legal.empty()) break;
            std::string text = legal[rng() % legal.size()];
            moves += " " + text;
            EXPECT_TRUE(apply_moves(pos, text.data()));
        }
        lines.push_back(std::string(fen) + "|" + moves);
    }
    return lines;
}

Position LinePosition(History& history, const std::string& line) {
    const size_t bar = line.find('|');
    return GamePosition(history, line.substr(0, bar).c_str(), line.substr(bar + 1).c_str());
}

}  // namespace

TEST(SearchReferenceTest, EvaluateAfterAndGivenPiecesMatchTheMadeMove) {
    int checked = 0, promotions = 0, castles = 0, en_passant = 0, quiet_bounds = 0;
    for (const std::string& line : RandomGameLines(40, 120, 7, true)) {
        History history;
        Position pos = LinePosition(history, line);
        Move moves[MAX_MOVES];
        const uint32_t count = GenerateMoves(pos, moves);
        Position next;
        for (uint32_t i = 0; i < count; i++) {
            const Move m = moves[i];
            const PieceType piece = square_piece(pos, move_from(m));
            const PieceType victim = move_type(m) == EP_CAPTURE ? PAWN : square_piece(pos, move_to(m));
            apply(next, pos, m);
            ASSERT_EQ(EvaluateAfter(pos, m, piece, victim), Evaluate(next)) << line << " " << MoveText(m);
            // Making the move with the pieces given gives the same record.
            const Hash hash = *next.hash;
            Position given;
            apply(given, pos, m, piece, victim);
            ASSERT_EQ(*given.hash, hash) << line << " " << MoveText(m);
            const auto fields = [](const Position& p) {
                return std::vector<long long>{(long long)p.pieces[0],
                                              (long long)p.pieces[1],
                                              (long long)p.pieces[2],
                                              (long long)p.pieces[3],
                                              (long long)p.pieces[4],
                                              (long long)p.pieces[5],
                                              (long long)p.colors[0],
                                              (long long)p.colors[1],
                                              p.castling[0],
                                              p.castling[1],
                                              p.turn,
                                              p.ep_square,
                                              p.eval_mg[0],
                                              p.eval_mg[1],
                                              p.eval_eg[0],
                                              p.eval_eg[1],
                                              p.phase};
            };
            ASSERT_EQ(fields(given), fields(next)) << line << " " << MoveText(m);
            // The capture search's make leaves the hash and the rights alone
            // and gives everything else as apply does.
            Position light;
            apply_in_capture_search(light, pos, m, piece, victim);
            light.castling[WHITE] = next.castling[WHITE];
            light.castling[BLACK] = next.castling[BLACK];
            ASSERT_EQ(fields(light), fields(next)) << line << " " << MoveText(m);
            ASSERT_EQ(light.hash, next.hash);
            ASSERT_EQ(IsKingSafe(light, pos.turn), IsKingSafe(next, pos.turn));
            // A quiet move never gains more than the bound the search trusts.
            const bool castle = move_type(m) == KING_CASTLE || move_type(m) == QUEEN_CASTLE;
            if (!move_capture(m) && !move_is_promotion(m) && !castle) {
                const Color us = pos.turn;
                const Square ori = move_from(m), dst = move_to(m);
                ASSERT_LE(TABLE_MG[us][piece][dst] - TABLE_MG[us][piece][ori], QUIET_GAIN_MG[us][piece][ori]);
                ASSERT_LE(TABLE_EG[us][piece][dst] - TABLE_EG[us][piece][ori], QUIET_GAIN_EG[us][piece][ori]);
                quiet_bounds++;
            }
            checked++;
            promotions += move_is_promotion(m);
            castles += move_type(m) == KING_CASTLE || move_type(m) == QUEEN_CASTLE;
            en_passant += move_type(m) == EP_CAPTURE;
        }
    }
    EXPECT_GT(checked, 3000);
    EXPECT_GT(promotions, 20);
    EXPECT_GT(castles, 20);
    EXPECT_GT(en_passant, 0);
    EXPECT_GT(quiet_bounds, 3000);
}

// The staged lists of a frontier node: the legal captures (less the king's
// captures of pieces the other king guards) are those of the full list, and the
// two quiet batches hold its quiet moves in its order.
TEST(SearchReferenceTest, StagedListsMakeUpTheFullList) {
    std::mt19937_64 rng(17);
    int positions = 0, guarded_king_captures = 0;
    std::vector<std::string> lines = RandomGameLines(40, 120, 5, true);
    lines.push_back("8/8/8/8/8/3k4/3p4/3K4 w - - 0 1|");  // Kxd2 is pseudo-legal only in the capture list
    for (const std::string& line : lines) {
        History history;
        Position pos = LinePosition(history, line);
        Move all[MAX_MOVES], part[MAX_MOVES];
        const uint32_t count = GenerateMoves(pos, all);
        std::vector<Move> full_captures, full_quiets, staged_captures, staged_quiets;
        Position next;
        auto legal = [&](Move m) { return apply_legal(next, pos, m); };
        for (uint32_t i = 0; i < count; i++) {
            if (!move_capture(all[i]))
                full_quiets.push_back(all[i]);
            else if (legal(all[i]))
                full_captures.push_back(all[i]);
        }

        const BB their_king = pos.pieces[KING] & pos.colors[opponent(pos.turn)];
        const uint32_t captures = GenerateCaptures(pos, part);
        for (uint32_t i = 0; i < captures; i++) {
            const bool guarded =
                (pos.pieces[KING] & sbb(move_from(part[i]))) && (ATTACKS_KING[lsb(their_king)] & sbb(move_to(part[i])));
            guarded_king_captures += guarded;
            if (!guarded && legal(part[i])) staged_captures.push_back(part[i]);
        }
        // A batch for some pieces only is the full batch less the others' moves.
        const BB movers = pos.colors[pos.turn] & rng();
        for (const QuietBatch batch : {QUIET_PAWNS_KNIGHTS, QUIET_KING_SLIDERS}) {
            const uint32_t quiets = GenerateQuiets(pos, part, batch);
            staged_quiets.insert(staged_quiets.end(), part, part + quiets);
            std::vector<Move> expected, some;
            for (uint32_t i = 0; i < quiets; i++)
                if (movers & sbb(move_from(part[i]))) expected.push_back(part[i]);
            const uint32_t few = GenerateQuiets(pos, part, batch, movers);
            some.assign(part, part + few);
            ASSERT_EQ(some, expected) << line;
        }
        ASSERT_EQ(staged_quiets, full_quiets) << line;
        std::sort(full_captures.begin(), full_captures.end());
        std::sort(staged_captures.begin(), staged_captures.end());
        ASSERT_EQ(staged_captures, full_captures) << line;
        positions++;
    }
    EXPECT_GT(positions, 2000);
    EXPECT_GT(guarded_king_captures, 0);
}

TEST(SearchReferenceTest, ScoresNodesAndBestMovesMatchAPlainSearch) {
    std::mt19937 rng(11);
    int searches = 0;
    for (const std::string& line : RandomGameLines(150, 80, 3)) {
        History history;
        Position pos = LinePosition(history, line);
        const int eval = Evaluate(pos);
        for (uint32_t depth = 0; depth <= 3; depth++) {
            // The full window, and narrow ones where most moves fail low or high.
            const int spread = 24 * 300;
            const int lo = eval - spread + int(rng() % (2 * spread));
            const int windows[][2] = {{-SCORE_INF, SCORE_INF}, {lo, lo + 1}, {lo, lo + 24 * 50}, {eval - 1, eval + 1}};
            for (const auto& w : windows) {
                Move best = NULL_MOVE, ref_best = NULL_MOVE;
                SearchState state;
                REF_NODES = 0;
                const int score = Negamax(state, &best, pos, depth, w[0], w[1]);
                const int ref_score = RefNegamax(&ref_best, pos, depth, w[0], w[1]);
                ASSERT_EQ(score, ref_score) << line << " depth " << depth << " window " << w[0] << " " << w[1];
                ASSERT_EQ(state.nodes, REF_NODES) << line << " depth " << depth;
                ASSERT_EQ(MoveText(best), MoveText(ref_best)) << line << " depth " << depth;
                if (depth == 1) {
                    SearchState frontier;
                    ASSERT_EQ(Frontier(frontier, pos, w[0], w[1]), ref_score)
                        << line << " window " << w[0] << " " << w[1];
                    ASSERT_EQ(frontier.nodes, REF_NODES) << line;
                }
                searches++;
            }
        }
    }
    EXPECT_EQ(searches, 150 * 4 * 4);
}

// The capture search and the frontier try their captures from the victims'
// squares, passing over victims that cannot lift alpha: at every position of
// many random games, and at every position one move further, they must give
// the plain search's score for windows all around the evaluation.
TEST(SearchReferenceTest, CaptureSearchAndFrontierMatchAPlainSearchInEveryWindow) {
    std::mt19937 rng(23);
    int searches = 0, frontier_mates = 0;
    for (const std::string& line : RandomGameLines(60, 160, 29, true)) {
        History history;
        const Position root = LinePosition(history, line);
        Move moves[MAX_MOVES];
        const uint32_t count = GenerateMoves(root, moves);
        Position next;
        for (uint32_t i = 0; i <= count; i++) {
            // The line's own position, then a few positions one move on.
            if (i > 0 && (rng() % 4 || !apply_legal(next, root, moves[i - 1]))) continue;
            const Position& pos = i == 0 ? root : next;
            const int eval = Evaluate(pos);
            for (int w = 0; w < 6; w++) {
                const int spread = 24 * 1200;
                const int lo = w == 0 ? -SCORE_INF : eval - spread + int(rng() % (2 * spread));
                const int hi = w == 0 ? SCORE_INF : lo + 1 + int(rng() % (24 * (w < 3 ? 1 : 400)));
                ASSERT_EQ(Quiesce(pos, lo, hi), RefQuiesce(pos, lo, hi)) << line << " window " << lo << " " << hi;
                Move best = NULL_MOVE;
                REF_NODES = 0;
                const int ref = RefNegamax(&best, pos, 1, lo, hi);
                SearchState state;
                ASSERT_EQ(Frontier(state, pos, lo, hi), ref) << line << " window " << lo << " " << hi;
                ASSERT_EQ(state.nodes, REF_NODES) << line;
                frontier_mates += ref == -SCORE_INF;
                searches++;
            }
        }
    }
    EXPECT_GT(searches, 20000);
    EXPECT_GT(frontier_mates, 0);
}

// Fail-hard alpha-beta: capture-only quiescence, negamax with repetition and
// mate scoring, and iterative deepening under a time threshold.
#include "search/search.h"

#include <ctime>
#include <initializer_list>

#include "bit/bit.h"
#include "chess/masks.h"
#include "chess/move.h"
#include "chess/move_gen.h"
#include "chess/position.h"
#include "chess/utility.h"
#include "eval/eval.h"
#include "eval/values.h"
#include "search/move_ordering.h"

uint32_t NODES;

namespace {

// Brings the next move of the search order to index i. scored counts the
// scored moves not yet tried: with only zero scores left PickMove would
// exchange nothing, so it is no longer called.
inline void BringNextMove(Move* moves, uint32_t* scores, uint32_t count, uint32_t i, uint32_t& scored) {
    if (scored) {
        PickMove(moves, scores, count, i);
        scored -= scores[i] != 0;
    }
}

// Scores a fresh list for BringNextMove and gives the number of scored moves;
// a list of fewer than two moves has no order to find.
inline uint32_t ScoreMoves(const Position& pos, const Move* moves, uint32_t* scores, uint32_t count) {
    if (count < 2) return 0;
    for (uint32_t i = 0; i < count; i++) scores[i] = 0;
    return MVVLVA(pos, moves, scores, count);
}

// A move with the pieces it moves and takes, looked up once for both the
// evaluation after it and the making of it. victim is PAWN for en passant and
// NO_PIECE for a move that captures nothing.
struct Candidate {
    Move move;
    PieceType piece;
    PieceType victim;
};

inline Candidate candidate(const Position& pos, Move move) {
    return {move, square_piece(pos, move_from(move)), captured_piece(pos, move)};
}

// The same for the i-th move of a list that ScoreMoves has scored (count > 1):
// a positive score names both pieces.
inline Candidate candidate(const Position& pos, const Move* moves, const uint32_t* scores, uint32_t count, uint32_t i) {
    if (count > 1 && scores[i]) return {moves[i], mvvlva_attacker(scores[i]), mvvlva_victim(scores[i])};
    return candidate(pos, moves[i]);
}

// Makes the move into new_pos and tells whether it is legal.
inline bool MakeMove(const Position& pos, const Candidate& c, Position& new_pos) {
    return apply_legal(new_pos, pos, c.move, c.piece, c.victim);
}

// The stand-pat score of the position the move leads to, without making it.
inline int EvaluateAfter(const Position& pos, const Candidate& c) {
    return EvaluateAfter(pos, c.move, c.piece, c.victim);
}

// The move shown before any depth has written one: the first legal move in
// generation order, or the null move when there is none.
Move first_legal_move(const Position& pos) {
    Move moves[MAX_MOVES];
    const uint32_t count = GenerateMoves(pos, moves);
    Position next;
    for (uint32_t i = 0; i < count; i++)
        if (MakeMove(pos, candidate(pos, moves[i]), next)) return moves[i];
    return NULL_MOVE;
}

}  // namespace

int Quiesce(const Position& pos, int alpha, int beta) {
    const int stand_pat = Evaluate(pos);
    if (stand_pat >= beta) return beta;
    if (stand_pat > alpha) alpha = stand_pat;

    Move moves[MAX_CAPTURES];
    uint32_t scores[MAX_CAPTURES];
    const uint32_t count = GenerateCaptures(pos, moves);
    uint32_t scored = ScoreMoves(pos, moves, scores, count);

    Position new_pos;
    for (uint32_t i = 0; i < count; i++) {
        BringNextMove(moves, scores, count, i, scored);
        const Candidate c = candidate(pos, moves, scores, count, i);
        // A reply that already stands pat at -alpha returns exactly that,
        // which changes nothing here whether the move is legal or not.
        if (EvaluateAfter(pos, c) >= -alpha) continue;
        if (!MakeMove(pos, c, new_pos)) continue;
        const int val = -Quiesce(new_pos, -beta, -alpha);
        if (val >= beta) return beta;
        if (val > alpha) alpha = val;
    }
    return alpha;
}

namespace {

// Tries one move at a frontier node; true on a cut-off. A child that stands
// pat at -alpha returns exactly that, val = alpha, which changes nothing once
// a legal move has been found: such moves are not even made.
inline bool FrontierTry(const Position& pos, const Candidate& c, int& alpha, int beta, bool& any_legal) {
    if (any_legal && EvaluateAfter(pos, c) >= -alpha) return false;
    Position new_pos;
    if (!MakeMove(pos, c, new_pos)) return false;
    any_legal = true;
    const int val = -Quiesce(new_pos, -beta, -alpha);
    if (val >= beta) return true;
    if (val > alpha) alpha = val;
    return false;
}

// The pieces of the given types none of whose quiet moves can lift the
// evaluation above alpha: once the node has a legal move they cannot change
// it, and need not even be generated. Pawns about to promote and a king that
// may still castle change more than QUIET_GAIN counts, so they are kept.
BB HopelessMovers(const Position& pos, int alpha, PieceType first, PieceType last) {
    const Color us = pos.turn;
    const int64_t p = pos.phase < PHASE_MAX ? pos.phase : PHASE_MAX;
    const int64_t room = int64_t(alpha) - Evaluate(pos);
    if (room < 0) return 0;  // every bound is at least 0
    BB hopeless = 0;
    for (uint32_t t = first; t <= last; t++) {
        BB set = pos.pieces[t] & pos.colors[us];
        while (set) {
            const Square s = lsbpop(set);
            if (QUIET_GAIN_MG[us][t][s] * p + QUIET_GAIN_EG[us][t][s] * (PHASE_MAX - p) <= room) hopeless |= sbb(s);
        }
    }
    hopeless &= ~(pos.pieces[PAWN] & (us == WHITE ? shift_down(PROMOTION_RANKS) : shift_up(PROMOTION_RANKS)));
    if (pos.castling[us]) hopeless &= ~pos.pieces[KING];
    return hopeless;
}

}  // namespace

int Frontier(const Position& pos, int alpha, int beta) {
    if (is_threefold(pos)) return 0;
    NODES++;

    // Captures first, best first. GenerateCaptures lets the king take a piece
    // that the other king guards; the full move list never holds such a move.
    Move moves[MAX_MOVES];
    uint32_t scores[MAX_CAPTURES];
    bool any_legal = false;
    const BB their_king = pos.pieces[KING] & pos.colors[opponent(pos.turn)];
    const BB guarded = their_king ? ATTACKS_KING[lsb(their_king)] : 0;
    uint32_t count = GenerateCaptures(pos, moves);
    uint32_t scored = ScoreMoves(pos, moves, scores, count);
    for (uint32_t i = 0; i < count; i++) {
        BringNextMove(moves, scores, count, i, scored);
        if ((pos.pieces[KING] & sbb(move_from(moves[i]))) && (guarded & sbb(move_to(moves[i])))) continue;
        if (FrontierTry(pos, candidate(pos, moves, scores, count, i), alpha, beta, any_legal)) return beta;
    }

    // Then the quiet moves, the cheap batch first. Once a legal move is in
    // hand, the batch's hopeless pieces are passed over.
    for (const QuietBatch batch : {QUIET_PAWNS_KNIGHTS, QUIET_KING_SLIDERS}) {
        const PieceType first = batch == QUIET_PAWNS_KNIGHTS ? PAWN : BISHOP;
        const PieceType last = batch == QUIET_PAWNS_KNIGHTS ? KNIGHT : KING;
        bool masked = any_legal;
        BB hopeless = masked ? HopelessMovers(pos, alpha, first, last) : 0;
        count = GenerateQuiets(pos, moves, batch, ~hopeless);
        for (uint32_t i = 0; i < count; i++) {
            if (any_legal && !masked) {
                hopeless = HopelessMovers(pos, alpha, first, last);
                masked = true;
            }
            const Square ori = move_from(moves[i]);
            if (hopeless & sbb(ori)) continue;
            // The first batch moves only pawns and knights.
            PieceType piece = (pos.pieces[PAWN] & sbb(ori)) ? PAWN : KNIGHT;
            if (batch == QUIET_KING_SLIDERS) piece = square_piece(pos, ori);
            if (FrontierTry(pos, {moves[i], piece, NO_PIECE}, alpha, beta, any_legal)) return beta;
        }
    }

    if (!any_legal) return IsKingSafe(pos, pos.turn) ? 0 : -SCORE_INF;
    return alpha;
}

int Negamax(Move* best, const Position& pos, uint32_t depth, int alpha, int beta) {
    // 1. Leaves resolve their captures; no node is counted there.
    if (depth == 0) return Quiesce(pos, alpha, beta);
    // 2. Third occurrence of the placement: a draw.
    if (is_threefold(pos)) return 0;
    NODES++;

    Move moves[MAX_MOVES];
    uint32_t scores[MAX_MOVES];
    const uint32_t count = GenerateMoves(pos, moves);
    uint32_t scored = ScoreMoves(pos, moves, scores, count);

    // 3. Try the moves best first; write best before the cut-off test so the
    //    move that causes a cut-off is the one reported.
    int b_val = -SCORE_INF;
    bool any_legal = false;
    Move best_child = NULL_MOVE;
    Position new_pos;
    for (uint32_t i = 0; i < count; i++) {
        BringNextMove(moves, scores, count, i, scored);
        if (!MakeMove(pos, candidate(pos, moves, scores, count, i), new_pos)) continue;
        any_legal = true;
        const int val =
            depth == 2 ? -Frontier(new_pos, -beta, -alpha) : -Negamax(&best_child, new_pos, depth - 1, -beta, -alpha);
        if (val > b_val) {
            b_val = val;
            *best = moves[i];
        }
        if (val >= beta) return beta;
        if (val > alpha) alpha = val;
    }

    // 4. No legal move: mate or stalemate, returned unclipped.
    if (!any_legal) return IsKingSafe(pos, pos.turn) ? 0 : -SCORE_INF;
    return alpha;
}

Move FindBestMove(const Position& root, uint32_t budget, uint32_t max_depth, FILE* out, uint64_t* nodes) {
    const uint32_t threshold = budget / 20;
    Move best = first_legal_move(root);
    if (max_depth > MAX_DEPTH) max_depth = MAX_DEPTH;

    for (uint32_t depth = 1; depth <= max_depth; depth++) {
        NODES = 0;
        const clock_t start = clock();
        const int score = Negamax(&best, root, depth, -SCORE_INF, SCORE_INF);
        const clock_t ticks = clock() - start;
        // clock_t is 64 bits here: no wrap however long a depth takes.
        const float seconds = float(ticks) / float(CLOCKS_PER_SEC);
        const unsigned long long ms = static_cast<unsigned long long>(seconds * 1000.0f);
        const unsigned long long nps = seconds > 0 ? static_cast<unsigned long long>(float(NODES) / seconds) : 0;

        fprintf(out, "info depth %d score cp %d nps %llu nodes %u time %llu pv ", int(depth), score, nps, NODES, ms);
        move_print(best, out);
        fputc('\n', out);
        fflush(out);
        if (nodes) *nodes += NODES;

        if (ms > threshold || score == SCORE_INF || score == -SCORE_INF) break;
    }
    return best;
}

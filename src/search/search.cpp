// Fail-hard alpha-beta: capture-only quiescence, the frontier nodes one ply
// above it, negamax with repetition and mate scoring, and iterative deepening
// under a time threshold.
#include "search/search.h"

#include <ctime>
#include <initializer_list>

#include "bit/bit.h"
#include "board/move.h"
#include "board/utility.h"
#include "eval/eval.h"
#include "movegen/move_gen.h"
#include "position/position.h"
#include "search/move_ordering.h"
#include "tables/masks.h"
#include "tables/values.h"

// Every position of a search line writes a slot of the hash history. The
// capture search below the deepest main search makes at most 32 captures in a
// row (each removes one of at most 32 pieces); the history keeps room for 64.
static_assert(MAX_DEPTH + 64 <= MAX_SEARCH_PLIES, "the deepest search line overruns the hash history");

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
inline bool MakeMove(Position& new_pos, const Position& pos, const Candidate& c) {
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
        if (MakeMove(next, pos, candidate(pos, moves[i]))) return moves[i];
    return NULL_MOVE;
}

// Tries one capture or quiet move at a capture-search or frontier node; true
// on a cut-off. A child that stands pat at -alpha returns exactly that,
// val = alpha, which changes nothing once a legal move has been found (a
// capture-search node counts its stand-pat score as one): such moves are not
// even made.
inline bool TryMove(const Position& pos, const Candidate& c, int& alpha, int beta, bool& any_legal) {
    if (any_legal && EvaluateAfter(pos, c) >= -alpha) return false;
    Position new_pos;
    if (!apply_legal_in_capture_search(new_pos, pos, c.move, c.piece, c.victim)) return false;
    any_legal = true;
    const int val = -Quiesce(new_pos, -beta, -alpha);
    if (val >= beta) return true;
    if (val > alpha) alpha = val;
    return false;
}

// Most valuable first; the king, worth nothing to the evaluation, last. A
// table of its own: a list built in the loop's frame would be stored anew at
// every node.
constexpr PieceType VICTIM_ORDER[] = {QUEEN, ROOK, BISHOP, KNIGHT, PAWN, KING};

// The sliders of candidates (each on an empty-board line through sq) with
// nothing standing between them and sq.
inline BB SliderAttackers(Square sq, BB candidates, BB occupied) {
    BB attackers = 0;
    while (candidates) {
        const Square s = lsbpop(candidates);
        // From sq towards s, less what lies beyond s: the squares between, and s.
        if (((RAYS[sq][s] ^ XRAYS[sq][s]) & occupied) == sbb(s)) attackers |= sbb(s);
    }
    return attackers;
}

// Tries the captures of GenerateCaptures (the king may take a guarded piece;
// at a frontier node not one the other king guards, which the full move list
// never holds), victims most valuable first and each victim's attackers least
// valuable first; true on a cut-off. The nodes return the same fail-hard score
// in any order, so the capture list is never built: a victim is reached from
// its square. Once a legal move is in hand, a victim that even the best step of
// a capturing piece cannot lift above alpha is passed over whole, for every
// capture of it would be passed over in TryMove; only pawns promoting on it
// change more than that bound counts.
template <bool FRONTIER>
bool TryCaptures(const Position& pos, int& alpha, int beta, bool& any_legal) {
    const Color us = pos.turn;
    const Color them = opponent(us);
    const BB own = pos.colors[us];
    const BB enemy = pos.colors[them];
    const BB occupied = own | enemy;
    const BB pawns = pos.pieces[PAWN] & own;
    const BB knights = pos.pieces[KNIGHT] & own;
    const BB diagonal = (pos.pieces[BISHOP] | pos.pieces[QUEEN]) & own;
    const BB orthogonal = (pos.pieces[ROOK] | pos.pieces[QUEEN]) & own;
    const BB king = pos.pieces[KING] & own;

    // The enemy pieces our pieces attack: the sliders' attacks are filled in
    // bulk, and a victim's own sliders found only once it is tried.
    const BB empty = ~occupied;
    const BB diagonal_reach = diagonal ? diagonal_attacks(diagonal, empty) : 0;
    const BB orthogonal_reach = orthogonal ? orthogonal_attacks(orthogonal, empty) : 0;
    BB reached = pawn_attacks(us, pawns) | diagonal_reach | orthogonal_reach;
    for (BB set = knights; set;) reached |= ATTACKS_KNIGHT[lsbpop(set)];
    BB king_reach = 0;
    if (king) {
        king_reach = ATTACKS_KING[lsb(king)];
        const BB their_king = pos.pieces[KING] & enemy;
        if (FRONTIER && their_king) king_reach &= ~ATTACKS_KING[lsb(their_king)];
        reached |= king_reach;
    }
    const BB targets = reached & enemy;

    if (targets) {
        const int mg = pos.eval_mg[us] - pos.eval_mg[them] + CAPTURE_GAIN_MG[us];
        const int eg = pos.eval_eg[us] - pos.eval_eg[them] + CAPTURE_GAIN_EG[us];
        BB left = targets;
        for (const PieceType victim : VICTIM_ORDER) {
            BB victims = pos.pieces[victim] & left;
            if (!victims) continue;
            left ^= victims;
            const uint32_t phase = pos.phase - PHASE[victim];
            do {
                const Square to = lsbpop(victims);
                const BB pawn_attackers = ATTACKS_PAWN[them][to] & pawns;
                const bool promotes = sbb(to) & PROMOTION_RANKS;
                if (promotes && pawn_attackers) {
                    for (BB set = pawn_attackers; set;) {
                        const Square from = lsbpop(set);
                        for (uint32_t piece = QUEEN; piece >= KNIGHT; piece--) {
                            const Move move = move_make(from, to, promotion_flag(static_cast<PieceType>(piece), true));
                            if (TryMove(pos, {move, PAWN, victim}, alpha, beta, any_legal)) return true;
                        }
                    }
                }
                if (any_legal &&
                    Taper(mg + TABLE_MG[them][victim][to], eg + TABLE_EG[them][victim][to], phase) <= alpha)
                    continue;
                const auto try_from = [&](BB set, PieceType piece) {
                    while (set)
                        if (TryMove(pos, {move_make(lsbpop(set), to, CAPTURE), piece, victim}, alpha, beta, any_legal))
                            return true;
                    return false;
                };
                if (!promotes && try_from(pawn_attackers, PAWN)) return true;
                if (try_from(ATTACKS_KNIGHT[to] & knights, KNIGHT)) return true;
                BB sliders = 0;
                if (diagonal_reach & sbb(to)) sliders = SliderAttackers(to, ATTACKS_BISHOP[to] & diagonal, occupied);
                if (orthogonal_reach & sbb(to)) sliders |= SliderAttackers(to, ATTACKS_ROOK[to] & orthogonal, occupied);
                if (sliders) {
                    if (try_from(sliders & pos.pieces[BISHOP], BISHOP)) return true;
                    if (try_from(sliders & pos.pieces[ROOK], ROOK)) return true;
                    if (try_from(sliders & pos.pieces[QUEEN], QUEEN)) return true;
                }
                if ((king_reach & sbb(to)) && try_from(king, KING)) return true;
            } while (victims);
            if (!left) break;
        }
    }

    // The en-passant square holds no victim: its pawn stands beside it.
    for (BB set = pawns & ATTACKS_PAWN[them][pos.ep_square]; set;)
        if (TryMove(pos, {move_make(lsbpop(set), pos.ep_square, EP_CAPTURE), PAWN, PAWN}, alpha, beta, any_legal))
            return true;
    return false;
}

}  // namespace

int Quiesce(const Position& pos, int alpha, int beta) {
    const int stand_pat = Evaluate(pos);
    if (stand_pat >= beta) return beta;
    if (stand_pat > alpha) alpha = stand_pat;
    // The stand-pat score counts as a legal move: a capture whose reply stands
    // pat at -alpha changes nothing here, legal or not.
    bool stood_pat = true;
    return TryCaptures<false>(pos, alpha, beta, stood_pat) ? beta : alpha;
}

namespace {

// The pieces of the given types none of whose quiet moves can lift the
// evaluation above alpha: once the node has a legal move they cannot change
// it, and need not even be generated. Pawns about to promote and a king that
// may still castle change more than QUIET_GAIN counts, so they are kept.
BB HopelessMovers(const Position& pos, int alpha, PieceType first, PieceType last) {
    const Color us = pos.turn;
    const int64_t room = int64_t(alpha) - Evaluate(pos);
    if (room < 0) return 0;  // every bound is at least 0
    BB hopeless = 0;
    for (uint32_t t = first; t <= last; t++) {
        BB set = pos.pieces[t] & pos.colors[us];
        while (set) {
            const Square s = lsbpop(set);
            if (Taper(QUIET_GAIN_MG[us][t][s], QUIET_GAIN_EG[us][t][s], pos.phase) <= room) hopeless |= sbb(s);
        }
    }
    hopeless &= ~(pos.pieces[PAWN] & pawn_push(opponent(us), PROMOTION_RANKS));
    if (pos.castling[us]) hopeless &= ~pos.pieces[KING];
    return hopeless;
}

// The frontier's quiet batches, the cheap one first (a table: see VICTIM_ORDER).
constexpr QuietBatch QUIET_BATCHES[] = {QUIET_PAWNS_KNIGHTS, QUIET_KING_SLIDERS};

}  // namespace

int Frontier(SearchState& state, const Position& pos, int alpha, int beta) {
    if (is_threefold(pos)) return 0;
    state.nodes++;

    // Captures first, best first.
    Move moves[MAX_MOVES];
    bool any_legal = false;
    if (TryCaptures<true>(pos, alpha, beta, any_legal)) return beta;

    // Then the quiet moves, the cheap batch first. Once a legal move is in
    // hand, the batch's hopeless pieces are passed over.
    for (const QuietBatch batch : QUIET_BATCHES) {
        const PieceType first = batch == QUIET_PAWNS_KNIGHTS ? PAWN : BISHOP;
        const PieceType last = batch == QUIET_PAWNS_KNIGHTS ? KNIGHT : KING;
        bool masked = any_legal;
        BB hopeless = masked ? HopelessMovers(pos, alpha, first, last) : 0;
        const uint32_t count = GenerateQuiets(pos, moves, batch, ~hopeless);
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
            if (TryMove(pos, {moves[i], piece, NO_PIECE}, alpha, beta, any_legal)) return beta;
        }
    }

    if (!any_legal) return IsKingSafe(pos, pos.turn) ? 0 : -SCORE_INF;
    return alpha;
}

int Negamax(SearchState& state, Move* best, const Position& pos, uint32_t depth, int alpha, int beta) {
    // 1. Leaves resolve their captures; no node is counted there.
    if (depth == 0) return Quiesce(pos, alpha, beta);
    // 2. Third occurrence of the placement: a draw.
    if (is_threefold(pos)) return 0;
    state.nodes++;

    Move moves[MAX_MOVES];
    uint32_t scores[MAX_MOVES];
    const uint32_t count = GenerateMoves(pos, moves);
    uint32_t scored = ScoreMoves(pos, moves, scores, count);

    // 3. Try the moves best first; write best before the cut-off test so the
    //    move that causes a cut-off is the one reported.
    int best_score = -SCORE_INF;
    bool any_legal = false;
    Move best_child = NULL_MOVE;
    Position new_pos;
    for (uint32_t i = 0; i < count; i++) {
        BringNextMove(moves, scores, count, i, scored);
        if (!MakeMove(new_pos, pos, candidate(pos, moves, scores, count, i))) continue;
        any_legal = true;
        const int val = depth == 2 ? -Frontier(state, new_pos, -beta, -alpha)
                                   : -Negamax(state, &best_child, new_pos, depth - 1, -beta, -alpha);
        if (val > best_score) {
            best_score = val;
            *best = moves[i];
        }
        if (val >= beta) return beta;
        if (val > alpha) alpha = val;
    }

    // 4. No legal move: mate or stalemate, returned unclipped.
    if (!any_legal) return IsKingSafe(pos, pos.turn) ? 0 : -SCORE_INF;
    return alpha;
}

Move FindBestMove(const Position& root, uint32_t budget, uint32_t max_depth, DepthReporter report, void* context) {
    const uint32_t threshold = budget / DEPTH_BUDGET_DIVISOR;
    Move best = first_legal_move(root);
    if (max_depth > MAX_DEPTH) max_depth = MAX_DEPTH;

    for (uint32_t depth = 1; depth <= max_depth; depth++) {
        SearchState state;
        // clock() counts the processor time the search used on POSIX systems,
        // so a busy machine does not make a depth look slower (the Windows C
        // library counts wall time).
        const clock_t start = clock();
        const int score = Negamax(state, &best, root, depth, -SCORE_INF, SCORE_INF);
        const clock_t ticks = clock() - start;
        // clock_t is 64 bits on Linux, and on Windows a 32-bit count of
        // milliseconds that wraps only after 24 days.
        const float seconds = float(ticks) / float(CLOCKS_PER_SEC);
        const unsigned long long ms = static_cast<unsigned long long>(seconds * 1000.0f);
        report({depth, score, state.nodes, seconds, ms, best}, context);

        if (ms > threshold || score == SCORE_INF || score == -SCORE_INF) break;
    }
    return best;
}

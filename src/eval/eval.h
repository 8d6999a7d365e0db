// Tapered evaluation from the side to move's point of view.
#pragma once

#include "board/move.h"
#include "board/types.h"
#include "tables/values.h"

// The phase at and above which the evaluation is all middlegame: the start
// position's sum of PHASE. Material can exceed it after promotions.
constexpr uint32_t PHASE_MAX = 24;

// The tapered blend of a middlegame and an endgame score at phase (capped at
// PHASE_MAX, so extra material plays as the full middlegame): PHASE_MAX times
// the interpolated score, never divided.
inline int Taper(int mg, int eg, uint32_t phase) {
    const uint32_t p = phase < PHASE_MAX ? phase : PHASE_MAX;
    const uint32_t q = PHASE_MAX - p;
    return mg * int(p) + eg * int(q);
}

// PHASE_MAX times the phase-interpolated table score: the blend is never divided, so
// one table unit in the side's favour evaluates to 24.
inline int Evaluate(const Position& pos) {
    const Color us = pos.turn;
    const Color them = opponent(us);
    return Taper(pos.eval_mg[us] - pos.eval_mg[them], pos.eval_eg[us] - pos.eval_eg[them], pos.phase);
}

// Evaluate of the position move leads to (from the view of the side then to
// move), worked out from the table changes alone, without making the move.
// piece stands on the move's origin; victim is the captured type (PAWN for en
// passant), ignored for a move that captures nothing.
inline int EvaluateAfter(const Position& pos, Move move, PieceType piece, PieceType victim) {
    const Color us = pos.turn;
    const Color them = opponent(us);
    const Square ori = move_from(move);
    const Square dst = move_to(move);
    const uint32_t flag = move_type(move);
    int mg_us = pos.eval_mg[us], eg_us = pos.eval_eg[us];
    int mg_them = pos.eval_mg[them], eg_them = pos.eval_eg[them];
    uint32_t phase = pos.phase;

    if (move_capture(move)) {
        const Square at = move_capture_square(move, us);
        mg_them -= TABLE_MG[them][victim][at];
        eg_them -= TABLE_EG[them][victim][at];
        phase -= PHASE[victim];
    } else if (flag == KING_CASTLE || flag == QUEEN_CASTLE) {
        const int side = flag == QUEEN_CASTLE;
        const Square from = CASTLING[us][side].rook_from, to = CASTLING[us][side].rook_to;
        mg_us += TABLE_MG[us][ROOK][to] - TABLE_MG[us][ROOK][from];
        eg_us += TABLE_EG[us][ROOK][to] - TABLE_EG[us][ROOK][from];
    }
    const PieceType arriving = move_is_promotion(move) ? move_promote(move) : piece;
    mg_us += TABLE_MG[us][arriving][dst] - TABLE_MG[us][piece][ori];
    eg_us += TABLE_EG[us][arriving][dst] - TABLE_EG[us][piece][ori];
    phase += PHASE[arriving] - PHASE[piece];
    return Taper(mg_them - mg_us, eg_them - eg_us, phase);
}

// Tapered evaluation from the side to move's point of view.
#pragma once

#include "chess/types.h"

// 24 times the phase-interpolated table score: the blend is never divided, so
// one table unit in the side's favour evaluates to 24.
inline int Evaluate(const Position& pos) {
    const uint32_t p = pos.phase < 24 ? pos.phase : 24;
    const uint32_t q = 24 - p;
    const Color us = pos.turn;
    const Color them = static_cast<Color>(1 - us);
    const int mg = pos.eval_mg[us] - pos.eval_mg[them];
    const int eg = pos.eval_eg[us] - pos.eval_eg[them];
    return mg * int(p) + eg * int(q);
}

// Quiescence, the frontier (negamax one ply above the leaves), negamax and
// iterative deepening.
#pragma once

#include <cstdint>

#include "board/types.h"

// The deepest main search.
constexpr uint32_t MAX_DEPTH = 255;

// Mate score; a draw is 0. -SCORE_INF is the root window's lower end, so
// every score can be negated.
constexpr int SCORE_INF = 2147483647;
// Budget meaning "no time given".
constexpr uint32_t NO_BUDGET = 4294967295u;
// A depth may take budget / DEPTH_BUDGET_DIVISOR milliseconds; deepening stops
// after the first depth that takes longer.
constexpr uint32_t DEPTH_BUDGET_DIVISOR = 20;

// What a search keeps beyond the positions on its stack.
struct SearchState {
    uint32_t nodes = 0;  // main-search nodes (the capture search is not counted)
};

int Quiesce(const Position& pos, int alpha, int beta);
// Negamax one ply above the leaves, below the root: the same score and node
// count for any order of its moves, so it tries them in the cheapest order.
int Frontier(SearchState& state, const Position& pos, int alpha, int beta);
int Negamax(SearchState& state, Move* best, const Position& pos, uint32_t depth, int alpha, int beta);

// One completed depth of the deepening, as its caller hears of it.
struct DepthReport {
    uint32_t depth;
    int score;
    uint32_t nodes;         // main-search nodes of this depth
    float seconds;          // processor time the depth took
    unsigned long long ms;  // the same in whole milliseconds, as the time rule reads it
    Move best;
};

// Called once per completed depth with the context its caller passed in.
using DepthReporter = void (*)(const DepthReport& report, void* context);

// Deepens from depth 1 until a depth takes more than budget /
// DEPTH_BUDGET_DIVISOR ms, finds a mate score, or reaches max_depth, and
// reports each completed depth.
Move FindBestMove(const Position& root, uint32_t budget, uint32_t max_depth, DepthReporter report, void* context);

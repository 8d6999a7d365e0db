// Quiescence, the frontier (negamax one ply above the leaves), negamax and
// iterative deepening.
#pragma once

#include <cstdint>
#include <cstdio>

#include "board/types.h"

// Mate score; a draw is 0. -SCORE_INF is the root window's lower end, so
// every score can be negated.
constexpr int SCORE_INF = 2147483647;
// Budget meaning "no time given".
constexpr uint32_t NO_BUDGET = 4294967295u;

// Main-search nodes of the current depth (the capture search is not counted).
extern uint32_t NODES;

int Quiesce(const Position& pos, int alpha, int beta);
// Negamax one ply above the leaves, below the root: the same score and node
// count for any order of its moves, so it tries them in the cheapest order.
int Frontier(const Position& pos, int alpha, int beta);
int Negamax(Move* best, const Position& pos, uint32_t depth, int alpha, int beta);

// Deepens from depth 1 until a depth takes more than budget / 20 ms, finds a
// mate score, or reaches max_depth; prints a progress line per depth to out.
// With nodes given, adds each finished depth's node count to it.
Move FindBestMove(const Position& root, uint32_t budget, uint32_t max_depth = MAX_DEPTH, FILE* out = stdout,
                  uint64_t* nodes = nullptr);

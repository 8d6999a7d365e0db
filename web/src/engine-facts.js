// The engine's numbers the page depends on, each copied from the engine's own source named beside it; test/engine-facts.test.mjs holds them to it.

// The evaluation is the tapered blend of the table scores, PHASE_MAX times
// the table units and never divided (src/eval/eval.h). The tables are in
// centipawns (a pawn is 82 to 94 units in src/tables/values.cpp), so 100 units
// show as a pawn.
export const PHASE_MAX = 24;
export const UNITS_PER_PAWN = PHASE_MAX * 100;

// A mate is scored as SCORE_INF, the largest int, without its distance
// (src/search/search.h).
export const MATE_SCORE = 2147483647;

// "go movetime T" grants a budget of T / BUDGET_DIVISOR ms (BUDGET_CLOCK_SHARE,
// a twentieth, in src/uci/uci.h), and deepening stops after the first depth
// that takes more than budget / DEPTH_BUDGET_DIVISOR ms (src/search/search.h).
export const BUDGET_DIVISOR = 20;
export const DEPTH_BUDGET_DIVISOR = 20;
// So "go movetime" with n times this lets each depth take n ms before the
// engine stops deepening.
export const MOVETIME_PER_DEPTH_MS = BUDGET_DIVISOR * DEPTH_BUDGET_DIVISOR;

// The engine reads a command line of at most LINE_SIZE - 1 characters
// (src/uci/uci.h); a longer one arrives in pieces, each taken as a command.
export const LINE_SIZE = 8192;
// The longest command the page sends, with room to spare below that.
export const MAX_COMMAND = 8000;

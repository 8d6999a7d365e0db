// The bench: a fixed set of positions searched to fixed depths, whose total
// node count is the engine's behavioural signature.
#pragma once

#include <cstdint>
#include <cstdio>

// The signature this build must reproduce (bench/signature).
constexpr uint64_t BENCH_SIGNATURE = TARVIK_BENCH_NODES;

struct BenchTotals {
    uint64_t nodes = 0;
    double seconds = 0;  // wall time of the searches alone
};

// Searches the position of a "position" line to depth, printing each depth
// and the best move as the engine does and adding to totals. False when the
// line is refused.
bool BenchSearch(const char* command, uint32_t depth, BenchTotals& totals, FILE* out);

// Searches the whole set, printing each "position" line and its reply, and
// ends with "Nodes searched: N" and "Nodes/second: X", the two lines that
// tools testing engines at scale read. False, with a note on standard error
// naming program, when a position of the set is refused: the build is broken.
bool RunBench(const char* program, BenchTotals& totals, FILE* out);

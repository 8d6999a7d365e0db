// Expected search results: reading their blocks, searching each block's
// position again and comparing the replies with times and speeds cut out.
#pragma once

#include <cstdint>
#include <cstdio>
#include <istream>
#include <string>
#include <string_view>
#include <vector>

#include "position/position.h"

// A line of the engine's output without its " nps N" and " time N" fields,
// the only ones that vary from run to run and machine to machine.
std::string Untimed(std::string_view line);

// One block of an expected-results file: a "position" line as a GUI sends it,
// then the progress lines of a search without speed and time, then "bestmove".
struct ExpectedBlock {
    std::string command;
    std::vector<std::string> reply;
};

// Blocks are separated by blank lines; lines starting with '#' are comments.
std::vector<ExpectedBlock> ReadExpected(std::istream& in);

// The depth the block was searched to: that of its last progress line; 0 when
// it has none.
uint32_t ExpectedDepth(const ExpectedBlock& block);

// The engine's reply to a search of pos to max_depth, line by line, untimed.
// Empty when the reply could not be captured.
std::vector<std::string> SearchReply(const Position& pos, uint32_t max_depth);

struct ExpectedTally {
    int matched = 0;
    int failed = 0;
};

// Searches every block again and compares; each failure is written to out as
// a "FAIL" line naming the block, then its differing lines as "- expected" and
// "+ found", and the tally ends with one summary line.
ExpectedTally CheckExpected(const std::vector<ExpectedBlock>& blocks, FILE* out);

// The UCI front end: command dispatch, "position" and "go".
#pragma once

#include <cstdint>
#include <cstdio>

#include "chess/types.h"
#include "search/search.h"

// One command line holds at most LINE_SIZE - 1 characters; a longer line
// arrives in pieces, each handled as a command of its own.
constexpr int LINE_SIZE = 8192;

// Reads one line into buf (LINE_SIZE bytes) and cuts its line end (LF, CR or
// CRLF). False at the end of input or on a read error.
bool GetLine(char* buf, FILE* in);

// Builds the position a "position" line describes into out. False, with out
// untouched and nothing allocated, when the line names no position or holds
// malformed or illegal FEN or move text.
bool UCIPosition(Position& out, char* line);

// The time budget in milliseconds that a "go" line grants the side to move:
// a twentieth of the first own-clock or movetime figure, NO_BUDGET without one.
// Cuts the line into tokens.
uint32_t UCIBudget(const Position& pos, char* line);

// Searches pos under the line's budget and prints "bestmove". max_depth bounds
// the deepening for tools that need a short search; the protocol passes
// MAX_DEPTH.
void UCIGo(const Position& pos, char* line, FILE* out, uint32_t max_depth = MAX_DEPTH);

// Handles one command line on the current position. False on "quit".
bool UCIDispatch(Position& pos, char* line, FILE* out, uint32_t max_depth = MAX_DEPTH);

// Reads and handles commands until "quit" or the end of input.
void UCILoop(Position& pos, FILE* in, FILE* out, uint32_t max_depth = MAX_DEPTH);

// The UCI front end: command dispatch, "position" and "go".
#pragma once

#include <cstdint>
#include <cstdio>

#include "board/types.h"
#include "position/position.h"
#include "search/search.h"

// What the front end keeps between commands: the current position and the
// history block it owns. A game is replaced whole, never edited in place, so
// the old block goes with the old game.
struct Game {
    History history;
    Position pos;
};

// A game at the start position.
Game NewGame();

// One command line holds at most LINE_SIZE - 1 characters; a longer line
// arrives in pieces, each handled as a command of its own.
constexpr int LINE_SIZE = 8192;

// Reads one line into buf (LINE_SIZE bytes) and cuts its line end (LF, CR or
// CRLF). False at the end of input or on a read error.
bool GetLine(char* buf, FILE* in);

// Plays a space-separated list of move texts on pos. Every 4- or 5-character
// token must name a legal move of the position reached so far, and the list
// must fit the hash history; otherwise nothing is played and false is given.
bool apply_moves(Position& pos, char* text);

// Builds the game a "position" line describes into out. False, with out
// untouched and nothing left allocated, when the line names no position or holds
// malformed or illegal FEN or move text.
bool UCIPosition(Game& out, char* line);

// The share of the side's clock, or of the movetime, that one move may spend:
// a twentieth. The budget is the product truncated, which for every figure
// equals the whole-number quotient figure / 20.
constexpr double BUDGET_CLOCK_SHARE = 0.05;

// The time budget in milliseconds that a "go" line grants the side to move:
// BUDGET_CLOCK_SHARE of the first own-clock or movetime figure, NO_BUDGET
// without one. Cuts the line into tokens.
uint32_t UCIBudget(const Position& pos, char* line);

// Writes a completed depth as an "info" line to the FILE* given as context: a
// DepthReporter for FindBestMove.
void UCIReportDepth(const DepthReport& report, void* out);

// Writes the "bestmove" line.
void UCIBestMove(Move best, FILE* out);

// Searches pos under the line's budget and prints "bestmove". max_depth bounds
// the deepening for tools that need a short search; the protocol passes
// MAX_DEPTH.
void UCIGo(const Position& pos, char* line, FILE* out, uint32_t max_depth = MAX_DEPTH);

// Handles one command line on the current position. False on "quit".
bool UCIDispatch(Game& game, char* line, FILE* out, uint32_t max_depth = MAX_DEPTH);

// Reads and handles commands until "quit" or the end of input.
void UCILoop(Game& game, FILE* in, FILE* out, uint32_t max_depth = MAX_DEPTH);

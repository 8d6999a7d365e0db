// The UCI front end: reading lines, dispatching commands, "position" and "go".
#include "uci/uci.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "board/move.h"
#include "board/utility.h"
#include "movegen/move_gen.h"
#include "position/position.h"
#include "uci/version.h"

namespace {

bool starts_with(const char* line, const char* prefix) { return strncmp(line, prefix, strlen(prefix)) == 0; }

// The leading part of atoi (white space, sign, digits), saturated instead of
// overflowing; the sign is given apart so a negative figure can be refused.
uint64_t read_figure(const char* text, bool* negative) {
    while (*text == '\t' || *text == '\n' || *text == '\v' || *text == '\f' || *text == '\r' || *text == ' ') text++;
    *negative = *text == '-';
    if (*text == '-' || *text == '+') text++;
    uint64_t value = 0;
    for (; *text >= '0' && *text <= '9'; text++) {
        const uint64_t digit = uint64_t(*text - '0');
        value = value > (UINT64_MAX - digit) / 10 ? UINT64_MAX : value * 10 + digit;
    }
    return value;
}

// Cuts the next space-separated token out of a modifiable text and advances
// the cursor past it; nullptr when none is left. Only the space separates.
char* next_token(char*& cursor) {
    while (*cursor == ' ') cursor++;
    if (*cursor == '\0') return nullptr;
    char* token = cursor;
    while (*cursor && *cursor != ' ') cursor++;
    if (*cursor) *cursor++ = '\0';
    return token;
}

// True when move is one of pos's generated moves and legal; next then holds
// the position after it. move_parse gives every legal move's own text back as
// that very move, so comparing whole moves compares origin, target and
// promotion piece.
bool play_listed(const Position& pos, Move move, Position& next) {
    Move moves[MAX_MOVES];
    const uint32_t count = GenerateMoves(pos, moves);
    return std::find(moves, moves + count, move) != moves + count && apply_legal(next, pos, move);
}

}  // namespace

bool apply_moves(Position& pos, char* text) {
    Position cur = pos;
    int played = 0;
    for (char* token = next_token(text); token; token = next_token(text)) {
        const size_t len = strlen(token);
        if (len != 4 && len != 5) continue;
        if (++played > MAX_GAME_MOVES) return false;
        const Move move = move_parse(cur, token);
        Position next;
        if (move == NULL_MOVE || !play_listed(cur, move, next)) return false;
        cur = next;
    }
    pos = cur;
    return true;
}

bool GetLine(char* buf, FILE* in) {
    if (!fgets(buf, LINE_SIZE, in)) return false;
    char* end = strchr(buf, '\n');
    if (end) *end = '\0';
    end = strchr(buf, '\r');
    if (end) *end = '\0';
    return true;
}

Game NewGame() {
    Game game;
    game.pos = position(game.history);
    return game;
}

bool UCIPosition(Game& out, char* line) {
    Game game;
    if (strstr(line, "startpos")) {
        game = NewGame();
    } else if (char* fen = strstr(line, "fen")) {
        // The FEN starts after "fen" and one separating character.
        if (fen[3] == '\0' || !import(game.pos, game.history, fen + 4)) return false;
    } else {
        return false;
    }
    if (char* moves = strstr(line, "moves")) {
        if (moves[5] != '\0' && !apply_moves(game.pos, moves + 6)) return false;
    }
    out = std::move(game);
    return true;
}

uint32_t UCIBudget(const Position& pos, char* line) {
    const char* own_clock = pos.turn == WHITE ? "wtime" : "btime";
    char* cursor = line;
    for (char* token = next_token(cursor); token; token = next_token(cursor)) {
        if (strcmp(token, own_clock) != 0 && strcmp(token, "movetime") != 0) continue;
        const char* figure = next_token(cursor);
        // A missing or negative figure means the clock is spent: search one
        // depth and answer at once.
        if (!figure) return 0;
        bool negative;
        const uint64_t value = read_figure(figure, &negative);
        if (negative) return 0;
        const double budget = double(value) * BUDGET_CLOCK_SHARE;
        return budget >= double(NO_BUDGET) ? NO_BUDGET : static_cast<uint32_t>(budget);
    }
    return NO_BUDGET;
}

void UCIReportDepth(const DepthReport& r, void* context) {
    FILE* out = static_cast<FILE*>(context);
    const unsigned long long nps = r.seconds > 0 ? static_cast<unsigned long long>(float(r.nodes) / r.seconds) : 0;
    fprintf(out, "info depth %d score cp %d nps %llu nodes %u time %llu pv ", int(r.depth), r.score, nps, r.nodes,
            r.ms);
    move_print(r.best, out);
    fputc('\n', out);
    fflush(out);
}

void UCIBestMove(Move best, FILE* out) {
    fputs("bestmove ", out);
    move_print(best, out);
    fputc('\n', out);
    fflush(out);
}

void UCIGo(const Position& pos, char* line, FILE* out, uint32_t max_depth) {
    UCIBestMove(FindBestMove(pos, UCIBudget(pos, line), max_depth, UCIReportDepth, out), out);
}

bool UCIDispatch(Game& game, char* line, FILE* out, uint32_t max_depth) {
    if (strcmp(line, "uci") == 0) {
        fprintf(out, "id name %s\n", ENGINE_ID);
        fprintf(out, "id author %s\n", ENGINE_AUTHOR);
        fputs("uciok\n", out);
        fflush(out);
    } else if (strcmp(line, "isready") == 0) {
        fputs("readyok\n", out);
        fflush(out);
    } else if (strcmp(line, "ucinewgame") == 0) {
        game = NewGame();
    } else if (starts_with(line, "position")) {
        // A refused command leaves the game as it was.
        UCIPosition(game, line);
    } else if (starts_with(line, "go")) {
        UCIGo(game.pos, line, out, max_depth);
    } else if (strcmp(line, "quit") == 0) {
        return false;
    }
    return true;
}

void UCILoop(Game& game, FILE* in, FILE* out, uint32_t max_depth) {
    char line[LINE_SIZE] = {};
    while (GetLine(line, in))
        if (!UCIDispatch(game, line, out, max_depth)) break;
}

// The UCI front end: reading lines, dispatching commands, "position" and "go".
#include "uci/uci.h"

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

}  // namespace

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
        const double budget = double(value) * 0.05;
        return budget >= double(NO_BUDGET) ? NO_BUDGET : static_cast<uint32_t>(budget);
    }
    return NO_BUDGET;
}

void UCIGo(const Position& pos, char* line, FILE* out, uint32_t max_depth) {
    const Move best = FindBestMove(pos, UCIBudget(pos, line), max_depth, out);
    fputs("bestmove ", out);
    move_print(best, out);
    fputc('\n', out);
    fflush(out);
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

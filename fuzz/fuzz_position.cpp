// Fuzz target: arbitrary bytes as a "position" line, then a look at what was built.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "board/move.h"
#include "fuzz_check.h"
#include "movegen/move_gen.h"
#include "position/position.h"
#include "search/search.h"
#include "uci/uci.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    FuzzInit();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The front end sees text up to the first NUL, never past a line end.
    std::vector<char> line(data, data + size);
    line.push_back('\0');
    Game game;
    memset(&game.pos, 0xA5, sizeof game.pos);
    const Position before = game.pos;
    if (!UCIPosition(game, line.data())) {
        FuzzRequire(memcmp(&game.pos, &before, sizeof game.pos) == 0 && !game.history,
                    "refused line leaves the game untouched");
        return 0;
    }
    const Position& pos = game.pos;
    CheckAcceptedPosition(pos);

    // Every legal move of an accepted position must lead to one the engine
    // accepts too, and its printed text must be read back as the same move.
    Move moves[MAX_MOVES];
    const uint32_t count = GenerateMoves(pos, moves);
    for (uint32_t i = 0; i < count; i++) {
        Position next;
        if (!apply_legal(next, pos, moves[i])) continue;
        CheckAcceptedPosition(next);
        char text[8] = {};
        FILE* f = fmemopen(text, sizeof text - 1, "w");
        move_print(moves[i], f);
        fclose(f);
        Position replayed = pos;
        FuzzRequire(apply_moves(replayed, text), "printed move read back");
        FuzzRequire(memcmp(replayed.pieces, next.pieces, sizeof next.pieces) == 0 &&
                        memcmp(replayed.colors, next.colors, sizeof next.colors) == 0 &&
                        memcmp(replayed.castling, next.castling, sizeof next.castling) == 0 &&
                        replayed.ep_square == next.ep_square && replayed.turn == next.turn,
                    "read-back move plays the same");
    }
    // The capture generator and the full list agree on the legal captures,
    // apart from king captures of a piece the enemy king alone defends: only
    // the full list keeps the king off attacked squares, and the legality
    // test after a move leaves the enemy king out.
    Move captures[MAX_CAPTURES];
    const uint32_t capture_count = GenerateCaptures(pos, captures);
    const BB attacked = GenerateAttackBoard(pos, opponent(pos.turn));
    std::vector<Move> legal_captures[2];
    for (int list = 0; list < 2; list++) {
        const Move* from = list ? captures : moves;
        const uint32_t n = list ? capture_count : count;
        for (uint32_t i = 0; i < n; i++) {
            if (!move_capture(from[i])) continue;
            if (square_piece(pos, move_from(from[i])) == KING && (attacked & sbb(move_to(from[i])))) continue;
            Position next;
            if (apply_legal(next, pos, from[i])) legal_captures[list].push_back(from[i]);
        }
        std::sort(legal_captures[list].begin(), legal_captures[list].end());
    }
    FuzzRequire(legal_captures[0] == legal_captures[1], "legal captures agree");
    FindBestMove(pos, NO_BUDGET, 1, UCIReportDepth, FUZZ_SINK);
    return 0;
}

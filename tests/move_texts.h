// What the engine prints, as strings: any printed output, a move's text and
// the legal moves of a position. Free of GoogleTest, so the stress driver
// uses it as the tests do.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "board/move.h"
#include "movegen/move_gen.h"
#include "position/position.h"

// Everything write(FILE*) prints, as one string.
template <typename Write>
std::string Printed(Write write) {
    char* text = nullptr;
    size_t size = 0;
    FILE* out = open_memstream(&text, &size);
    write(out);
    fclose(out);
    std::string s(text, size);
    free(text);
    return s;
}

inline std::string MoveText(Move m) {
    return Printed([m](FILE* out) { move_print(m, out); });
}

// The legal moves of pos in generation order, as texts.
inline std::vector<std::string> LegalMoveTexts(const Position& pos) {
    Move moves[MAX_MOVES];
    const uint32_t count = GenerateMoves(pos, moves);
    std::vector<std::string> out;
    Position next;
    for (uint32_t i = 0; i < count; i++)
        if (apply_legal(next, pos, moves[i])) out.push_back(MoveText(moves[i]));
    return out;
}

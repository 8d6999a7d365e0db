// The hash history, FEN import, copy-make and the repetition count.
#include "position/position.h"

#include <cassert>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "bit/bit.h"
#include "board/move.h"
#include "board/utility.h"
#include "position/attacks.h"
#include "tables/masks.h"
#include "tables/values.h"
#include "tables/zobrist.h"

const char* const START_FEN = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1 ";

namespace {

constexpr size_t HISTORY_BYTES = HISTORY_SLOTS * sizeof(Hash);

// The language's own aligned allocation: the same call on every platform.
constexpr std::align_val_t HISTORY_ALIGNMENT{HISTORY_BYTES};

Hash* history_alloc() {
    void* block = ::operator new(HISTORY_BYTES, HISTORY_ALIGNMENT, std::nothrow);
    if (!block) {
        fputs("tarvik: out of memory for the hash history\n", stderr);
        exit(1);
    }
    memset(block, 0, HISTORY_BYTES);
    return static_cast<Hash*>(block);
}

[[maybe_unused]] const Hash* history_start(const Hash* slot) {
    return reinterpret_cast<const Hash*>(reinterpret_cast<uintptr_t>(slot) & ~uintptr_t(HISTORY_BYTES - 1));
}

bool is_space(char c) { return c == ' '; }

const char* skip_spaces(const char* p) {
    while (is_space(*p)) p++;
    return p;
}

// Reads the board field into pos. Each rank must describe exactly eight
// squares with digits 1-8 and piece letters, ranks separated by '/'.
const char* read_board(Position& pos, const char* p) {
    for (int rank = 7; rank >= 0; rank--) {
        int file = 0;
        while (file < 8) {
            const char c = *p++;
            if (c >= '1' && c <= '8') {
                file += c - '0';
                if (file > 8) return nullptr;
                continue;
            }
            const PieceType type = piece_from(c);
            if (type == NO_PIECE) return nullptr;
            const Color color = (c >= 'a' && c <= 'z') ? BLACK : WHITE;
            place_piece(pos, color, sq_from(File(file), Rank(rank)), type);
            file++;
        }
        if (rank > 0 && *p++ != '/') return nullptr;
    }
    return p;
}

// The en-passant field counts only when a capture there is possible in
// principle: an empty square just passed over by an enemy pawn.
Square read_ep_square(const Position& pos, const char* p) {
    const Square ep = square_parse(p);
    if (ep == NO_SQUARE || p[0] < 'a' || !(p[2] == '\0' || is_space(p[2]))) return NO_SQUARE;
    const Rank r = sq_rank(ep);
    const BB occupied = pos.colors[WHITE] | pos.colors[BLACK];
    if (occupied & sbb(ep)) return NO_SQUARE;
    const Color them = opponent(pos.turn);
    const Square pawn_sq = pos.turn == WHITE ? static_cast<Square>(ep - 8) : static_cast<Square>(ep + 8);
    const Rank expected = pos.turn == WHITE ? RANK_6 : RANK_3;
    if (r != expected) return NO_SQUARE;
    if (!(pos.pieces[PAWN] & pos.colors[them] & sbb(pawn_sq))) return NO_SQUARE;
    return ep;
}

bool has_piece(const Position& pos, Color c, PieceType t, Square sq) { return pos.pieces[t] & pos.colors[c] & sbb(sq); }

// A right is kept only while its king and rook stand at home; otherwise a
// castling move would make a rook out of nothing.
void drop_impossible_castling(Position& pos) {
    for (uint32_t c = WHITE; c <= BLACK; c++) {
        const Color color = static_cast<Color>(c);
        if (!has_piece(pos, color, KING, CASTLING[c][0].king_from)) pos.castling[c] = 0;
        if (!has_piece(pos, color, ROOK, CASTLING[c][0].rook_from)) pos.castling[c] &= ~CASTLE_KING_SIDE;
        if (!has_piece(pos, color, ROOK, CASTLING[c][1].rook_from)) pos.castling[c] &= ~CASTLE_QUEEN_SIDE;
    }
}

bool playable(const Position& pos) {
    for (uint32_t c = WHITE; c <= BLACK; c++) {
        if (popcount(pos.pieces[KING] & pos.colors[c]) != 1) return false;
        if (popcount(pos.colors[c]) > 16) return false;
    }
    if (pos.pieces[PAWN] & PROMOTION_RANKS) return false;
    // IsKingSafe leaves the enemy king out, so touching kings need a test of
    // their own: the side to move could otherwise take the other king.
    if (ATTACKS_KING[lsb(pos.pieces[KING] & pos.colors[WHITE])] & pos.pieces[KING] & pos.colors[BLACK]) return false;
    // The side that just moved may not stand in check: its king could be taken.
    return IsKingSafe(pos, opponent(pos.turn));
}

}  // namespace

bool import(Position& out, History& history, const char* fen) {
    assert(!history);
    Position pos;
    memset(&pos, 0, sizeof pos);
    Hash scratch = 0;
    pos.hash = &scratch;

    const char* p = read_board(pos, skip_spaces(fen));
    if (!p || !is_space(*p)) return false;
    p = skip_spaces(p);
    switch (*p) {
        case 'w':
        case 'W': pos.turn = WHITE; break;
        case 'b':
        case 'B': pos.turn = BLACK; break;
        default: return false;
    }
    p++;
    if (*p != '\0' && !is_space(*p)) return false;
    p = skip_spaces(p);
    for (; *p && !is_space(*p); p++) {
        switch (*p) {
            case 'K': pos.castling[WHITE] |= CASTLE_KING_SIDE; break;
            case 'Q': pos.castling[WHITE] |= CASTLE_QUEEN_SIDE; break;
            case 'k': pos.castling[BLACK] |= CASTLE_KING_SIDE; break;
            case 'q': pos.castling[BLACK] |= CASTLE_QUEEN_SIDE; break;
            default: break;
        }
    }
    p = skip_spaces(p);
    pos.ep_square = *p ? read_ep_square(pos, p) : NO_SQUARE;

    if (!playable(pos)) return false;
    drop_impossible_castling(pos);

    history.reset(history_alloc());
    history[1] = scratch;
    pos.hash = &history[1];
    out = pos;
    return true;
}

Position position(History& history) {
    Position pos;
    const bool ok = import(pos, history, START_FEN);
    assert(ok);
    (void)ok;
    return pos;
}

void HistoryRelease::operator()(Hash* block) const { ::operator delete(block, HISTORY_ALIGNMENT); }

namespace {

// FULL keeps the hash and the castling rights; without it only the pieces,
// the evaluation sums, the side to move and the en-passant square follow the
// move.
template <bool FULL>
[[gnu::always_inline]] inline void make(Position& out, const Position& pos, Move move, PieceType piece,
                                        PieceType victim) {
    assert(&out != &pos);
    const Color us = pos.turn;
    const Color nus = opponent(us);
    const Square ori = move_from(move);
    const Square dst = move_to(move);
    const uint32_t flag = move_type(move);
    Square ep = NO_SQUARE;

    // The child takes the next history slot, starting from the parent's hash.
    assert(history_start(pos.hash + 1) == history_start(pos.hash));
    out = pos;
    out.hash = pos.hash + 1;
    Hash hash = *pos.hash;

    if (move_capture(move)) {
        remove_piece(out, hash, nus, move_capture_square(move, us), victim);
    } else if (flag == DOUBLE_PUSH) {
        ep = static_cast<Square>(us == WHITE ? ori + 8 : ori - 8);
    } else if (flag == KING_CASTLE || flag == QUEEN_CASTLE) {
        const int side = flag == QUEEN_CASTLE;
        move_piece(out, hash, us, CASTLING[us][side].rook_from, CASTLING[us][side].rook_to, ROOK);
    }

    // The edits commute, so a piece that keeps its type moves in one step.
    if (move_is_promotion(move)) {
        remove_piece(out, hash, us, ori, piece);
        place_piece(out, hash, us, dst, move_promote(move));
    } else {
        move_piece(out, hash, us, ori, dst, piece);
    }
    if (!FULL) {
        out.turn = nus;
        out.ep_square = ep;
        assert(position_consistent(out, false));
        return;
    }
    *out.hash = hash;

    // Rights only ever shrink: with none left there is nothing to update.
    if (out.castling[WHITE] | out.castling[BLACK]) {
        if (piece == KING) {
            out.castling[us] = 0;
        } else if (piece == ROOK) {
            // Only a rook leaving the mover's own corner costs a right: a white
            // rook that reached a8 has nothing to do with White's castling on a1.
            if (ori == CASTLING[us][0].rook_from) out.castling[us] &= ~CASTLE_KING_SIDE;
            if (ori == CASTLING[us][1].rook_from) out.castling[us] &= ~CASTLE_QUEEN_SIDE;
        }
        // Whatever lands on the opponent's rook corner takes that right away.
        if (dst == CASTLING[nus][0].rook_from) out.castling[nus] &= ~CASTLE_KING_SIDE;
        if (dst == CASTLING[nus][1].rook_from) out.castling[nus] &= ~CASTLE_QUEEN_SIDE;
    }

    out.turn = nus;
    out.ep_square = ep;
    assert(position_consistent(out));
}

}  // namespace

void apply(Position& out, const Position& pos, Move move, PieceType piece, PieceType victim) {
    make<true>(out, pos, move, piece, victim);
}

void apply_in_capture_search(Position& out, const Position& pos, Move move, PieceType piece, PieceType victim) {
    make<false>(out, pos, move, piece, victim);
}

bool is_threefold(const Position& pos) {
    const Hash h = *pos.hash;
    if (h == 0) return false;
    int count = 0;
    for (const Hash* slot = pos.hash; *slot != 0; slot--)
        if (*slot == h) count++;
    return count > 2;
}

bool position_consistent(const Position& pos, bool with_hash) {
    BB all = 0;
    for (uint32_t t = PAWN; t <= KING; t++) {
        if (all & pos.pieces[t]) return false;
        all |= pos.pieces[t];
    }
    if (pos.colors[WHITE] & pos.colors[BLACK]) return false;
    if (all != (pos.colors[WHITE] | pos.colors[BLACK])) return false;

    Hash hash = 0;
    int mg[2] = {0, 0}, eg[2] = {0, 0};
    uint32_t phase = 0;
    for (uint32_t c = WHITE; c <= BLACK; c++)
        for (uint32_t t = PAWN; t <= KING; t++) {
            BB set = pos.pieces[t] & pos.colors[c];
            while (set) {
                const Square s = lsbpop(set);
                hash ^= ZOBRIST_SQUARE_KEYS[t][s];
                mg[c] += TABLE_MG[c][t][s];
                eg[c] += TABLE_EG[c][t][s];
                phase += PHASE[t];
            }
        }
    return (!with_hash || hash == *pos.hash) && mg[0] == pos.eval_mg[0] && mg[1] == pos.eval_mg[1] &&
           eg[0] == pos.eval_eg[0] && eg[1] == pos.eval_eg[1] && phase == pos.phase && pos.turn <= BLACK &&
           pos.ep_square <= NO_SQUARE;
}

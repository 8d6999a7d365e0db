// Perft: the legal-move counter of the last ply and the recursion above it.
#include "movegen/perft.h"

#include "bit/bit.h"
#include "board/move.h"
#include "board/utility.h"
#include "movegen/move_gen.h"
#include "position/position.h"
#include "tables/masks.h"

namespace {

constexpr uint32_t CASTLING_RIGHT[2] = {CASTLE_KING_SIDE, CASTLE_QUEEN_SIDE};

// The counter takes a dozen population counts a node. The x86-64 baseline has
// no instruction for it, and there the builtin becomes a library call; adding
// bit fields in registers is about twice as fast. Where the instruction is
// enabled, the compiler recognises this form and emits it.
inline uint32_t population(BB bb) {
    bb -= (bb >> 1) & 0x5555555555555555ULL;
    bb = (bb & 0x3333333333333333ULL) + ((bb >> 2) & 0x3333333333333333ULL);
    bb = (bb + (bb >> 4)) & 0x0F0F0F0F0F0F0F0FULL;
    return static_cast<uint32_t>((bb * 0x0101010101010101ULL) >> 56);
}

// The moves of the pieces of gen onto targets, summed direction by direction.
inline uint32_t CountOrthogonal(BB gen, BB empty, BB targets) {
    return population(slide<8>(gen, empty) & targets) + population(slide<-8>(gen, empty) & targets) +
           population(slide<1, NOT_FILE_A>(gen, empty) & targets) +
           population(slide<-1, NOT_FILE_H>(gen, empty) & targets);
}

inline uint32_t CountDiagonal(BB gen, BB empty, BB targets) {
    return population(slide<9, NOT_FILE_A>(gen, empty) & targets) +
           population(slide<7, NOT_FILE_H>(gen, empty) & targets) +
           population(slide<-7, NOT_FILE_A>(gen, empty) & targets) +
           population(slide<-9, NOT_FILE_H>(gen, empty) & targets);
}

// A pawn move onto the last rank is four moves, one per promotion piece.
inline uint32_t CountPawnTargets(BB targets) { return population(targets) + 3 * population(targets & PROMOTION_RANKS); }

// What stands on the lines to the king of the side to move: the pieces that
// give check, the empty squares between a checking slider and the king, the
// own pieces pinned to the king, and each pin's line from beside the king to
// the pinner inclusive. Lines to the king from different directions share no
// square, so a pinned piece finds its own line as pin_lines & RAYS[king][piece].
struct KingLines {
    BB checkers;
    BB block;
    BB pinned;
    BB pin_lines;
};

inline KingLines FindKingLines(const Position& pos, Square king) {
    const Color us = pos.turn;
    const BB own = pos.colors[us];
    const BB enemy = pos.colors[opponent(us)];
    const BB occ = own | enemy;
    KingLines lines{};
    lines.checkers =
        ((ATTACKS_PAWN[us][king] & pos.pieces[PAWN]) | (ATTACKS_KNIGHT[king] & pos.pieces[KNIGHT])) & enemy;
    BB snipers = ((ATTACKS_ROOK[king] & (pos.pieces[ROOK] | pos.pieces[QUEEN])) |
                  (ATTACKS_BISHOP[king] & (pos.pieces[BISHOP] | pos.pieces[QUEEN]))) &
                 enemy;
    while (snipers) {
        const Square s = lsbpop(snipers);
        const BB between = RAYS[king][s] & RAYS[s][king];
        const BB met = between & occ;
        if (!met) {
            lines.checkers |= sbb(s);
            lines.block |= between;
        } else if (!(met & (met - 1)) && (met & own)) {
            lines.pinned |= met;
            lines.pin_lines |= between | sbb(s);
        }
    }
    return lines;
}

// The moves of a pinned piece: along its pin line only, with no check to answer.
inline uint32_t CountPinnedMoves(const Position& pos, Square king, Square piece, BB line) {
    const Color us = pos.turn;
    const bool orthogonal = ATTACKS_ROOK[king] & sbb(piece);
    const PieceType type = square_piece(pos, piece);
    if (type == PAWN) {
        const BB empty = ~(pos.colors[WHITE] | pos.colors[BLACK]);
        const BB push = pawn_push(us, sbb(piece)) & empty;
        const BB push2 = pawn_push(us, push) & empty & DOUBLE_PUSH_RANK[us];
        const BB captures = ATTACKS_PAWN[us][piece] & pos.colors[opponent(us)];
        return CountPawnTargets((push | push2 | captures) & line);
    }
    const bool moves = type == QUEEN || (type == ROOK && orthogonal) || (type == BISHOP && !orthogonal);
    // The line holds the piece itself; every other square of it is a move.
    return moves ? population(line) - 1 : 0;
}

// En passant takes a pawn off a square the other lines do not see, so each
// capture is tested on the board it leaves: no enemy piece but the taken pawn
// may attack the king there.
uint32_t CountEnPassant(const Position& pos, Square king) {
    const Color us = pos.turn;
    const Color them = opponent(us);
    const Square ep = pos.ep_square;
    const Square victim = static_cast<Square>(us == WHITE ? ep - 8 : ep + 8);
    const BB enemy = pos.colors[them];
    const BB occ = pos.colors[us] | enemy;
    const BB enemy_pawns = pos.pieces[PAWN] & enemy & ~sbb(victim);
    const BB orthogonal = (pos.pieces[ROOK] | pos.pieces[QUEEN]) & enemy;
    const BB diagonal = (pos.pieces[BISHOP] | pos.pieces[QUEEN]) & enemy;
    const bool jumper_check =
        (ATTACKS_PAWN[us][king] & enemy_pawns) || (ATTACKS_KNIGHT[king] & pos.pieces[KNIGHT] & enemy);
    if (jumper_check) return 0;
    uint32_t count = 0;
    BB capturers = pos.pieces[PAWN] & pos.colors[us] & ATTACKS_PAWN[them][ep];
    while (capturers) {
        const BB empty = ~(occ ^ sbb(lsbpop(capturers)) ^ sbb(victim) ^ sbb(ep));
        const BB seen =
            (orthogonal_attacks(sbb(king), empty) & orthogonal) | (diagonal_attacks(sbb(king), empty) & diagonal);
        count += !seen;
    }
    return count;
}

// Inlined whole into each build of the recursion below.
[[gnu::always_inline]] inline uint32_t CountLegal(const Position& pos) {
    const Color us = pos.turn;
    const Color them = opponent(us);
    const BB own = pos.colors[us];
    const BB enemy = pos.colors[them];
    const BB occ = own | enemy;
    const BB empty = ~occ;
    const BB king_bb = pos.pieces[KING] & own;
    const Square king = lsb(king_bb);
    const KingLines lines = FindKingLines(pos, king);
    uint32_t count = 0;

    // 1. The king: onto squares not attacked once it has left its own, and
    // castling, whose squares the king's presence never shields.
    const BB king_targets = ATTACKS_KING[king] & ~own;
    const uint32_t rights = lines.checkers ? 0 : pos.castling[us];
    bool castling = false;
    for (int side = 0; side < 2; side++)
        castling |= (rights & CASTLING_RIGHT[side]) && !(CASTLING[us][side].path & occ);
    if (king_targets || castling) {
        const BB attacked = GenerateAttackBoard(pos, them, occ ^ king_bb);
        count += population(king_targets & ~attacked);
        for (int side = 0; side < 2; side++)
            count += (rights & CASTLING_RIGHT[side]) && !(CASTLING[us][side].path & occ) &&
                     !(CASTLING[us][side].safe & attacked);
    }
    if (pos.ep_square != NO_SQUARE) count += CountEnPassant(pos, king);

    // 2. In double check only the king moves. A single check is answered by
    // taking the checker or stepping between; a pinned piece can do neither.
    BB targets = ~own;
    if (lines.checkers) {
        if (lines.checkers & (lines.checkers - 1)) return count;
        targets = lines.checkers | lines.block;
    } else {
        BB pinned = lines.pinned;
        while (pinned) {
            const Square piece = lsbpop(pinned);
            count += CountPinnedMoves(pos, king, piece, lines.pin_lines & RAYS[king][piece]);
        }
    }

    // 3. Every other piece moves freely onto targets; pinned ones still block.
    const BB free = own & ~lines.pinned;
    const BB pawns = pos.pieces[PAWN] & free;
    const BB push = pawn_push(us, pawns) & empty;
    const BB push2 = pawn_push(us, push) & empty & DOUBLE_PUSH_RANK[us];
    count += CountPawnTargets((push | push2) & targets);
    count += CountPawnTargets(pawn_west(us, pawns) & enemy & targets);
    count += CountPawnTargets(pawn_east(us, pawns) & enemy & targets);
    BB knights = pos.pieces[KNIGHT] & free;
    while (knights) count += population(ATTACKS_KNIGHT[lsbpop(knights)] & targets);
    count += CountOrthogonal((pos.pieces[ROOK] | pos.pieces[QUEEN]) & free, empty, targets);
    count += CountDiagonal((pos.pieces[BISHOP] | pos.pieces[QUEEN]) & free, empty, targets);
    return count;
}

// The plies above the last, made with apply on GenerateMoves' lists. Only a
// move out of check, of the king, of a pinned piece or en passant can leave
// the king attacked: the others skip the test after apply. below is the
// build of this function that the next ply calls.
template <uint64_t (*below)(const Position&, int)>
[[gnu::always_inline]] inline uint64_t PerftPlies(const Position& pos, int depth) {
    Move moves[MAX_MOVES];
    const uint32_t count = GenerateMoves(pos, moves);
    const BB king_bb = pos.pieces[KING] & pos.colors[pos.turn];
    const KingLines lines = FindKingLines(pos, lsb(king_bb));
    const BB suspects = lines.checkers ? ~BB(0) : lines.pinned | king_bb;
    uint64_t nodes = 0;
    Position next;
    for (uint32_t i = 0; i < count; i++) {
        const Move m = moves[i];
        apply(next, pos, m);
        const bool suspect = (suspects & sbb(move_from(m))) || move_type(m) == EP_CAPTURE;
        if (suspect && !IsKingSafe(next, pos.turn)) continue;
        nodes += depth == 2 ? CountLegal(next) : below(next, depth - 1);
    }
    return nodes;
}

uint64_t PerftBaseline(const Position& pos, int depth) { return PerftPlies<PerftBaseline>(pos, depth); }

// The x86-64 baseline has no population-count instruction, so the counter
// and the recursion are built a second time for processors that have one (the
// compiler turns Population's bit fields into the instruction there) and
// chosen at run time: the default build still runs everywhere.
#if defined(__x86_64__) && !defined(__POPCNT__)
[[gnu::target("popcnt")]] uint32_t CountLegalPopcnt(const Position& pos) { return CountLegal(pos); }
[[gnu::target("popcnt")]] uint64_t PerftPopcnt(const Position& pos, int depth) {
    return PerftPlies<PerftPopcnt>(pos, depth);
}
bool has_popcnt() { return __builtin_cpu_supports("popcnt"); }
#else
uint32_t CountLegalPopcnt(const Position& pos) { return CountLegal(pos); }
uint64_t PerftPopcnt(const Position& pos, int depth) { return PerftBaseline(pos, depth); }
bool has_popcnt() { return false; }
#endif

}  // namespace

uint32_t CountLegalMoves(const Position& pos) { return has_popcnt() ? CountLegalPopcnt(pos) : CountLegal(pos); }

uint64_t Perft(const Position& pos, int depth) {
    if (depth <= 1) return depth == 1 ? CountLegalMoves(pos) : 1;
    return has_popcnt() ? PerftPopcnt(pos, depth) : PerftBaseline(pos, depth);
}

// Move generators and their builders. The order of the lists decides which of
// two equally scored moves the search keeps, so every step here is ordered.
#include "movegen/move_gen.h"

#include "bit/bit.h"
#include "board/move.h"
#include "board/utility.h"
#include "position/attacks.h"
#include "tables/masks.h"

namespace {

constexpr BB OTHER_RANKS = ~PROMOTION_RANKS;

inline Move* BuildMoves(Move* moves, Square ori, BB targets, uint32_t flag) {
    while (targets) *moves++ = move_make(ori, lsbpop(targets), flag);
    return moves;
}

inline Move* BuildJumperMoves(Move* moves, BB movers, const BB* attacks, BB targets, uint32_t flag) {
    while (movers) {
        const Square s = lsbpop(movers);
        moves = BuildMoves(moves, s, attacks[s] & targets, flag);
    }
    return moves;
}

inline Move* BuildPawnMoves(Move* moves, BB targets, int offset, uint32_t flag) {
    while (targets) {
        const Square t = lsbpop(targets);
        *moves++ = move_make(t - offset, t, flag);
    }
    return moves;
}

// Knight, bishop, rook, queen: the four promotions of one target stay together.
inline Move* BuildPawnPromotionMoves(Move* moves, BB targets, int offset, uint32_t flag) {
    while (targets) {
        const Square t = lsbpop(targets);
        for (uint32_t piece = KNIGHT; piece <= QUEEN; piece++)
            *moves++ = move_make(t - offset, t, promotion_flag(static_cast<PieceType>(piece), flag == CAPTURE));
    }
    return moves;
}

Move* GeneratePawnQuiet(Move* moves, Color color, BB pawns, BB empty) {
    BB single = pawn_push(color, pawns) & empty;
    const BB dbl = pawn_push(color, single) & DOUBLE_PUSH_RANK[color] & empty;
    const BB promote = single & PROMOTION_RANKS;
    single &= OTHER_RANKS;
    const int offset = color == WHITE ? 8 : -8;
    moves = BuildPawnMoves(moves, single, offset, QUIET);
    moves = BuildPawnMoves(moves, dbl, 2 * offset, DOUBLE_PUSH);
    return BuildPawnPromotionMoves(moves, promote, offset, QUIET);
}

[[gnu::always_inline]] inline Move* GeneratePawnCaptures(Move* moves, Color color, BB pawns, BB nus, Square ep_square) {
    const BB west = pawn_west(color, pawns) & nus;
    const BB east = pawn_east(color, pawns) & nus;
    const int west_offset = color == WHITE ? 7 : -9;
    const int east_offset = color == WHITE ? 9 : -7;
    // Most positions have no pawn capture at all, and fewer a promoting one.
    if (west | east) {
        moves = BuildPawnMoves(moves, west & OTHER_RANKS, west_offset, CAPTURE);
        moves = BuildPawnMoves(moves, east & OTHER_RANKS, east_offset, CAPTURE);
        if ((west | east) & PROMOTION_RANKS) {
            moves = BuildPawnPromotionMoves(moves, west & PROMOTION_RANKS, west_offset, CAPTURE);
            moves = BuildPawnPromotionMoves(moves, east & PROMOTION_RANKS, east_offset, CAPTURE);
        }
    }
    // The enemy pawn table at the en-passant square holds the squares from
    // which our pawns attack it; row NO_SQUARE is empty.
    BB capturers = pawns & ATTACKS_PAWN[opponent(color)][ep_square];
    while (capturers) *moves++ = move_make(lsbpop(capturers), ep_square, EP_CAPTURE);
    return moves;
}

Move* GenerateCastlingMoves(Move* moves, Color color, uint32_t rights, BB occupied, BB attacked) {
    const CastlingSquares& king_side = CASTLING[color][0];
    const CastlingSquares& queen_side = CASTLING[color][1];
    if ((rights & CASTLE_KING_SIDE) && !(king_side.path & occupied) && !(king_side.safe & attacked))
        *moves++ = move_make(king_side.king_from, king_side.king_to, KING_CASTLE);
    if ((rights & CASTLE_QUEEN_SIDE) && !(queen_side.path & occupied) && !(queen_side.safe & attacked))
        *moves++ = move_make(queen_side.king_from, queen_side.king_to, QUEEN_CASTLE);
    return moves;
}

// Ring walk: all lines of a piece are walked outward together, one distance
// at a time, and a line is closed at the first occupied square. The output of
// one piece is therefore ordered by distance, quiet moves before captures.
// unblocked holds the squares not yet reached on open lines, so the walk stops
// as soon as none of them could still be a target.
template <bool CAPTURES>
[[gnu::always_inline]] inline Move* GenerateSliderWalk(Move* moves, const BB* mask, BB pieces, BB empty, BB nus) {
    const BB wanted = empty | (CAPTURES ? nus : 0);
    while (pieces) {
        const Square piece = lsbpop(pieces);
        BB unblocked = mask[piece];
        for (int offset = 1; unblocked & wanted; offset++) {
            const BB reached = RINGS[piece][offset] & unblocked;
            unblocked ^= reached;
            moves = BuildMoves(moves, piece, reached & empty, QUIET);
            if (CAPTURES) moves = BuildMoves(moves, piece, reached & nus, CAPTURE);
            BB blockers = reached & ~empty;
            while (blockers) unblocked &= ~RAYS[piece][lsbpop(blockers)];
        }
    }
    return moves;
}

inline Move* GenerateSliderMoves(Move* moves, const BB* mask, BB pieces, BB empty, BB nus) {
    return GenerateSliderWalk<true>(moves, mask, pieces, empty, nus);
}

}  // namespace

uint32_t GenerateMoves(const Position& pos, Move* moves) {
    const Color color = pos.turn;
    const BB us = pos.colors[color];
    const BB nus = pos.colors[opponent(color)];
    const BB occupied = us | nus;
    const BB empty = ~occupied;
    const BB pawns = pos.pieces[PAWN] & us;
    const BB knights = pos.pieces[KNIGHT] & us;
    const BB diagonal = (pos.pieces[BISHOP] | pos.pieces[QUEEN]) & us;
    const BB orthogonal = (pos.pieces[ROOK] | pos.pieces[QUEEN]) & us;
    const BB king = pos.pieces[KING] & us;
    Move* end = moves;

    end = GeneratePawnQuiet(end, color, pawns, empty);
    end = GeneratePawnCaptures(end, color, pawns, nus, pos.ep_square);
    end = BuildJumperMoves(end, knights, ATTACKS_KNIGHT, empty, QUIET);
    end = BuildJumperMoves(end, knights, ATTACKS_KNIGHT, nus, CAPTURE);
    const BB attacked = GenerateAttackBoard(pos, opponent(color));
    end = BuildJumperMoves(end, king, ATTACKS_KING, ~(occupied | attacked), QUIET);
    end = BuildJumperMoves(end, king, ATTACKS_KING, nus & ~attacked, CAPTURE);
    if (!(king & attacked)) end = GenerateCastlingMoves(end, color, pos.castling[color], occupied, attacked);
    end = GenerateSliderMoves(end, ATTACKS_BISHOP, diagonal, empty, nus);
    end = GenerateSliderMoves(end, ATTACKS_ROOK, orthogonal, empty, nus);
    return static_cast<uint32_t>(end - moves);
}

uint32_t GenerateQuiets(const Position& pos, Move* moves, QuietBatch batch, BB movers) {
    const Color color = pos.turn;
    const BB all_us = pos.colors[color];
    const BB us = all_us & movers;
    const BB nus = pos.colors[opponent(color)];
    const BB occupied = all_us | nus;
    const BB empty = ~occupied;
    Move* end = moves;

    if (batch == QUIET_PAWNS_KNIGHTS) {
        end = GeneratePawnQuiet(end, color, pos.pieces[PAWN] & us, empty);
        end = BuildJumperMoves(end, pos.pieces[KNIGHT] & us, ATTACKS_KNIGHT, empty, QUIET);
    } else {
        const BB king = pos.pieces[KING] & us;
        // The attack map serves only the king.
        if (king) {
            const BB attacked = GenerateAttackBoard(pos, opponent(color));
            end = BuildJumperMoves(end, king, ATTACKS_KING, ~(occupied | attacked), QUIET);
            if (!(king & attacked)) end = GenerateCastlingMoves(end, color, pos.castling[color], occupied, attacked);
        }
        const BB diagonal = (pos.pieces[BISHOP] | pos.pieces[QUEEN]) & us;
        const BB orthogonal = (pos.pieces[ROOK] | pos.pieces[QUEEN]) & us;
        end = GenerateSliderWalk<false>(end, ATTACKS_BISHOP, diagonal, empty, nus);
        end = GenerateSliderWalk<false>(end, ATTACKS_ROOK, orthogonal, empty, nus);
    }
    return static_cast<uint32_t>(end - moves);
}

// The position record's operations: the hash history and its owner, FEN
// import, piece edits, making moves and the repetition count.
#pragma once

#include <memory>

#include "board/move.h"
#include "board/types.h"
#include "position/attacks.h"
#include "tables/values.h"
#include "tables/zobrist.h"

// The hash history shared by all positions derived from one import. Slot 0
// stays 0 and marks the start; slot 1 holds the imported position's hash; each
// made move writes the next slot. The block is allocated aligned to its own
// size, so the block a slot pointer belongs to is the pointer rounded down.
constexpr int HISTORY_SLOTS = 2048;
// The slots kept free beyond the game moves for the longest line a search may
// add: the search's layer checks that its deepest line fits.
constexpr uint32_t MAX_SEARCH_PLIES = 319;
// Game moves accepted after one import: the block holds slot 0, the imported
// position, the game moves and the deepest search line (2048 = 1 + 1 + 1727 +
// 319). A protocol line of 8191 characters holds at most 1638 move tokens of
// five characters with their space, so only a caller that bypasses the line
// reader can reach the limit.
constexpr int MAX_GAME_MOVES = HISTORY_SLOTS - 2 - int(MAX_SEARCH_PLIES);

extern const char* const START_FEN;

// The one owner of a history block: positions only point into it, so the owner
// must outlive the imported position and every position derived from it. The
// block is released when its owner goes or takes another block, and nowhere
// else.
struct HistoryRelease {
    void operator()(Hash* block) const;
};
using History = std::unique_ptr<Hash[], HistoryRelease>;

// Reads a FEN text into out and hands its new hash-history block to history,
// which must own none yet. Refuses malformed or unplayable text (false),
// leaving out and history untouched and allocating nothing.
bool import(Position& out, History& history, const char* fen);
// The standard start position, its block handed to history as by import.
Position position(History& history);

// Branch-free: the type's three bits are read from three unions of the piece
// sets (knight 001, bishop 010, rook 011, queen 100, king 101); an empty
// square sets the two high bits, giving NO_PIECE (110).
static_assert(KNIGHT == 1 && BISHOP == 2 && ROOK == 3 && QUEEN == 4 && KING == 5 && NO_PIECE == 6);
inline PieceType square_piece(const Position& pos, Square sq) {
    const BB empty = ~(pos.colors[WHITE] | pos.colors[BLACK]);
    const BB bit0 = pos.pieces[KNIGHT] | pos.pieces[ROOK] | pos.pieces[KING];
    const BB bit1 = pos.pieces[BISHOP] | pos.pieces[ROOK] | empty;
    const BB bit2 = pos.pieces[QUEEN] | pos.pieces[KING] | empty;
    return static_cast<PieceType>(((bit0 >> sq) & 1) | ((bit1 >> sq) & 1) << 1 | ((bit2 >> sq) & 1) << 2);
}

// The piece edits toggle bits and the hash key: a wrong call corrupts the
// record instead of failing, so callers must know what stands where. The forms
// with a hash argument update that value instead of the history slot: apply
// keeps the hash in a local, since through the slot pointer every piece-set
// store could alias it.
inline void flip_piece(Position& pos, Hash& hash, Color color, Square sq, PieceType type) {
    const BB bit = BB(1) << sq;
    pos.pieces[type] ^= bit;
    pos.colors[color] ^= bit;
    hash = flip_square(hash, sq, type);
}

inline void place_piece(Position& pos, Hash& hash, Color color, Square sq, PieceType type) {
    flip_piece(pos, hash, color, sq, type);
    pos.eval_mg[color] += TABLE_MG[color][type][sq];
    pos.eval_eg[color] += TABLE_EG[color][type][sq];
    pos.phase += PHASE[type];
}

inline void remove_piece(Position& pos, Hash& hash, Color color, Square sq, PieceType type) {
    flip_piece(pos, hash, color, sq, type);
    pos.eval_mg[color] -= TABLE_MG[color][type][sq];
    pos.eval_eg[color] -= TABLE_EG[color][type][sq];
    pos.phase -= PHASE[type];
}

// Removing a piece from ori and placing the same piece on dst, in one pass.
inline void move_piece(Position& pos, Hash& hash, Color color, Square ori, Square dst, PieceType type) {
    const BB bits = (BB(1) << ori) | (BB(1) << dst);
    pos.pieces[type] ^= bits;
    pos.colors[color] ^= bits;
    hash ^= ZOBRIST_SQUARE_KEYS[type][ori] ^ ZOBRIST_SQUARE_KEYS[type][dst];
    pos.eval_mg[color] += TABLE_MG[color][type][dst] - TABLE_MG[color][type][ori];
    pos.eval_eg[color] += TABLE_EG[color][type][dst] - TABLE_EG[color][type][ori];
}

inline void flip_piece(Position& pos, Color color, Square sq, PieceType type) {
    flip_piece(pos, *pos.hash, color, sq, type);
}
inline void place_piece(Position& pos, Color color, Square sq, PieceType type) {
    place_piece(pos, *pos.hash, color, sq, type);
}
inline void remove_piece(Position& pos, Color color, Square sq, PieceType type) {
    remove_piece(pos, *pos.hash, color, sq, type);
}

// Plays move on pos into out (copy-make); pos is not changed. The move must fit
// the position, as every generated move does.
// The caller gives the moving piece and the captured one (PAWN for en
// passant; ignored when the move captures nothing).
void apply(Position& out, const Position& pos, Move move, PieceType piece, PieceType victim);
// The piece move takes: PAWN for en passant, NO_PIECE for a move that
// captures nothing.
inline PieceType captured_piece(const Position& pos, Move move) {
    if (!move_capture(move)) return NO_PIECE;
    return move_type(move) == EP_CAPTURE ? PAWN : square_piece(pos, move_to(move));
}
// The same, looking both pieces up on the board.
inline void apply(Position& out, const Position& pos, Move move) {
    apply(out, pos, move, square_piece(pos, move_from(move)), captured_piece(pos, move));
}
// The one definition of a legal move: made, it leaves the mover's own king
// unattacked. Plays move into out either way and tells whether it was legal.
inline bool apply_legal(Position& out, const Position& pos, Move move, PieceType piece, PieceType victim) {
    apply(out, pos, move, piece, victim);
    return IsKingSafe(out, pos.turn);
}
inline bool apply_legal(Position& out, const Position& pos, Move move) {
    apply(out, pos, move);
    return IsKingSafe(out, pos.turn);
}
// apply for a position whose whole subtree is capture search: nothing there
// tests repetitions or castles, so the hash, its history slot and the castling
// rights are left as they were.
void apply_in_capture_search(Position& out, const Position& pos, Move move, PieceType piece, PieceType victim);
// The same legality test after it.
inline bool apply_legal_in_capture_search(Position& out, const Position& pos, Move move, PieceType piece,
                                          PieceType victim) {
    apply_in_capture_search(out, pos, move, piece, victim);
    return IsKingSafe(out, pos.turn);
}

// True when the current hash occurs at least three times back to the start of
// the history (every slot, whichever side was to move).
bool is_threefold(const Position& pos);

// Debug aid: recomputes every derived field and checks the invariants.
// Without with_hash, the hash is not checked (see apply_in_capture_search).
bool position_consistent(const Position& pos, bool with_hash = true);

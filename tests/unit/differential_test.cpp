// Differential test of the move machinery: over seeded random games, the
// engine's legal moves (generator + apply + king-safety test) must equal those
// of a slow square-by-square reference, and every made move must leave the
// board, rights, hash, scores and phase as a from-scratch computation says.
#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "reference/reference.h"
#include "tables/values.h"
#include "tables/zobrist.h"
#include "test_util.h"

namespace {

constexpr int NONE = -1;

// The reference board: a plain array of squares, no bitboards, no tables.
struct Board {
    int color[64];
    int type[64];
    uint32_t castling[2];
    int turn;
    int ep;  // NO_SQUARE when there is none
};

const int KNIGHT_STEPS[8][2] = {{1, 2}, {2, 1}, {2, -1}, {1, -2}, {-1, -2}, {-2, -1}, {-2, 1}, {-1, 2}};
// Also the eight slider directions: diagonal when both components are non-zero.
const int KING_STEPS[8][2] = {{1, 0}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0}, {-1, -1}, {0, -1}, {1, -1}};

int At(int file, int rank) { return file < 0 || file > 7 || rank < 0 || rank > 7 ? NONE : rank * 8 + file; }

Board FromPosition(const Position& pos) {
    Board b;
    for (int s = 0; s < 64; s++) {
        b.color[s] = b.type[s] = NONE;
        for (int c = 0; c < 2; c++)
            for (int t = 0; t < 6; t++)
                if (pos.pieces[t] & pos.colors[c] & (BB(1) << s)) b.color[s] = c, b.type[s] = t;
    }
    b.castling[WHITE] = pos.castling[WHITE];
    b.castling[BLACK] = pos.castling[BLACK];
    b.turn = pos.turn;
    b.ep = pos.ep_square;
    return b;
}

bool SameBoard(const Board& a, const Board& b) {
    return std::equal(a.color, a.color + 64, b.color) && std::equal(a.type, a.type + 64, b.type) &&
           a.castling[0] == b.castling[0] && a.castling[1] == b.castling[1] && a.turn == b.turn && a.ep == b.ep;
}

// Is sq attacked by a piece of color by? Scans outward from sq; kings count,
// as they do in chess.
bool Attacked(const Board& b, int sq, int by) {
    const int f = sq % 8, r = sq / 8;
    auto is = [&](int s, int type) { return s != NONE && b.color[s] == by && b.type[s] == type; };
    const int pawn_rank = by == WHITE ? r - 1 : r + 1;
    if (is(At(f - 1, pawn_rank), PAWN) || is(At(f + 1, pawn_rank), PAWN)) return true;
    for (const auto& d : KNIGHT_STEPS)
        if (is(At(f + d[0], r + d[1]), KNIGHT)) return true;
    for (const auto& d : KING_STEPS) {
        if (is(At(f + d[0], r + d[1]), KING)) return true;
        const int slider = d[0] && d[1] ? BISHOP : ROOK;
        for (int k = 1;; k++) {
            const int s = At(f + k * d[0], r + k * d[1]);
            if (s == NONE) break;
            if (b.color[s] == NONE) continue;
            if (is(s, slider) || is(s, QUEEN)) return true;
            break;
        }
    }
    return false;
}

Board Make(const Board& b, Move m) {
    Board n = b;
    const int from = move_from(m), to = move_to(m), us = b.turn;
    const uint32_t flag = move_type(m);
    const int moving = b.type[from];
    n.color[from] = n.type[from] = NONE;
    if (flag == EP_CAPTURE) {
        const int victim = us == WHITE ? to - 8 : to + 8;
        n.color[victim] = n.type[victim] = NONE;
    }
    n.color[to] = us;
    n.type[to] = flag >= KNIGHT_PROMOTION ? KNIGHT + (flag & 3) : moving;
    if (flag == KING_CASTLE || flag == QUEEN_CASTLE) {
        const int rook_from = flag == KING_CASTLE ? from + 3 : from - 4;
        const int rook_to = flag == KING_CASTLE ? from + 1 : from - 1;
        n.color[rook_from] = n.type[rook_from] = NONE;
        n.color[rook_to] = us;
        n.type[rook_to] = ROOK;
    }
    n.ep = flag == DOUBLE_PUSH ? (from + to) / 2 : int(NO_SQUARE);
    if (moving == KING) n.castling[us] = 0;
    // A right lasts while its rook has neither left its corner nor been taken there.
    const struct {
        int corner, color, right;
    } CORNERS[4] = {{A1, WHITE, 2}, {H1, WHITE, 1}, {A8, BLACK, 2}, {H8, BLACK, 1}};
    for (const auto& c : CORNERS) {
        if (from == c.corner || to == c.corner) n.castling[c.color] &= ~uint32_t(c.right);
    }
    n.turn = 1 - us;
    return n;
}

int KingSquare(const Board& b, int color) {
    for (int s = 0; s < 64; s++)
        if (b.color[s] == color && b.type[s] == KING) return s;
    return NONE;
}

void AddIfLegal(std::vector<Move>& out, const Board& b, int from, int to, uint32_t flag) {
    const Move m = move_make(from, to, flag);
    const Board n = Make(b, m);
    if (!Attacked(n, KingSquare(n, b.turn), 1 - b.turn)) out.push_back(m);
}

std::vector<Move> ReferenceLegalMoves(const Board& b) {
    std::vector<Move> out;
    const int us = b.turn, them = 1 - us;
    for (int from = 0; from < 64; from++) {
        if (b.color[from] != us) continue;
        const int f = from % 8, r = from / 8;
        const int type = b.type[from];
        if (type == PAWN) {
            const int dir = us == WHITE ? 1 : -1;
            const int last_rank = us == WHITE ? 7 : 0;
            auto add = [&](int to, bool capture) {
                if (to / 8 == last_rank) {
                    for (uint32_t p = 0; p < 4; p++) AddIfLegal(out, b, from, to, (capture ? 12 : 8) + p);
                } else {
                    AddIfLegal(out, b, from, to, capture ? CAPTURE : QUIET);
                }
            };
            const int one = At(f, r + dir);
            if (b.color[one] == NONE) {
                add(one, false);
                const int two = At(f, r + 2 * dir);
                if (r == (us == WHITE ? 1 : 6) && b.color[two] == NONE) AddIfLegal(out, b, from, two, DOUBLE_PUSH);
            }
            for (int df : {-1, 1}) {
                const int to = At(f + df, r + dir);
                if (to == NONE) continue;
                if (b.color[to] == them) add(to, true);
                if (to == b.ep) AddIfLegal(out, b, from, to, EP_CAPTURE);
            }
            continue;
        }
        auto step = [&](int to) {
            if (to != NONE && b.color[to] != us) AddIfLegal(out, b, from, to, b.color[to] == them ? CAPTURE : QUIET);
        };
        if (type == KNIGHT)
            for (const auto& d : KNIGHT_STEPS) step(At(f + d[0], r + d[1]));
        if (type == KING)
            for (const auto& d : KING_STEPS) step(At(f + d[0], r + d[1]));
        if (type == BISHOP || type == ROOK || type == QUEEN) {
            for (const auto& d : KING_STEPS) {
                const bool diagonal = d[0] && d[1];
                if ((type == BISHOP && !diagonal) || (type == ROOK && diagonal)) continue;
                for (int k = 1;; k++) {
                    const int to = At(f + k * d[0], r + k * d[1]);
                    if (to == NONE || b.color[to] == us) break;
                    step(to);
                    if (b.color[to] == them) break;
                }
            }
        }
        // Castling: rights, rook at home, empty path, and no attacked square
        // from the king's start to its landing square.
        const int home = us == WHITE ? E1 : E8;
        if (type != KING || from != home) continue;
        auto free_and_safe = [&](int rook, std::initializer_list<int> empty, std::initializer_list<int> safe) {
            if (b.color[rook] != us || b.type[rook] != ROOK) return false;
            for (int s : empty)
                if (b.color[s] != NONE) return false;
            for (int s : safe)
                if (Attacked(b, s, them)) return false;
            return true;
        };
        if ((b.castling[us] & 1) && free_and_safe(home + 3, {home + 1, home + 2}, {home, home + 1, home + 2}))
            AddIfLegal(out, b, from, home + 2, KING_CASTLE);
        if ((b.castling[us] & 2) && free_and_safe(home - 4, {home - 1, home - 2, home - 3}, {home, home - 1, home - 2}))
            AddIfLegal(out, b, from, home - 2, QUEEN_CASTLE);
    }
    std::sort(out.begin(), out.end());
    return out;
}

// The hash, scores and phase of pos recomputed from the reference board b,
// square by square, apart from the engine's own sums (position_consistent)
// and its combined tables (ValueInit): scores from the raw piece values and
// square tables, White's read through the vertical mirror. The Zobrist keys
// and the phase weights are data, not logic, and are used as they are; the
// keys are pinned to their seeded draws in tables_test.cpp.
testing::AssertionResult DerivedFieldsRecomputed(const Position& pos, const Board& b) {
    Hash hash = 0;
    int mg[2] = {0, 0}, eg[2] = {0, 0};
    uint32_t phase = 0;
    for (int s = 0; s < 64; s++) {
        const int c = b.color[s], t = b.type[s];
        if (c == NONE) continue;
        const int index = c == WHITE ? s ^ 56 : s;
        hash ^= ZOBRIST_SQUARE_KEYS[t][s];
        mg[c] += VALUE_MG[t] + PST_MG[t][index];
        eg[c] += VALUE_EG[t] + PST_EG[t][index];
        phase += PHASE[t];
    }
    if (hash != *pos.hash) return testing::AssertionFailure() << "hash";
    for (int c = 0; c < 2; c++)
        if (mg[c] != pos.eval_mg[c] || eg[c] != pos.eval_eg[c]) return testing::AssertionFailure() << "scores of " << c;
    if (phase != pos.phase) return testing::AssertionFailure() << "phase";
    return testing::AssertionSuccess();
}

std::string Texts(const std::vector<Move>& moves) {
    std::string out;
    for (Move m : moves) out += MoveText(m) + " ";
    return out;
}

bool NextToEnemyKing(const Position& pos, Move m) {
    const Board b = FromPosition(pos);
    const int king = KingSquare(b, 1 - pos.turn);
    const int to = move_to(m);
    return std::max(std::abs(king % 8 - to % 8), std::abs(king / 8 - to / 8)) == 1;
}

struct Coverage {
    int positions = 0, en_passant = 0, castling = 0, promotions = 0, mates = 0;
};

// Checks one position against the reference; false ends the game. The line
// played so far names the position in a failure.
bool CheckPosition(const Position& pos, const Board& ref, const std::string& line, Coverage& seen,
                   std::vector<Move>& legal) {
    if (!SameBoard(FromPosition(pos), ref)) {
        ADD_FAILURE() << "board, rights or en-passant square differ after: " << line;
        return false;
    }
    // The attack maps, square by square.
    for (uint32_t by = WHITE; by <= BLACK; by++) {
        BB expected = 0;
        for (int s = 0; s < 64; s++)
            if (Attacked(ref, s, int(by))) expected |= BB(1) << s;
        if (GenerateAttackBoard(pos, Color(by)) != expected) {
            ADD_FAILURE() << "attack map of " << (by == WHITE ? "White" : "Black") << " after: " << line;
            return false;
        }
    }
    Move moves[MAX_MOVES];
    const uint32_t count = GenerateMoves(pos, moves);
    legal.clear();
    Position child;
    for (uint32_t i = 0; i < count; i++) {
        apply(child, pos, moves[i]);
        const Board made = Make(ref, moves[i]);
        if (!SameBoard(FromPosition(child), made) || !DerivedFieldsRecomputed(child, made)) {
            ADD_FAILURE() << "making " << MoveText(moves[i]) << " after: " << line << " "
                          << DerivedFieldsRecomputed(child, made).message();
            return false;
        }
        if (IsKingSafe(child, pos.turn)) legal.push_back(moves[i]);
    }
    std::sort(legal.begin(), legal.end());
    const std::vector<Move> expected = ReferenceLegalMoves(ref);
    if (legal != expected) {
        ADD_FAILURE() << "after: " << line << "\n engine:    " << Texts(legal) << "\n reference: " << Texts(expected);
        return false;
    }

    // Captures: the same legal ones, except that the capture list may let the
    // king take a piece that only the enemy king defends (kings are not
    // tested for attacks).
    std::vector<Move> expected_captures, extra;
    for (Move m : expected)
        if (move_capture(m)) expected_captures.push_back(m);
    const uint32_t capture_count = GenerateCaptures(pos, moves);
    std::vector<Move> captures;
    for (uint32_t i = 0; i < capture_count; i++) {
        if (!apply_legal(child, pos, moves[i])) continue;
        if (std::binary_search(expected_captures.begin(), expected_captures.end(), moves[i]))
            captures.push_back(moves[i]);
        else if (!(square_piece(pos, move_from(moves[i])) == KING && NextToEnemyKing(pos, moves[i])))
            extra.push_back(moves[i]);
    }
    std::sort(captures.begin(), captures.end());
    if (captures != expected_captures || !extra.empty()) {
        ADD_FAILURE() << "captures after: " << line << "\n engine:    " << Texts(captures) << Texts(extra)
                      << "\n reference: " << Texts(expected_captures);
        return false;
    }

    seen.positions++;
    for (Move m : legal) {
        seen.en_passant += move_type(m) == EP_CAPTURE;
        seen.castling += move_type(m) == KING_CASTLE || move_type(m) == QUEEN_CASTLE;
        seen.promotions += move_is_promotion(m);
    }
    return true;
}

TEST(DifferentialTest, LegalMovesAndMadePositionsMatchReferenceOverRandomGames) {
    constexpr int GAMES = 200, MAX_PLIES = 150;
    std::mt19937 rng(20261208);
    Coverage seen;
    std::vector<Move> legal;
    for (int game = 0; game < GAMES; game++) {
        const char* fen = RICH_OPENINGS[game % std::size(RICH_OPENINGS)];
        History root_history;
        Position root = FenPosition(root_history, fen);
        Position pos = root, next;
        Board ref = FromPosition(root);
        std::string line = std::string(fen) + " moves";
        for (int ply = 0; ply < MAX_PLIES; ply++) {
            if (!CheckPosition(pos, ref, line, seen, legal)) {
                return;
            }
            if (legal.empty()) {
                seen.mates += !IsKingSafe(pos, pos.turn);
                break;
            }
            const Move m = legal[rng() % legal.size()];
            apply(next, pos, m);
            pos = next;
            ref = Make(ref, m);
            line += " " + MoveText(m);
        }
    }
    // Not vacuous: the games reach the special moves many times over.
    EXPECT_GT(seen.positions, 20000);
    EXPECT_GT(seen.en_passant, 50);
    EXPECT_GT(seen.castling, 500);
    EXPECT_GT(seen.promotions, 500);
    EXPECT_GT(seen.mates, 5);
}

}  // namespace

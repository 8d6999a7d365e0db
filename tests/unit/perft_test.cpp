// The perft counter knows legality from the lines to the king instead of
// making each move and looking. These tests hold it to the plain way
// (GenerateMoves, apply, IsKingSafe) over random games rich in the cases
// where the two could part: checks, double checks, pins, en passant that
// uncovers the king along the rank, castling across attacked squares and
// promotions.
#include "movegen/perft.h"

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "bit/bit.h"
#include "board/utility.h"
#include "test_util.h"

namespace {

// Besides the rich openings: en passant refused because it would open the
// fourth rank to the queen, double check, castling beside attacking rooks and
// pawns one step from promotion on both sides.
const char* const EXTRA_OPENINGS[] = {
    "8/8/8/8/k2Pp2Q/8/8/3K4 b - d3 0 1",
    "4k3/8/8/8/8/5n2/8/r3K3 w - - 0 1",
    "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1",
    "n1n5/PPPk4/8/8/8/8/4Kppp/5N1N b - - 0 1",
    "2r1k2r/1P3p2/b7/3pP3/8/8/5PPp/R3K2R w KQk d6 0 1",
};

std::vector<const char*> Openings() {
    std::vector<const char*> fens(std::begin(RICH_OPENINGS), std::end(RICH_OPENINGS));
    fens.insert(fens.end(), std::begin(EXTRA_OPENINGS), std::end(EXTRA_OPENINGS));
    return fens;
}

// The generated moves that are legal, each made and tested.
std::vector<Move> PlainLegalMoves(const Position& pos) {
    Move moves[MAX_MOVES];
    const uint32_t count = GenerateMoves(pos, moves);
    std::vector<Move> legal;
    Position next;
    for (uint32_t i = 0; i < count; i++)
        if (apply_legal(next, pos, moves[i])) legal.push_back(moves[i]);
    return legal;
}

uint64_t PlainPerft(const Position& pos, int depth) {
    if (depth == 0) return 1;
    uint64_t nodes = 0;
    Position next;
    for (const Move m : PlainLegalMoves(pos)) {
        apply(next, pos, m);
        nodes += PlainPerft(next, depth - 1);
    }
    return nodes;
}

// The enemy pieces that attack the king of the side to move: each enemy piece
// alone keeps its colour, every other piece stays on the board as a blocker.
int Checkers(const Position& pos) {
    const Color us = pos.turn, them = static_cast<Color>(1 - us);
    const BB occ = pos.colors[WHITE] | pos.colors[BLACK];
    const BB king = pos.pieces[KING] & pos.colors[us];
    int checkers = 0;
    BB enemies = pos.colors[them] & ~pos.pieces[KING];
    while (enemies) {
        const BB piece = sbb(lsbpop(enemies));
        Position alone = pos;
        alone.colors[them] = piece;
        alone.colors[us] = occ & ~piece;
        checkers += (GenerateAttackBoard(alone, them) & king) != 0;
    }
    return checkers;
}

// How often the random games met each case where a shortcut could go wrong.
struct Coverage {
    int positions = 0, checks = 0, double_checks = 0, pinned_refused = 0, en_passant = 0, en_passant_rank_refused = 0,
        castling_attacked = 0, promotions = 0;
};

void Tally(const Position& pos, const std::vector<Move>& legal, Coverage& seen) {
    const Color us = pos.turn;
    const Square king = lsb(pos.pieces[KING] & pos.colors[us]);
    const bool check = !IsKingSafe(pos, us);
    seen.positions++;
    seen.checks += check;
    seen.double_checks += check && Checkers(pos) >= 2;
    Move moves[MAX_MOVES];
    const uint32_t count = GenerateMoves(pos, moves);
    bool pinned_refused = false, rank_refused = false, promotion = false;
    for (uint32_t i = 0; i < count; i++) {
        const Move m = moves[i];
        const bool ok = std::find(legal.begin(), legal.end(), m) != legal.end();
        promotion |= ok && move_is_promotion(m);
        if (move_type(m) == EP_CAPTURE) {
            seen.en_passant += ok;
            rank_refused |= !ok && !check && sq_rank(move_from(m)) == sq_rank(king);
        } else if (!ok && !check && move_from(m) != king) {
            pinned_refused = true;
        }
    }
    seen.pinned_refused += pinned_refused;
    seen.en_passant_rank_refused += rank_refused;
    seen.promotions += promotion;
    // A right with an empty path that the generator refuses for an attacked square.
    static const BB PATH[2][2] = {{0x60ULL, 0x0EULL}, {0x60ULL << 56, 0x0EULL << 56}};
    static const BB CROSSED[2][2] = {{0x60ULL, 0x0CULL}, {0x60ULL << 56, 0x0CULL << 56}};
    const BB occ = pos.colors[WHITE] | pos.colors[BLACK];
    const BB attacked = GenerateAttackBoard(pos, static_cast<Color>(1 - us));
    for (int side = 0; side < 2; side++) {
        const uint32_t right = side == 0 ? CASTLE_KING_SIDE : CASTLE_QUEEN_SIDE;
        seen.castling_attacked +=
            !check && (pos.castling[us] & right) && !(PATH[us][side] & occ) && (CROSSED[us][side] & attacked);
    }
}

// Seeded random games from every opening, each position handed to visit
// until it returns false.
template <typename Visit>
void RandomGames(int games_per_opening, int max_plies, uint32_t seed, Visit visit) {
    std::mt19937 rng(seed);
    for (const char* fen : Openings()) {
        History root_history;
        Position root = FenPosition(root_history, fen);
        for (int game = 0; game < games_per_opening; game++) {
            Position pos = root, next;
            std::string line = std::string(fen) + " moves";
            for (int ply = 0; ply < max_plies; ply++) {
                const std::vector<Move> legal = PlainLegalMoves(pos);
                if (!visit(pos, legal, line)) {
                    return;
                }
                if (legal.empty()) break;
                const Move m = legal[rng() % legal.size()];
                apply(next, pos, m);
                pos = next;
                line += " " + MoveText(m);
            }
        }
    }
}

TEST(PerftTest, CountLegalMovesMatchesTheMadeMovesOverRandomGames) {
    Coverage seen;
    RandomGames(100, 120, 13, [&](const Position& pos, const std::vector<Move>& legal, const std::string& line) {
        Tally(pos, legal, seen);
        EXPECT_EQ(CountLegalMoves(pos), legal.size()) << line;
        return !HasFailure();
    });
    // Not vacuous: every case the counter decides without a made move occurs.
    EXPECT_GT(seen.positions, 100000);
    EXPECT_GT(seen.checks, 4000);
    EXPECT_GT(seen.double_checks, 100);
    EXPECT_GT(seen.pinned_refused, 2500);
    EXPECT_GT(seen.en_passant, 200);
    EXPECT_GT(seen.en_passant_rank_refused, 60);
    EXPECT_GT(seen.castling_attacked, 800);
    EXPECT_GT(seen.promotions, 3000);
}

// The plies above the last skip the king-safety test for moves that cannot
// expose the king; the whole tree must still count as the plain one.
TEST(PerftTest, PerftMatchesThePlainTreeOverRandomGames) {
    int checked = 0;
    RandomGames(3, 60, 29, [&](const Position& pos, const std::vector<Move>&, const std::string& line) {
        if (checked++ % 11 != 0) return true;
        for (int depth = 0; depth <= 3; depth++) EXPECT_EQ(Perft(pos, depth), PlainPerft(pos, depth)) << line;
        return !HasFailure();
    });
    EXPECT_GT(checked, 1000);
}

}  // namespace

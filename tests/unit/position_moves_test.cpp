// Tests of the move list of the "position" command: long games are replayed
// exactly, and illegal or malformed move text refuses the whole command
// without touching the current game.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "test_util.h"
#include "uci/uci.h"

namespace {

using Texts = std::vector<std::string>;

// The legal move of pos written as text, or NULL_MOVE.
Move LegalMove(const Position& pos, const std::string& text) {
    Move moves[MAX_MOVES];
    const uint32_t count = GenerateMoves(pos, moves);
    Position next;
    for (uint32_t i = 0; i < count; i++)
        if (apply_legal(next, pos, moves[i]) && MoveText(moves[i]) == text) return moves[i];
    return NULL_MOVE;
}

// Plays the moves one by one with apply, as a GUI's game record would.
Position Replay(History& history, const char* fen, const Texts& moves) {
    Position pos = fen ? FenPosition(history, fen) : position(history);
    Position next;
    for (const std::string& text : moves) {
        const Move m = LegalMove(pos, text);
        if (m == NULL_MOVE) {
            ADD_FAILURE() << text << " is not legal";
            break;
        }
        apply(next, pos, m);
        pos = next;
    }
    return pos;
}

// A random legal game of exactly plies moves from the start position; seeds
// whose game ends early (mate or stalemate) are passed over.
Texts RandomGame(uint32_t seed, int plies) {
    for (;; seed++) {
        std::mt19937 rng(seed);
        History root_history;
        Position root = position(root_history);
        Position pos = root;
        Texts game;
        while (int(game.size()) < plies) {
            const Texts legal = LegalMoveTexts(pos);
            if (legal.empty()) break;
            game.push_back(legal[rng() % legal.size()]);
            Position next;
            apply(next, pos, LegalMove(pos, game.back()));
            pos = next;
        }
        if (int(game.size()) == plies) return game;
    }
}

std::string Join(const Texts& moves) {
    std::string out;
    for (const std::string& m : moves) out += " " + m;
    return out;
}

// Same board, rights, side, scores and the same hash history from the
// imported position on (plies slots back to slot 1, then the zero marker).
testing::AssertionResult SameGame(const Position& a, const Position& b, int plies) {
    if (memcmp(a.pieces, b.pieces, sizeof a.pieces) || memcmp(a.colors, b.colors, sizeof a.colors))
        return testing::AssertionFailure() << "board";
    if (a.castling[0] != b.castling[0] || a.castling[1] != b.castling[1] || a.turn != b.turn ||
        a.ep_square != b.ep_square)
        return testing::AssertionFailure() << "rights, side or en-passant square";
    if (memcmp(a.eval_mg, b.eval_mg, sizeof a.eval_mg) || memcmp(a.eval_eg, b.eval_eg, sizeof a.eval_eg) ||
        a.phase != b.phase)
        return testing::AssertionFailure() << "scores or phase";
    for (int k = 0; k <= plies; k++)
        if (a.hash[-k] != b.hash[-k]) return testing::AssertionFailure() << "history slot " << plies + 1 - k;
    if (a.hash[-plies - 1] != 0 || b.hash[-plies - 1] != 0) return testing::AssertionFailure() << "history start";
    return testing::AssertionSuccess();
}

TEST(PositionMovesTest, LongRandomGameIsReplayedExactly) {
    constexpr int PLIES = 400;
    const Texts game = RandomGame(1, PLIES);
    std::string line = "position startpos moves" + Join(game);
    History expected_history;
    Position expected = Replay(expected_history, nullptr, game);

    Game out;
    std::string copy = line;
    ASSERT_TRUE(UCIPosition(out, copy.data()));
    EXPECT_TRUE(SameGame(out.pos, expected, PLIES));

    Game current = NewGame();
    UCIDispatch(current, line.data(), stdout);
    EXPECT_TRUE(SameGame(current.pos, expected, PLIES));
}

TEST(PositionMovesTest, AcceptedMoveTexts) {
    const char* const PROMOTE = "k7/4P3/8/8/8/8/8/4K3 w - - 0 1";
    const char* const EP = "4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1";
    struct Case {
        const char* line;
        const char* fen;  // nullptr: the start position
        Texts moves;
    };
    const Case cases[] = {
        {"position startpos moves e2e4 e7e5 g1f3", nullptr, {"e2e4", "e7e5", "g1f3"}},
        {"position startpos moves", nullptr, {}},
        // Only tokens of four or five characters are moves.
        {"position startpos moves e2e4 x e7e5", nullptr, {"e2e4", "e7e5"}},
        {"position startpos moves e2e4  abc e7e5 abcdef", nullptr, {"e2e4", "e7e5"}},
        {"position startpos moves E2E4", nullptr, {"e2e4"}},
        {"position fen k7/4P3/8/8/8/8/8/4K3 w - - 0 1 moves e7e8Q", PROMOTE, {"e7e8q"}},
        {"position fen k7/4P3/8/8/8/8/8/4K3 w - - 0 1 moves e7e8n", PROMOTE, {"e7e8n"}},
        {"position fen k7/4P3/8/8/8/8/8/4K3 w - - 0 1 moves e7e8r", PROMOTE, {"e7e8r"}},
        // The FEN's en-passant field allows the capture as the first move.
        {"position fen 4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1 moves e5d6", EP, {"e5d6"}},
        {"position startpos moves e2e4 e7e6 e4e5 d7d5 e5d6", nullptr, {"e2e4", "e7e6", "e4e5", "d7d5", "e5d6"}},
        {"position startpos moves g1f3 g8f6 e2e4 e7e5 f1c4 f8c5 e1g1 e8g8",
         nullptr,
         {"g1f3", "g8f6", "e2e4", "e7e5", "f1c4", "f8c5", "e1g1", "e8g8"}},
    };
    for (const Case& c : cases) {
        std::string line = c.line;
        Game out;
        ASSERT_TRUE(UCIPosition(out, line.data())) << c.line;
        History expected_history;
        Position expected = Replay(expected_history, c.fen, c.moves);
        EXPECT_TRUE(SameGame(out.pos, expected, int(c.moves.size()))) << c.line;
    }
}

TEST(PositionMovesTest, IllegalOrMalformedMoveRefusesTheCommand) {
    const char* const lines[] = {
        "position startpos moves e2e5",
        "position startpos moves e2e4 e7e5 0000",
        "position startpos moves z9z9",
        "position startpos moves e7e5",       // Black's move with White to move
        "position startpos moves e2e4 d2d4",  // White twice
        "position startpos moves e1g1",       // castling through its own pieces
        "position fen r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1 moves e1f1 e8f8 f1e1 f8e8 e1g1",  // the king has moved
        "position fen k7/4P3/8/8/8/8/8/4K3 w - - 0 1 moves e7e8",  // promotion without its piece
        "position fen k7/4P3/8/8/8/8/8/4K3 w - - 0 1 moves e7e8k",
        "position fen k7/4P3/8/8/8/8/8/4K3 w - - 0 1 moves e7e8p",
        "position fen 4k3/8/8/3pP3/8/8/8/4K3 w - - 0 1 moves e5d6",    // no en-passant square
        "position startpos moves e2e4 e7e6 e4e5 d7d5 g1f3 a7a6 e5d6",  // en passant one move too late
        "position fen 4k3/4r3/8/8/8/8/4N3/4K3 w - - 0 1 moves e2c3",   // pinned knight
        "position startpos moves e2e4 e7e5 d1h5 e8e7 h5e5 e7f6",       // into check
        "position startpos moves e2e4 e7e5 e4e5",                      // pawn onto an occupied square
    };
    char played[] = "position startpos moves d2d4 g8f6";
    Game current = NewGame();
    UCIDispatch(current, played, stdout);
    const Position kept = current.pos;
    const Hash kept_hash = *current.pos.hash;
    for (const char* text : lines) {
        // Without its last move the line is accepted: that move is the fault.
        std::string line = text;
        line.resize(line.rfind(' '));
        Game out;
        EXPECT_TRUE(UCIPosition(out, line.data())) << line;

        line = text;
        const Hash* kept_block = out.history.get();
        const Position out_before = out.pos;
        EXPECT_FALSE(UCIPosition(out, line.data())) << text;
        EXPECT_EQ(memcmp(&out.pos, &out_before, sizeof out.pos), 0) << text;
        EXPECT_EQ(out.history.get(), kept_block) << text;

        line = text;
        UCIDispatch(current, line.data(), stdout);
        EXPECT_EQ(memcmp(&current.pos, &kept, sizeof kept), 0) << text;
        EXPECT_EQ(*current.pos.hash, kept_hash) << text;
    }
}

// The move list is read by move_parse and checked against the legal moves:
// every legal move's text, in either case, names exactly that move, and of all
// origin-target pairs (with each promotion letter) exactly the legal moves'
// texts are played.
TEST(PositionMovesTest, MoveTextNamesExactlyTheLegalMoves) {
    for (const char* fen : RICH_OPENINGS) {
        std::mt19937 rng(7);
        History root_history;
        Position root = FenPosition(root_history, fen);
        Position pos = root;
        for (int ply = 0; ply < 12; ply++) {
            const Texts legal = LegalMoveTexts(pos);
            if (legal.empty()) break;
            for (const std::string& text : legal) {
                std::string upper = text;
                for (char& c : upper) c = char(toupper(c));
                EXPECT_EQ(move_parse(pos, text.c_str()), LegalMove(pos, text)) << fen << " " << text;
                EXPECT_EQ(move_parse(pos, upper.c_str()), LegalMove(pos, text)) << fen << " " << upper;
            }
            for (int from = 0; from < 64; from++)
                for (int to = 0; to < 64; to++)
                    for (const char* promotion : {"", "q", "n", "k"}) {
                        std::string text = std::string(SQUARES[from]) + SQUARES[to] + promotion;
                        const bool listed = std::find(legal.begin(), legal.end(), text) != legal.end();
                        Position played = pos;
                        EXPECT_EQ(apply_moves(played, text.data()), listed) << fen << " " << text;
                    }
            Position next;
            apply(next, pos, LegalMove(pos, legal[rng() % legal.size()]));
            pos = next;
        }
    }
}

// The history must hold the game and the deepest search after it, so a longer
// list is refused rather than written past the block.
TEST(PositionMovesTest, MoveListLimit) {
    const Texts shuffle = {"g1f3", "g8f6", "f3g1", "f6g8"};
    Texts game;
    while (int(game.size()) < MAX_GAME_MOVES) game.push_back(shuffle[game.size() % 4]);

    std::string line = "position startpos moves" + Join(game);
    Game out;
    ASSERT_TRUE(UCIPosition(out, line.data()));
    History expected_history;
    Position expected = Replay(expected_history, nullptr, game);
    EXPECT_TRUE(SameGame(out.pos, expected, MAX_GAME_MOVES));

    line = "position startpos moves" + Join(game) + " " + shuffle[MAX_GAME_MOVES % 4];
    EXPECT_FALSE(UCIPosition(out, line.data()));
}

}  // namespace

// A rook that wandered to the other side's corner and leaves it again must not
// cost its own side castling: a GUI will send the castling move, and refusing
// it would leave the engine playing on a stale position.
TEST(PositionCommand, CastlingAfterOwnRookVisitsTheFarCorner) {
    std::string line = "position fen 1R6/7k/8/8/8/8/8/R3K3 w Q - 0 1 moves b8a8 h7g7 a8b8 g7h7 e1c1";
    Game game;
    ASSERT_TRUE(UCIPosition(game, line.data()));
    EXPECT_EQ(square_piece(game.pos, C1), KING);
    EXPECT_EQ(square_piece(game.pos, D1), ROOK);
}

// Tests of the pseudo-legal generators' exact order and of the attack queries
// (king safety, attack boards) that keep the king off attacked squares.
#include <string>
#include <vector>

#include "bit/bit.h"
#include "board/utility.h"
#include "test_util.h"

namespace {

using Texts = std::vector<std::string>;

struct Generated {
    std::vector<Move> moves;
    Texts texts;
};

// GenerateMoves (or GenerateCaptures) on a FEN, in generation order; the list
// is pseudo-legal, nothing is filtered.
Generated Generate(const char* fen, bool captures_only = false) {
    History pos_history;
    Position pos = FenPosition(pos_history, fen);
    Move moves[MAX_MOVES];
    const uint32_t count = captures_only ? GenerateCaptures(pos, moves) : GenerateMoves(pos, moves);
    Generated out;
    for (uint32_t i = 0; i < count; i++) {
        out.moves.push_back(moves[i]);
        out.texts.push_back(MoveText(moves[i]));
    }
    return out;
}

Texts MovesOf(const char* fen) { return Generate(fen).texts; }
Texts CapturesOf(const char* fen) { return Generate(fen, true).texts; }

std::vector<uint32_t> Flags(const std::vector<Move>& moves) {
    std::vector<uint32_t> flags;
    for (Move m : moves) flags.push_back(move_type(m));
    return flags;
}

TEST(MoveGenTest, StartPositionOrder) {
    EXPECT_EQ(MovesOf(START_FEN),
              (Texts{"a2a3", "b2b3", "c2c3", "d2d3", "e2e3", "f2f3", "g2g3", "h2h3", "a2a4", "b2b4",
                     "c2c4", "d2d4", "e2e4", "f2f4", "g2g4", "h2h4", "b1a3", "b1c3", "g1f3", "g1h3"}));
    const Generated gen = Generate(START_FEN);
    for (size_t i = 0; i < 8; i++) EXPECT_EQ(move_type(gen.moves[i]), QUIET) << gen.texts[i];
    for (size_t i = 8; i < 16; i++) EXPECT_EQ(move_type(gen.moves[i]), DOUBLE_PUSH) << gen.texts[i];
    EXPECT_TRUE(CapturesOf(START_FEN).empty());
}

// The ring walk lists a rook's moves by distance, quiet before captures at
// each distance, and closes a line at its first piece.
TEST(MoveGenTest, RookRingWalkOrder) {
    const char* fen = "7k/3p4/8/8/1n1R4/8/8/7K w - - 0 1";
    EXPECT_EQ(MovesOf(fen), (Texts{"h1g1", "h1g2", "h1h2", "d4d3", "d4c4", "d4e4", "d4d5", "d4d2", "d4f4", "d4d6",
                                   "d4b4", "d4d1", "d4g4", "d4d7", "d4h4"}));
    EXPECT_EQ(CapturesOf(fen), (Texts{"d4b4", "d4d7"}));
}

// A queen moves with the bishops along diagonals and with the rooks along
// ranks and files; each batch visits its movers lowest square first.
TEST(MoveGenTest, QueenJoinsBothSliderBatches) {
    const Generated gen = Generate("4k3/8/8/8/8/8/8/R1BQK2R w - - 0 1");
    std::vector<std::string> origins;
    for (Move m : gen.moves) {
        const std::string from = SQUARES[move_from(m)];
        if (from != "e1" && (origins.empty() || origins.back() != from)) origins.push_back(from);
    }
    EXPECT_EQ(origins, (Texts{"c1", "d1", "a1", "d1", "h1"}));
}

TEST(MoveGenTest, CapturesExampleAndQueenOrderInFullList) {
    const char* fen = "r6b/6rk/8/1n1p4/4P3/2N5/1B6/R2QK3 w - - 0 1";
    EXPECT_EQ(CapturesOf(fen), (Texts{"e4d5", "c3b5", "c3d5", "a1a8", "d1d5"}));
    EXPECT_EQ(MovesOf(fen),
              (Texts{"e4e5", "e4d5", "c3b1", "c3a2", "c3e2", "c3a4", "c3b5", "c3d5", "e1f1", "e1d2", "e1e2", "e1f2",
                     "d1c2", "d1e2", "d1b3", "d1f3", "d1a4", "d1g4", "d1h5", "b2c1", "b2a3", "a1b1", "a1a2", "a1c1",
                     "a1a3", "a1a4", "a1a5", "a1a6", "a1a7", "a1a8", "d1c1", "d1d2", "d1b1", "d1d3", "d1d4", "d1d5"}));
}

TEST(MoveGenTest, PromotionsStayTogetherKnightToQueen) {
    const char* fen = "k4r1r/6P1/8/8/8/8/8/K7 w - - 0 1";
    const Generated all = Generate(fen);
    ASSERT_GE(all.moves.size(), 12u);
    const std::vector<Move> pawn(all.moves.begin(), all.moves.begin() + 12);
    const Texts pawn_texts(all.texts.begin(), all.texts.begin() + 12);
    EXPECT_EQ(pawn_texts, (Texts{"g7g8n", "g7g8b", "g7g8r", "g7g8q", "g7f8n", "g7f8b", "g7f8r", "g7f8q", "g7h8n",
                                 "g7h8b", "g7h8r", "g7h8q"}));
    EXPECT_EQ(Flags(pawn), (std::vector<uint32_t>{8, 9, 10, 11, 12, 13, 14, 15, 12, 13, 14, 15}));
    EXPECT_EQ(Texts(all.texts.begin() + 12, all.texts.end()), (Texts{"a1b1", "a1a2", "a1b2"}));

    const Generated caps = Generate(fen, true);
    EXPECT_EQ(caps.texts, Texts(pawn_texts.begin() + 4, pawn_texts.end()));
    EXPECT_EQ(Flags(caps.moves), (std::vector<uint32_t>{12, 13, 14, 15, 12, 13, 14, 15}));
}

TEST(MoveGenTest, EnPassantFollowsOtherPawnCaptures) {
    const Generated with_ep = Generate("4k3/8/2n3n1/3PpP2/8/8/8/4K3 w - e6 0 1", true);
    EXPECT_EQ(with_ep.texts, (Texts{"d5c6", "f5g6", "d5e6", "f5e6"}));
    EXPECT_EQ(Flags(with_ep.moves), (std::vector<uint32_t>{CAPTURE, CAPTURE, EP_CAPTURE, EP_CAPTURE}));
    EXPECT_EQ(CapturesOf("4k3/8/2n3n1/3PpP2/8/8/8/4K3 w - - 0 1"), (Texts{"d5c6", "f5g6"}));
    // Black captures toward h1 as well; the victim stands above the target.
    EXPECT_EQ(CapturesOf("4k3/8/8/8/3pPp2/8/8/4K3 b - e3 0 1"), (Texts{"d4e3", "f4e3"}));
}

// A shifted pawn on the a- or h-file would land on the far side of the board.
TEST(MoveGenTest, PawnCapturesDoNotWrapAroundTheBoard) {
    for (const char* fen : {"4k3/8/8/8/P6n/8/8/4K3 w - - 0 1", "4k3/8/n7/8/7P/8/8/4K3 w - - 0 1",
                            "4k3/8/8/p7/8/7N/8/4K3 b - - 0 1", "4k3/8/8/N6p/8/8/8/4K3 b - - 0 1"}) {
        EXPECT_TRUE(CapturesOf(fen).empty()) << fen;
    }
}

TEST(MoveGenTest, BlackPawnPushesAndDoublePush) {
    // c7 is blocked by the knight on c6 and gets neither push.
    const Generated gen = Generate("4k3/1pp5/2N3p1/8/8/8/8/4K3 b - - 0 1");
    EXPECT_EQ(gen.texts, (Texts{"g6g5", "b7b6", "b7b5", "b7c6", "e8d7", "e8f7", "e8f8"}));
    EXPECT_EQ(Flags(gen.moves), (std::vector<uint32_t>{QUIET, QUIET, DOUBLE_PUSH, CAPTURE, QUIET, QUIET, QUIET}));
}

// The attack board stops the rook at the king, so the step back along the
// check line is generated and only the after-move test rejects it.
TEST(MoveGenTest, KingStepAlongCheckingLineLeftToLegalityTest) {
    const char* fen = "4r2k/8/8/8/8/8/4K3/8 w - - 0 1";
    EXPECT_EQ(MovesOf(fen), (Texts{"e2d1", "e2e1", "e2f1", "e2d2", "e2f2", "e2d3", "e2f3"}));
    History pos_history;
    Position pos = FenPosition(pos_history, fen);
    EXPECT_EQ(LegalMoveTexts(pos), (Texts{"e2d1", "e2f1", "e2d2", "e2f2", "e2d3", "e2f3"}));
}

TEST(MoveGenTest, CastlingConditions) {
    struct Case {
        const char* fen;
        Texts castles;
        const char* why;
    };
    const Case cases[] = {
        {"4k3/8/8/8/8/8/8/4K2R w K - 0 1", {"e1g1"}, "free and unattacked path"},
        {"4k3/8/b7/8/8/8/8/4K2R w K - 0 1", {}, "f1 attacked"},
        {"4k1r1/8/8/8/8/8/8/4K2R w K - 0 1", {}, "g1 attacked"},
        {"4k3/8/8/8/8/8/8/4KN1R w K - 0 1", {}, "f1 occupied"},
        {"1r2k3/8/8/8/8/8/8/R3K3 w Q - 0 1", {"e1c1"}, "b1 attacked but empty"},
        {"4k3/8/8/8/8/8/8/RN2K3 w Q - 0 1", {}, "b1 occupied"},
        {"2r1k3/8/8/8/8/8/8/R3K3 w Q - 0 1", {}, "c1 attacked"},
        {"4k3/8/8/8/8/8/8/R3K2R w KQ - 0 1", {"e1g1", "e1c1"}, "king side first"},
        {"1k2r3/8/8/8/8/8/8/R3K2R w KQ - 0 1", {}, "king in check"},
        {"4k3/8/8/8/8/8/8/R3K2R w - - 0 1", {}, "no rights"},
        {"r3k2r/8/8/8/8/8/8/4K3 b kq - 0 1", {"e8g8", "e8c8"}, "black"},
        {"r3k2r/8/8/8/8/8/8/4K3 b q - 0 1", {"e8c8"}, "black queen side only"},
    };
    for (const Case& c : cases) {
        const Generated gen = Generate(c.fen);
        Texts castles;
        for (size_t i = 0; i < gen.moves.size(); i++) {
            const uint32_t flag = move_type(gen.moves[i]);
            if (flag == KING_CASTLE || flag == QUEEN_CASTLE) {
                castles.push_back(gen.texts[i]);
                EXPECT_EQ(flag, gen.texts[i][2] == 'g' ? KING_CASTLE : QUEEN_CASTLE) << c.why;
            }
        }
        EXPECT_EQ(castles, c.castles) << c.why << ": " << c.fen;
    }
}

TEST(MoveGenTest, KingAloneAgainstQueenHasNoMove) { EXPECT_TRUE(MovesOf("7k/8/8/8/8/8/5q2/7K w - - 0 1").empty()); }

// The capture list has no attack map, so the king may take a defended piece;
// the full list keeps it off the defended square.
TEST(MoveGenTest, KingCaptureOfDefendedPieceOnlyInCaptureList) {
    const char* fen = "4r2k/8/8/8/8/8/4p3/4K3 w - - 0 1";
    EXPECT_EQ(CapturesOf(fen), (Texts{"e1e2"}));
    EXPECT_EQ(MovesOf(fen), (Texts{"e1d2", "e1f2"}));
}

TEST(AttackTest, IsKingSafe) {
    struct Case {
        const char* fen;
        bool safe;
    };
    const Case cases[] = {
        {"4k3/8/8/8/8/8/3p4/4K3 w - - 0 1", false},  // pawn d2 attacks e1
        {"4k3/8/8/8/8/8/4p3/4K3 w - - 0 1", true},   // pawn e2 does not
        {"4r2k/8/8/8/4N3/8/8/4K3 w - - 0 1", true},  // own knight blocks the rook
        {"4r2k/8/8/8/8/8/8/4K3 w - - 0 1", false},   // open file
        {"4r2k/8/8/4n3/8/8/8/4K3 w - - 0 1", true},  // enemy knight blocks, attacks nothing
        {"7k/8/8/b7/8/8/8/4K3 w - - 0 1", false},    // long diagonal
        {"7k/8/8/b7/8/8/3P4/4K3 w - - 0 1", true},   // pawn on d2 blocks it
        {"7k/8/8/8/8/8/8/R3K2r w - - 0 1", false},   // own rook beyond the king is irrelevant
        {"k7/8/8/8/8/8/8/4K1rR w - - 0 1", false},   // rook two squares away
        {"7k/8/8/8/8/8/2q5/4K3 w - - 0 1", true},    // queen on no line through e1
        {"7k/8/8/8/1q6/8/8/4K3 w - - 0 1", false},   // queen on a diagonal
        {"7k/8/8/8/8/3n4/8/4K3 w - - 0 1", false},   // knight
        {"4r2k/8/8/4b3/8/8/8/4K3 w - - 0 1", true},  // enemy bishop closes the file
        {"4k3/3P4/8/8/8/8/8/4K3 b - - 0 1", false},  // white pawn d7 attacks e8
        {"4k3/4P3/8/8/8/8/8/4K3 b - - 0 1", true},   // white pawn e7 does not
    };
    for (const Case& c : cases) {
        History pos_history;
        Position pos = FenPosition(pos_history, c.fen);
        EXPECT_EQ(IsKingSafe(pos, pos.turn), c.safe) << c.fen;
    }
}

// Positions that import refuses (touching kings, a side without a king) are
// built piece by piece.
TEST(AttackTest, IsKingSafeIgnoresKingsAndAnswersTrueWithoutKing) {
    Position pos{};
    Hash slot[2] = {0, 0};
    pos.hash = &slot[1];
    place_piece(pos, WHITE, E1, KING);
    place_piece(pos, BLACK, E2, KING);
    EXPECT_TRUE(IsKingSafe(pos, WHITE));
    EXPECT_TRUE(IsKingSafe(pos, BLACK));

    remove_piece(pos, WHITE, E1, KING);
    place_piece(pos, BLACK, E8, ROOK);
    place_piece(pos, BLACK, D2, PAWN);
    EXPECT_TRUE(IsKingSafe(pos, WHITE));
}

TEST(AttackTest, AttackBoards) {
    History start_history;
    Position start = position(start_history);
    EXPECT_EQ(GenerateAttackBoard(start, BLACK), (0xFFFFULL << 40) | (0x7EULL << 56));
    EXPECT_EQ(GenerateAttackBoard(start, WHITE), 0xFFFF00ULL | 0x7EULL);

    // Occupied squares count when attacked, and the rook's line stops at the
    // king it checks: e3 behind the king stays out.
    History check_history;
    Position check = FenPosition(check_history, "4r2k/8/8/8/4K3/8/8/8 w - - 0 1");
    EXPECT_EQ(GenerateAttackBoard(check, BLACK), Set({E7, E6, E5, E4, A8, B8, C8, D8, F8, G8, H8, G7, H7}));
    EXPECT_EQ(GenerateAttackBoard(check, WHITE), Set({D3, E3, F3, D4, F4, D5, E5, F5}));
}

}  // namespace

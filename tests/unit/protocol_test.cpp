// Tests of the command loop, run against the built engine: handshake replies,
// ignored lines, line ends and over-long lines, and "position" commands
// observed through the move a short search answers with.
#include <algorithm>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "test_util.h"
#include "uci/version.h"

namespace {

const std::string HANDSHAKE = std::string("id name ") + ENGINE_ID + "\nid author " + ENGINE_AUTHOR + "\nuciok\n";

// White king a1 in check from an undefended queen on b2: Kxb2 is the only
// legal move, so any search here answers a1b2 and no other position does.
const char* const ONE_MOVE = "position fen k7/8/8/8/8/8/1q6/K7 w - - 0 1";

std::vector<std::string> Bestmoves(const std::string& out) {
    std::vector<std::string> moves;
    for (const std::string& line : Lines(out))
        if (line.rfind("bestmove ", 0) == 0) moves.push_back(line.substr(9));
    return moves;
}

TEST(ProtocolProcessTest, ExactRepliesToTheHandshakes) {
    const struct {
        const char* input;
        std::string out;
    } cases[] = {
        {"uci\nisready\nquit\n", std::string(HANDSHAKE) + "readyok\n"},
        {"uci\r\nisready\r\nquit\r\n", std::string(HANDSHAKE) + "readyok\n"},
        {"isready\rjunk\n", "readyok\n"},
        // No reply at all to these, and "quit now" does not end the loop.
        {"uci \nUCI\n isready\nISREADY\nquit now\nxposition startpos\n\nstop\nsetoption name X value 1\n"
         "debug on\nponderhit\nucinewgamex\nisready\n",
         "readyok\n"},
        // Nothing after "quit" is read.
        {"isready\nquit\nisready\nuci\n", "readyok\n"},
        // End of input ends the program too, even mid-line.
        {"isready", "readyok\n"},
        {"", ""},
    };
    for (const auto& c : cases) {
        const ProcessResult r = RunEngine(c.input);
        EXPECT_EQ(r.out, c.out) << c.input;
        EXPECT_EQ(r.status, 0) << c.input;
    }
}

// A line longer than the buffer arrives in pieces of 8191 characters, each a
// command of its own: only a piece that is a command on its own is answered.
TEST(ProtocolProcessTest, OverLongLinesAreHandledInPieces) {
    const std::string x8191(8191, 'x');
    const struct {
        std::string input;
        std::string out;
    } cases[] = {
        {std::string(10000, 'x') + "\nisready\n", "readyok\n"},
        {"isready" + std::string(9993, 'x') + "\nisready\n", "readyok\n"},
        {x8191 + "isready\n", "readyok\n"},
        {x8191 + "x" + "isready\n", ""},
        {x8191 + "quit\nisready\n", ""},
        {x8191 + "xquit\nisready\n", "readyok\n"},
    };
    for (const auto& c : cases) {
        const ProcessResult r = RunEngine(c.input);
        EXPECT_EQ(r.out, c.out) << c.input.size() << " characters: ..." << c.input.substr(8185);
        EXPECT_EQ(r.status, 0);
    }
    // 10000 characters: 8191 of padding, then a "go" command of 1809.
    std::string go = "go movetime 1";
    go += std::string(1809 - go.size(), ' ');
    const ProcessResult r = RunEngine(std::string(ONE_MOVE) + "\n" + x8191 + go + "\n");
    EXPECT_EQ(Bestmoves(r.out), std::vector<std::string>{"a1b2"}) << r.out;
}

// Every refused "position" command keeps the position set before it.
TEST(ProtocolProcessTest, RefusedPositionCommandsKeepThePosition) {
    const std::vector<std::string> refused = {
        "position",
        "position fen",
        "position fen ",
        "position moves e2e4",
        "position fen 8/8/8/8/8/8/8/8 w - - 0 1",
        "position fen k7/8/8/8/8/8/1q6/K7 x - - 0 1",
        "position fen k7/8/8/8/8/8/1q6/K7",
        "position fen k7/8/8/8/8/8/1q6/K0 w - - 0 1",
        "position fen k7/8/8/8/8/8/1q6/K8 w - - 0 1",
        "position fen k7/8/8/8/8/8/1q6 w - - 0 1",
        "position fen k7/8/8/8/8/8/1q6/K7 b - - 0 1",
        "position startpos moves e2e5",
        "position startpos moves e7e5",
        "position startpos moves e2e4 e7e5 e1e3",
        "position startpos moves e2e4 0000",
        "position startpos moves e7e8Q",
        "position fen k7/8/8/8/8/8/2q5/K7 b - - 0 1 moves c2b2 a1a2",
        "xposition startpos",
        "ucinewgame now",
    };
    std::string input = std::string(ONE_MOVE) + "\n";
    for (const std::string& line : refused) input += line + "\ngo movetime 1\n";
    const ProcessResult r = RunEngine(input);
    EXPECT_EQ(r.status, 0);
    const std::vector<std::string> moves = Bestmoves(r.out);
    ASSERT_EQ(moves.size(), refused.size()) << r.out;
    for (size_t i = 0; i < refused.size(); i++) EXPECT_EQ(moves[i], "a1b2") << refused[i];
}

// Accepted commands replace the position; each case's answer is legal there
// (and only there, where the position has a single legal move).
TEST(ProtocolProcessTest, AcceptedPositionCommandsSetThePosition) {
    const struct {
        const char* line;
        const char* fen;
        const char* only_move;
    } cases[] = {
        {"position fen k7/8/8/8/8/8/2q5/K7 b - - 0 1 moves c2b2", nullptr, "a1b2"},
        {"position fen k7/8/8/8/8/8/2q5/K7 b - - 0 1 moves c2c1", nullptr, "a1a2"},
        {"position fen k7/8/8/8/8/8/2q5/K7 b - - 0 1 moves c2b2 a1b2 a8b7", nullptr, nullptr},
        {"position fen   k7/8/8/8/8/8/2q5/K7  b  -  -  0  1  moves  c2c1  ", nullptr, "a1a2"},
        {"position fen 8/8/8/8/8/8/8/K6k w - - 0 1", "8/8/8/8/8/8/8/K6k w - - 0 1", nullptr},
        {"position startpos", START_FEN, nullptr},
        {"positionx startpos", START_FEN, nullptr},
        {"position fen k7/8/8/8/8/8/1q6/K7 b - - 0 1 startpos", START_FEN, nullptr},
        {"ucinewgame", START_FEN, nullptr},
        {"position startpos moves e2e4 e7e5 g1f3 b8c6 f1b5 a7a6 b5c6 d7c6 e1g1",
         "r1bqkbnr/1pp2ppp/p1p5/4p3/4P3/5N2/PPPP1PPP/RNBQ1RK1 b kq - 0 5", nullptr},
    };
    for (const auto& c : cases) {
        // From the single-move position, so an ignored command shows as a1b2.
        const ProcessResult r = RunEngine(std::string(ONE_MOVE) + "\n" + c.line + "\ngo movetime 1\n");
        const std::vector<std::string> moves = Bestmoves(r.out);
        ASSERT_EQ(moves.size(), 1u) << c.line << "\n" << r.out;
        if (c.only_move) {
            EXPECT_EQ(moves[0], c.only_move) << c.line;
            continue;
        }
        if (!c.fen) {
            // King against king after the capture sequence: no a1 king left.
            EXPECT_EQ(moves[0].substr(0, 2), "b2") << c.line;
            continue;
        }
        History pos_history;
        Position pos = FenPosition(pos_history, c.fen);
        const std::vector<std::string> legal = LegalMoveTexts(pos);
        EXPECT_NE(std::find(legal.begin(), legal.end(), moves[0]), legal.end()) << c.line << " -> " << moves[0];
    }
}

// The README quotes the id line and names the archives and packages after the
// version; both must be the engine's own.
TEST(ProtocolTest, ReadmeQuotesTheEnginesIdAndVersion) {
    std::ifstream in(TARVIK_SOURCE_DIR "/README.md");
    std::stringstream text;
    text << in.rdbuf();
    const std::string readme = text.str();
    ASSERT_FALSE(readme.empty());
    EXPECT_NE(readme.find(std::string("< id name ") + ENGINE_ID + "\n"), std::string::npos);
    const std::regex mentions("tarvik[-_ ]([0-9][0-9.]*)[-_ ]");
    int count = 0;
    for (auto it = std::sregex_iterator(readme.begin(), readme.end(), mentions); it != std::sregex_iterator(); ++it) {
        EXPECT_EQ((*it)[1].str(), ENGINE_VERSION) << (*it)[0].str();
        count++;
    }
    EXPECT_GE(count, 4);
}

}  // namespace

// Stress driver: plays random legal games into one long-running engine process
// and checks every "bestmove" it answers, its memory and its exit.
//
// tarvik-stress [--cycles N] [--seed S] [--max-rss-growth-kb K] [--valgrind-log F] -- COMMAND...
// COMMAND is the engine, possibly under valgrind writing its log to F. Each cycle
// sends "position startpos moves <a random game of up to 600 plies>" and
// "go movetime 1"; the reply must be progress lines and a legal bestmove
// ("0000" only when the game ended in mate or stalemate). With a growth limit,
// the engine's resident size after the whole run may exceed the size after the
// first tenth of the cycles by at most K kilobytes. With a valgrind log, at
// most one block may be lost: the position still current when the program
// ends, which it leaves to the system; a leak per command would lose hundreds.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "args.h"
#include "child_process.h"
#include "move_texts.h"
#include "position/position.h"
#include "tables/init.h"
#include "uci/uci.h"

namespace {

constexpr int MAX_PLIES = 600;
constexpr int REPLY_TIMEOUT_MS = 120000;

long ResidentKb(pid_t pid) {
    const std::string path = "/proc/" + std::to_string(pid) + "/status";
    FILE* f = fopen(path.c_str(), "r");
    if (!f) return -1;
    char line[256];
    long kb = -1;
    while (fgets(line, sizeof line, f))
        if (sscanf(line, "VmRSS: %ld kB", &kb) == 1) break;
    fclose(f);
    return kb;
}

uint64_t NextRandom(uint64_t& state) {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return state;
}

// A random legal game from the start, cut at MAX_PLIES or where no move is
// left; gives its move list and the legal replies of its last position.
std::string RandomGame(uint64_t& rng, std::vector<std::string>& final_legal) {
    History history;
    Position line[2];
    line[0] = position(history);
    std::string moves;
    for (int ply = 0;; ply++) {
        const Position& cur = line[ply & 1];
        final_legal = LegalMoveTexts(cur);
        if (ply == MAX_PLIES || final_legal.empty()) break;
        const std::string& pick = final_legal[NextRandom(rng) % final_legal.size()];
        moves += " " + pick;
        std::string text = pick;
        Position next = cur;
        apply_moves(next, text.data());
        line[(ply + 1) & 1] = next;
    }
    return moves;
}

// Blocks that valgrind's leak summary counts as definitely or indirectly lost.
long LostBlocks(const char* log_path) {
    FILE* f = fopen(log_path, "r");
    if (!f) return -1;
    char line[512];
    long blocks = 0;
    bool summary = false;
    while (fgets(line, sizeof line, f)) {
        if (strstr(line, "LEAK SUMMARY") || strstr(line, "no leaks are possible")) summary = true;
        const char* kind = strstr(line, "definitely lost:");
        if (!kind) kind = strstr(line, "indirectly lost:");
        const char* in = kind ? strstr(kind, " in ") : nullptr;
        if (!in) continue;
        std::string digits;
        for (const char* p = in + 4; (*p >= '0' && *p <= '9') || *p == ','; p++)
            if (*p != ',') digits += *p;
        blocks += atol(digits.c_str());
    }
    fclose(f);
    return summary ? blocks : -1;
}

int Fail(ChildProcess& engine, int cycle, const std::string& what) {
    fprintf(stderr, "cycle %d: %s\n", cycle, what.c_str());
    KillChild(engine);
    printf("0 passed, 1 failed\n");
    return 1;
}

const char* const FORMS[] = {
    "[--cycles N] [--seed S] [--max-rss-growth-kb K] [--valgrind-log F] -- COMMAND...",
};

const Option OPTIONS[] = {
    {"--cycles", "", NUMBER, "N", 1, 1000000, "games to send (default 1000)"},
    {"--seed", "", NUMBER, "S", 1, UINT64_MAX, "the random games' seed (default 1)"},
    {"--max-rss-growth-kb", "", NUMBER, "K", 0, 1u << 30,
     "fail when the engine's resident size grows by more\nthan K kB after the first tenth of the cycles"},
    {"--valgrind-log", "", TEXT, "F", 0, 0, "fail when valgrind's log F counts more than one lost block"},
    {"--help", "-h", FLAG, "", 0, 0, "print this text and exit"},
    {"--version", "", FLAG, "", 0, 0, "print the version and exit"},
};

const Program PROGRAM = {"tarvik-stress", FORMS, "", OPTIONS, "", 0, true, false};

}  // namespace

int main(int argc, char** argv) {
    Arguments args;
    const ParseOutcome outcome = ParseArguments(PROGRAM, argc, argv, args);
    if (outcome != PARSED) return outcome == ANSWERED ? 0 : 2;
    if (args.positional.empty()) return UsageError(PROGRAM, "no COMMAND after --", "");
    const Given& cycles_given = Value(PROGRAM, args, "--cycles");
    const Given& seed_given = Value(PROGRAM, args, "--seed");
    const Given& growth_given = Value(PROGRAM, args, "--max-rss-growth-kb");
    const int cycles = cycles_given.given ? int(cycles_given.number) : 1000;
    const uint64_t seed = seed_given.given ? seed_given.number : 1;
    const long max_growth_kb = growth_given.given ? long(growth_given.number) : -1;
    const Given& log_given = Value(PROGRAM, args, "--valgrind-log");
    const char* valgrind_log = log_given.given ? log_given.text : nullptr;
    Init();

    ChildProcess engine;
    if (!StartChild(engine, std::vector<std::string>(args.positional.begin(), args.positional.end())))
        return Fail(engine, 0, "cannot start the engine");
    uint64_t rng = seed;
    long warm_kb = -1, peak_plies = 0, ended = 0;
    for (int cycle = 1; cycle <= cycles; cycle++) {
        std::vector<std::string> legal;
        const std::string moves = RandomGame(rng, legal);
        const long plies = long(std::count(moves.begin(), moves.end(), ' '));
        peak_plies = std::max(peak_plies, plies);
        if (legal.empty()) ended++;
        if (!SendText(engine, "position startpos moves" + moves + "\ngo movetime 1\n", REPLY_TIMEOUT_MS))
            return Fail(engine, cycle, "cannot send the game (engine died or hung)");

        std::string line;
        for (;;) {
            if (!ReadLine(engine, line, REPLY_TIMEOUT_MS))
                return Fail(engine, cycle, "no bestmove (engine died or hung)");
            if (line.rfind("info depth ", 0) == 0) continue;
            if (line.rfind("bestmove ", 0) != 0) return Fail(engine, cycle, "unexpected line: " + line);
            break;
        }
        const std::string best = line.substr(9);
        const bool ok = legal.empty() ? best == "0000" : std::find(legal.begin(), legal.end(), best) != legal.end();
        if (!ok) return Fail(engine, cycle, "bestmove " + best + " is not legal after:" + moves);
        if (cycle == std::max(1, cycles / 10)) warm_kb = ResidentKb(engine.pid);
    }
    const long end_kb = ResidentKb(engine.pid);

    SendLine(engine, "quit", REPLY_TIMEOUT_MS);
    const int status = WaitChild(engine, REPLY_TIMEOUT_MS);
    printf(
        "%d cycles, longest game %ld plies, %ld ended in mate or stalemate; resident %ld kB after %d cycles, "
        "%ld kB at the end\n",
        cycles, peak_plies, ended, warm_kb, std::max(1, cycles / 10), end_kb);
    if (status != 0) return Fail(engine, cycles, "engine ended with status " + std::to_string(status));
    if (max_growth_kb >= 0 && (warm_kb < 0 || end_kb < 0 || end_kb - warm_kb > max_growth_kb))
        return Fail(engine, cycles, "resident size grew by " + std::to_string(end_kb - warm_kb) + " kB");
    if (valgrind_log) {
        const long lost = LostBlocks(valgrind_log);
        if (lost < 0 || lost > 1)
            return Fail(engine, cycles,
                        "valgrind: " + std::to_string(lost) + " blocks lost (see " + valgrind_log + ")");
    }
    printf("%d passed, 0 failed\n", cycles);
    return 0;
}

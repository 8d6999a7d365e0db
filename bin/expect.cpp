// Expected search results: the reader, the search again and the comparison.
#include "expect.h"

#include "search/search.h"
#include "uci/uci.h"

namespace {

// The length of a " nps N" or " time N" field starting at text[at], 0 when
// none starts there.
size_t TimedFieldLength(std::string_view text, size_t at) {
    for (std::string_view name : {std::string_view(" nps "), std::string_view(" time ")}) {
        if (text.compare(at, name.size(), name) != 0) continue;
        size_t end = at + name.size();
        while (end < text.size() && text[end] >= '0' && text[end] <= '9') end++;
        if (end > at + name.size()) return end - at;
    }
    return 0;
}

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

// Prints the lines where want and found differ, position by position: the
// replies have one line per depth, so a changed depth shows as one pair.
void PrintDifference(const std::vector<std::string>& want, const std::vector<std::string>& found, FILE* out) {
    for (size_t i = 0; i < want.size() || i < found.size(); i++) {
        if (i < want.size() && i < found.size() && want[i] == found[i]) continue;
        if (i < want.size()) fprintf(out, "- %s\n", want[i].c_str());
        if (i < found.size()) fprintf(out, "+ %s\n", found[i].c_str());
    }
}

}  // namespace

std::string Untimed(std::string_view line) {
    std::string out;
    out.reserve(line.size());
    for (size_t i = 0; i < line.size();) {
        if (const size_t cut = TimedFieldLength(line, i)) {
            i += cut;
        } else {
            out += line[i++];
        }
    }
    return out;
}

std::vector<ExpectedBlock> ReadExpected(std::istream& in) {
    std::vector<ExpectedBlock> blocks;
    bool open = false;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) {
            open = false;
        } else if (line[0] == '#') {
            continue;
        } else if (!open) {
            blocks.push_back({line, {}});
            open = true;
        } else {
            blocks.back().reply.push_back(line);
        }
    }
    return blocks;
}

uint32_t ExpectedDepth(const ExpectedBlock& block) {
    for (auto line = block.reply.rbegin(); line != block.reply.rend(); ++line) {
        unsigned depth = 0;
        if (sscanf(line->c_str(), "info depth %u", &depth) == 1) return depth;
    }
    return 0;
}

std::vector<std::string> SearchReply(const Position& pos, uint32_t max_depth) {
    // A temporary file rather than a memory stream: the C library of every
    // target has one.
    FILE* text = tmpfile();
    if (!text) return {};
    UCIBestMove(FindBestMove(pos, NO_BUDGET, max_depth, UCIReportDepth, text), text);
    rewind(text);
    std::vector<std::string> reply;
    std::string line;
    for (int c; (c = fgetc(text)) != EOF;) {
        if (c != '\n') {
            line += char(c);
            continue;
        }
        reply.push_back(Untimed(line));
        line.clear();
    }
    fclose(text);
    return reply;
}

ExpectedTally CheckExpected(const std::vector<ExpectedBlock>& blocks, FILE* out) {
    ExpectedTally tally;
    for (const ExpectedBlock& block : blocks) {
        const uint32_t depth = ExpectedDepth(block);
        std::string command = block.command;
        Game game;
        const char* refused = nullptr;
        if (!StartsWith(block.command, "position ")) {
            refused = "not a \"position\" line";
        } else if (depth == 0 || depth > MAX_DEPTH || block.reply.empty() ||
                   !StartsWith(block.reply.back(), "bestmove ")) {
            refused = "no progress line to take the depth from, or no bestmove line";
        } else if (!UCIPosition(game, command.data())) {
            refused = "the position is refused";
        }
        if (refused) {
            fprintf(out, "FAIL %s: %s\n", block.command.c_str(), refused);
            tally.failed++;
            continue;
        }
        const std::vector<std::string> found = SearchReply(game.pos, depth);
        if (found == block.reply) {
            tally.matched++;
            continue;
        }
        fprintf(out, "FAIL %s (depth %u)\n", block.command.c_str(), depth);
        PrintDifference(block.reply, found, out);
        tally.failed++;
    }
    if (tally.failed)
        fprintf(out, "%d expected results matched, %d failed\n", tally.matched, tally.failed);
    else
        fprintf(out, "%d expected results matched\n", tally.matched);
    return tally;
}

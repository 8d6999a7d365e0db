// The perft program's own arithmetic: the EPD suite checker and the command
// line agree that the tree of depth 0 is one leaf.
#include <cstdio>
#include <string>

#include "test_util.h"

namespace {

std::string WriteEpd(const std::string& text) {
    char path[] = "/tmp/tarvik_test_epdXXXXXX";
    const int fd = mkstemp(path);
    FILE* f = fdopen(fd, "w");
    fputs(text.c_str(), f);
    fclose(f);
    return path;
}

TEST(PerftProgramTest, DepthZeroIsOneLeaf) {
    const std::string start = START_FEN;
    const struct {
        std::string epd;
        int status;
        const char* summary;
    } cases[] = {
        {start + ";D0 1 ;D1 20 ;D2 400\n", 0, "3 passed, 0 failed"},
        {start + ";D0 20\n", 1, "0 passed, 1 failed"},
        {"4k3/8/8/8/8/8/8/4K2R w K - 0 1 ;D0 1 ;D1 15\n", 0, "2 passed, 0 failed"},
    };
    for (const auto& c : cases) {
        const std::string path = WriteEpd(c.epd);
        const ProcessResult run = RunProgram("tarvik-perft", "--epd " + path, "");
        remove(path.c_str());
        EXPECT_EQ(run.status, c.status) << c.epd << run.out;
        EXPECT_NE(run.out.find(c.summary), std::string::npos) << c.epd << run.out;
    }
    const ProcessResult zero = RunProgram("tarvik-perft", "0", "");
    EXPECT_EQ(zero.status, 0);
    EXPECT_NE(zero.out.find("Nodes: 1\n"), std::string::npos) << zero.out;
}

}  // namespace

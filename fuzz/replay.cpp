// Stand-in for the fuzzer's own main in builds without libFuzzer: runs a fuzz
// target once on every file given (directories are read file by file), so the
// seed corpus and every past finding are replayed by the test suite.
#include <dirent.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv);
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

bool ReadFile(const std::string& path, std::vector<uint8_t>& bytes) {
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return false;
    bytes.clear();
    uint8_t buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) bytes.insert(bytes.end(), buf, buf + n);
    fclose(f);
    return true;
}

void Collect(const std::string& path, std::vector<std::string>& files) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return;
    if (!S_ISDIR(st.st_mode)) {
        files.push_back(path);
        return;
    }
    DIR* dir = opendir(path.c_str());
    if (!dir) return;
    while (const dirent* entry = readdir(dir))
        if (entry->d_name[0] != '.') Collect(path + "/" + entry->d_name, files);
    closedir(dir);
}

}  // namespace

int main(int argc, char** argv) {
    LLVMFuzzerInitialize(&argc, &argv);
    std::vector<std::string> files;
    for (int i = 1; i < argc; i++) Collect(argv[i], files);
    std::vector<uint8_t> bytes;
    for (const std::string& path : files) {
        if (!ReadFile(path, bytes)) {
            fprintf(stderr, "cannot read %s\n", path.c_str());
            return 1;
        }
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    }
    // A finding aborts inside the target, so reaching here means all passed.
    printf("%zu passed, 0 failed\n", files.size());
    return files.empty() ? 1 : 0;
}

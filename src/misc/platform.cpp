// The system-specific parts behind platform.h: the only place that tells
// Windows from POSIX.
#include "misc/platform.h"

#include <cstdlib>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <sys/resource.h>
#endif

#ifdef _WIN32

// The stack was reserved by the linker. Standard input is read in binary
// mode: in text mode the C library takes a Ctrl-Z byte for the end of input
// and would end the session where Linux reads on; "\r\n" arrives whole and
// the command reader cuts the "\r" as it does on Linux. Standard output stays
// in text mode, writing "\n" as the "\r\n" Windows GUIs expect.
void PlatformInit() { _setmode(_fileno(stdin), _O_BINARY); }

namespace {

// No memory stream in the Windows C library: a temporary file that is deleted
// when closed ("D") and kept in the file cache where possible ("T").
FILE* open_stream(Capture&) {
    char* name = _tempnam(nullptr, "tarvik");
    FILE* file = name ? fopen(name, "w+bTD") : nullptr;
    free(name);
    return file;
}

bool read_stream(Capture& capture) {
    FILE* file = capture.file;
    bool ok = fflush(file) == 0 && fseek(file, 0, SEEK_END) == 0;
    const long size = ok ? ftell(file) : -1;
    ok = ok && size >= 0 && fseek(file, 0, SEEK_SET) == 0;
    capture.size = ok ? size_t(size) : 0;
    capture.text = static_cast<char*>(malloc(capture.size + 1));
    ok = ok && capture.text && fread(capture.text, 1, capture.size, file) == capture.size;
    if (capture.text) capture.text[capture.size] = '\0';
    return fclose(file) == 0 && ok;
}

}  // namespace

#else

// The shell may have set a small stack limit; the main thread's stack grows on
// demand up to the limit, so raising it here is enough.
void PlatformInit() {
    rlimit limit;
    if (getrlimit(RLIMIT_STACK, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur >= SEARCH_STACK_BYTES)
        return;
    const bool room = limit.rlim_max == RLIM_INFINITY || limit.rlim_max >= SEARCH_STACK_BYTES;
    limit.rlim_cur = room ? SEARCH_STACK_BYTES : limit.rlim_max;
    setrlimit(RLIMIT_STACK, &limit);
}

namespace {

FILE* open_stream(Capture& capture) { return open_memstream(&capture.text, &capture.size); }

bool read_stream(Capture& capture) { return fclose(capture.file) == 0 && capture.text; }

}  // namespace

#endif

Capture capture_open() {
    Capture capture = {nullptr, nullptr, 0};
    capture.file = open_stream(capture);
    if (!capture.file) {
        fputs("tarvik: cannot open a stream to capture the search output\n", stderr);
        exit(1);
    }
    return capture;
}

char* capture_close(Capture& capture) {
    if (!read_stream(capture)) {
        fputs("tarvik: cannot read back the captured search output\n", stderr);
        exit(1);
    }
    capture.file = nullptr;
    return capture.text;
}

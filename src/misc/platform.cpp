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

// No memory stream in the Windows C library: a temporary file that is deleted
// when closed ("D") and kept in the file cache where possible ("T").
bool capture_open(Capture& capture) {
    char* name = _tempnam(nullptr, "tarvik");
    if (!name) return false;
    capture.file = fopen(name, "w+bTD");
    free(name);
    return capture.file != nullptr;
}

bool capture_close(Capture& capture) {
    FILE* file = capture.file;
    capture.file = nullptr;
    bool ok = fflush(file) == 0 && fseek(file, 0, SEEK_END) == 0;
    const long size = ok ? ftell(file) : -1;
    ok = ok && size >= 0 && fseek(file, 0, SEEK_SET) == 0;
    capture.size = ok ? size_t(size) : 0;
    capture.text = static_cast<char*>(malloc(capture.size + 1));
    if (capture.text) {
        if (ok && fread(capture.text, 1, capture.size, file) != capture.size) ok = false;
        capture.text[ok ? capture.size : 0] = '\0';
    }
    fclose(file);
    return ok && capture.text;
}

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

bool capture_open(Capture& capture) {
    capture.file = open_memstream(&capture.text, &capture.size);
    return capture.file != nullptr;
}

bool capture_close(Capture& capture) {
    const bool ok = fclose(capture.file) == 0;
    capture.file = nullptr;
    return ok && capture.text;
}

#endif

void capture_free(Capture& capture) {
    free(capture.text);
    capture.text = nullptr;
    capture.size = 0;
}

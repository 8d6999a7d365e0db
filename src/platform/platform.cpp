// The system-specific parts behind platform.h: the only place that tells
// Windows, WebAssembly and POSIX apart.
#include "platform/platform.h"

#include <cstdio>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#elif !defined(__EMSCRIPTEN__)
#include <sys/resource.h>
#endif

#ifdef _WIN32

// The stack was reserved by the linker. Standard input is read in binary
// mode: in text mode the C library takes a Ctrl-Z byte for the end of input
// and would end the session where Linux reads on; "\r\n" arrives whole and
// the command reader cuts the "\r" as it does on Linux. Standard output stays
// in text mode, writing "\n" as the "\r\n" Windows GUIs expect.
void PlatformInit() { _setmode(_fileno(stdin), _O_BINARY); }

#elif defined(__EMSCRIPTEN__)

// The stack was fixed at link time (cmake/wasm.cmake). Standard input is read
// a byte at a time: the runtime fills a buffered read to its full size, and
// its stdin device (web/engine/node_io.js) blocks until more input arrives, so
// a GUI's "uci" would go unanswered while the GUI waits for the reply.
void PlatformInit() { setvbuf(stdin, nullptr, _IONBF, 0); }

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

#endif

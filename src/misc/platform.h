// What differs between the systems the engine runs on: the main thread's
// stack, the standard streams, and an in-memory text stream for the tools.
#pragma once

#include <cstddef>
#include <cstdio>

// The stack the deepest search line may need, with room to spare: 255
// main-search plies and a capture sequence, each frame holding two move lists
// and a child position, come to about 1 MB. Linux grows the main thread's
// stack on demand up to its limit, which PlatformInit raises this far; Windows
// fixes the main thread's stack at link time, so the build reserves the same
// figure there (-Wl,--stack in CMakeLists.txt).
constexpr size_t SEARCH_STACK_BYTES = size_t(16) << 20;

// Call first in main, before any output or search: makes room for the
// deepest search line and puts the standard streams in the mode the
// protocol expects.
void PlatformInit();

// A stream whose text is read back in memory once closed: the tools capture
// what the search prints and sum its node counts. Like running out of memory
// for the hash history, failing to make or read one ends the program.
struct Capture {
    FILE* file;  // open for writing until capture_close
    char* text;  // malloc'd
    size_t size;
};

Capture capture_open();
// Closes the stream and gives its text, NUL-terminated; free it with free().
char* capture_close(Capture& capture);

// What differs between the systems the engine runs on: the main thread's
// stack and the standard streams.
#pragma once

#include <cstddef>

// The stack the deepest search line may need, with room to spare: 255
// main-search plies and a capture sequence, each frame holding two move lists
// and a child position, come to about 1.5 MB. Linux grows the main thread's
// stack on demand up to its limit, which PlatformInit raises this far; Windows
// fixes the main thread's stack at link time, so the build reserves the same
// figure there, as does WebAssembly. CMakeLists.txt sets it
// (TARVIK_STACK_BYTES) for all three.
constexpr size_t SEARCH_STACK_BYTES = TARVIK_STACK_BYTES;

// Call first in main, before any output or search: makes room for the
// deepest search line and puts the standard streams in the mode the
// protocol expects.
void PlatformInit();

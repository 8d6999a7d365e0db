// Start-up of the global tables and small memory helpers.
#pragma once

#include <cassert>
#include <cstddef>
#include <cstring>

// Builds every precomputed table. Order matters: placing a piece reads the
// keys and the value tables, so no position may exist before this returns.
void Init();

// Exchanges two memory areas of size bytes (at most 16) through a temporary
// copy; inline so that fixed small sizes compile to register moves.
inline void memswap(void* a, void* b, size_t size) {
    assert(size <= 16);
    unsigned char tmp[16];
    memcpy(tmp, a, size);
    memcpy(a, b, size);
    memcpy(b, tmp, size);
}

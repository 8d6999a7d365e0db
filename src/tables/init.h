// Start-up of the global tables.
#pragma once

// Builds every precomputed table. Order matters: placing a piece reads the
// keys and the value tables, so no position may exist before this returns.
void Init();

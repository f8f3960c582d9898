#pragma once

#include <cstdint>

struct RunState;

// In-place heap sorts of the contribution tables by decreasing magnitude of
// the signed key, each entry moving as one record of four values:
// rows: A[p][FTW], RO[p][1], RW[p][1], TW[p][1] for p = 1..n;
// columns: A[FTW][p], CO[1][p], CW[1][p], TW[1][p] for p = 1..m.
// Fewer than two entries are left as they are.
void HEAPSORTR(RunState& s, std::int32_t n);
void HEAPSORTC(RunState& s, std::int32_t m);

#pragma once

#include <cstdint>

#include "common/matrix.h"

// A contribution table to sort: the key is the column (row) key_line of A,
// and each entry moves with its label, original number and value.
struct SortedTable {
  MATRIX& A;
  std::int32_t key_line;  // FTW
  MATRIX& labels;         // RO (CO)
  MATRIX& numbers;        // RW (CW)
  MATRIX& values;         // TW
};

// In-place heap sorts of the contribution tables by decreasing magnitude of
// the signed key, each entry moving as one record of four values:
// rows: A[p][FTW], RO[p][1], RW[p][1], TW[p][1] for p = 1..n;
// columns: A[FTW][p], CO[1][p], CW[1][p], TW[1][p] for p = 1..m.
// Fewer than two entries are left as they are.
void HEAPSORTR(const SortedTable& rows, std::int32_t n);
void HEAPSORTC(const SortedTable& columns, std::int32_t m);

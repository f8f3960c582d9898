#pragma once

// Matrices for the tests and the benchmarks (no GoogleTest here, so that the
// benchmarks can use them too).

#include <cstdint>
#include <cstdio>
#include <random>
#include <string>

#include "common/matrix.h"
#include "common/run_state.h"

namespace qor_test {

// The run state as the loader leaves it for a matrix of rows x cols: A sized
// and zeroed for the caller to fill, row and column labels equal to their
// original numbers, the eigenvector check's threshold exponent at 10.
inline void hold_matrix(RunState& s, std::int32_t rows, std::int32_t cols) {
  s.N = s.N0 = rows;
  s.M = s.M0 = cols;
  s.SIZE = 10;
  s.A = MATRIX(rows + 1, cols + 1);
  s.RO = MATRIX(rows + 1, 2);
  s.CO = MATRIX(2, cols + 1);
  for (std::int32_t i = 1; i <= rows; ++i) s.RO[i][1] = i;
  for (std::int32_t j = 1; j <= cols; ++j) s.CO[1][j] = j;
}

// rows x cols values: whole numbers from -range to range (many ties of equal
// magnitude) or, with range 0, six decimals.
inline std::string matrix_text(int rows, int cols, int range, unsigned seed) {
  std::mt19937_64 rng(seed);
  std::uniform_int_distribution<int> whole(-range, range);
  std::uniform_real_distribution<double> real(-1.0, 1.0);
  std::string text;
  char cell[32];
  for (int i = 0; i < rows; ++i) {
    for (int j = 0; j < cols; ++j) {
      if (range > 0) {
        std::snprintf(cell, sizeof cell, " %d", whole(rng));
      } else {
        std::snprintf(cell, sizeof cell, " %.6f", real(rng));
      }
      text += cell;
    }
    text += "\r\n";
  }
  return text;
}

}  // namespace qor_test

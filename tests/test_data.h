#pragma once

// Matrices for the tests and the benchmarks (no GoogleTest here, so that the
// benchmarks can use them too).

#include <cstdint>
#include <cstdio>
#include <random>
#include <string>

#include "common/matrix.h"
#include "common/program_run.h"

namespace qor_test {

// The run state as the loader leaves it for a matrix of rows x cols: A sized
// and zeroed for the caller to fill, row and column labels equal to their
// original numbers, the eigenvector check's threshold exponent at 10.
inline void hold_matrix(ProgramRun& s, std::int32_t rows, std::int32_t cols) {
  s.table.N = s.table.N0 = rows;
  s.table.M = s.table.M0 = cols;
  s.table.A = MATRIX(rows + 1, cols + 1);
  s.table.RO = MATRIX(rows + 1, 2);
  s.table.CO = MATRIX(2, cols + 1);
  for (std::int32_t i = 1; i <= rows; ++i) s.table.RO[i][1] = i;
  for (std::int32_t j = 1; j <= cols; ++j) s.table.CO[1][j] = j;
  s.table.row_titles = s.settings.BTOR;
  s.table.column_titles = s.settings.CTOC;
  s.table.OSR = s.settings.OSR;
  s.table.OSC = s.settings.OSC;
  // Original numbers beside titles and for the contribution tables, as the loader keeps them.
  if (s.settings.FTW > 0 || s.settings.BTOR) {
    s.table.RW = MATRIX(rows + 1, 2);
    for (std::int32_t i = 1; i <= rows; ++i) s.table.RW[i][1] = i;
  }
  if (s.settings.FTW > 0 || s.settings.CTOC) {
    s.table.CW = MATRIX(2, cols + 1);
    for (std::int32_t j = 1; j <= cols; ++j) s.table.CW[1][j] = j;
  }
  s.plan = plan_before_loading(s.settings);
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

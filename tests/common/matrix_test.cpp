#include "common/matrix.h"

#include <gtest/gtest.h>

#include "common/run_error.h"

namespace {

TEST(Matrix, ZeroedRowsAndCheapExchange) {
  MATRIX a(3, 4);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 4; ++j) EXPECT_EQ(a[i][j], 0);
  a[1][2] = 5;
  a[2][2] = 7;
  const REAL* row1 = a[1];
  a.swap_rows(1, 2);
  EXPECT_EQ(a[1][2], 7);
  EXPECT_EQ(a[2][2], 5);
  EXPECT_EQ(a[2], row1);  // the row itself did not move
  EXPECT_EQ(a[0] + 4, a[2]);  // one contiguous block
}

TEST(Matrix, ImpossibleSizesAreRuntimeError203) {
  for (auto [rows, cols] : {std::pair{2147483647, 2147483647}, std::pair{0, 5}, std::pair{-1, 3}}) {
    try {
      MATRIX a(rows, cols);
      FAIL() << rows << " x " << cols;
    } catch (const RunError& e) {
      EXPECT_EQ(e.number(), 203);
      EXPECT_EQ(e.report_line().rfind("Runtime error 203: not enough memory for a matrix of", 0), 0u);
    }
  }
}

}  // namespace

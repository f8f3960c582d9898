// Statistics of the remainder, on remainders small enough to work out by hand.
#include "analysis/remainder_stats.h"

#include <gtest/gtest.h>

#include "test_data.h"
#include "test_support.h"

namespace {

struct Stats : ::testing::Test {
  qor_test::CapturedConsole console;
  ProgramRun s{console.console()};
  void hold(std::int32_t rows, std::int32_t cols, std::initializer_list<REAL> values) {
    qor_test::hold_matrix(s, rows, cols);
    auto v = values.begin();
    for (std::int32_t i = 1; i <= rows; ++i)
      for (std::int32_t j = 1; j <= cols; ++j) s.table.A[i][j] = *v++;
    s.work.AR = MATRIX(9, 4);
  }
  double AR(int j, int I) const { return static_cast<double>(s.work.AR[j][I]); }
};

// 1, 2, 3, 4: mean 2.5, standard deviation sqrt(5/3) = 1.2909944; the
// deviations' cubes cancel (skewness 0); fourth powers 2 (5.0625 + 0.0625)
// = 10.25, so (10.25 / (25/9) / 4 - 3) / sqrt(24/4) = -0.8481358. The
// absolute values of -1, 2, -3, 4 are the same values.
TEST_F(Stats, MeanDeviationSkewnessKurtosis) {
  hold(2, 2, {-1, 2, -3, 4});
  remainder_statistics(s.analysis(), 1);
  EXPECT_NEAR(AR(1, 1), 0.5, 1e-15);  // signed: -1 + 2 - 3 + 4 = 2
  EXPECT_NEAR(AR(5, 1), 2.5, 1e-15);
  EXPECT_NEAR(AR(6, 1), 1.2909944487358056, 1e-15);
  EXPECT_NEAR(AR(7, 1), 0, 1e-15);
  EXPECT_NEAR(AR(8, 1), -0.8481358234386754, 1e-15);  // -2.0775 / sqrt(6)
  // The signed values: deviations -1.5, 1.5, -3.5, 3.5 from 0.5; sd sqrt(29/3).
  EXPECT_NEAR(AR(2, 1), 3.1091263510296048, 1e-15);
}

TEST_F(Stats, OneElementAndConstantRemainders) {
  hold(2, 2, {5, 7, 7, 7});
  remainder_statistics(s.analysis(), 2);  // the remainder is the one element 7
  for (int j = 1; j <= 8; ++j) EXPECT_EQ(AR(j, 2), -1) << j;
  hold(2, 2, {-3, 3, 3, -3});
  remainder_statistics(s.analysis(), 1);
  EXPECT_EQ(AR(5, 1), 3);  // the absolute values are constant: no skewness or kurtosis
  EXPECT_EQ(AR(6, 1), 0);
  EXPECT_EQ(AR(7, 1), -1);
  EXPECT_EQ(AR(8, 1), -1);
  EXPECT_EQ(AR(1, 1), 0);
  EXPECT_NEAR(AR(2, 1), 3.4641016151377544, 1e-15);  // sqrt(36 / 3)
}

}  // namespace

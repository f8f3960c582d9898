#include "analysis/qor.h"

#include <gtest/gtest.h>

#include <cmath>

#include "analysis/remainder_stats.h"
#include "control/settings.h"
#include "input/run_driver.h"
#include "test_support.h"

namespace {

using qor_test::CapturedConsole;
using qor_test::TempDir;

// A run state holding the given matrix as loaded (labels = original numbers).
struct Analysis : ::testing::Test {
  TempDir dir;
  CapturedConsole captured;
  RunState s{captured.console()};

  void load(std::initializer_list<std::initializer_list<REAL>> rows) {
    set_default_settings(s);
    s.N = static_cast<std::int32_t>(rows.size());
    s.M = static_cast<std::int32_t>(rows.begin()->size());
    s.N0 = s.N;
    s.M0 = s.M;
    s.SIZE = 10;
    s.A = MATRIX(s.N + 1, s.M + 1);
    s.RO = MATRIX(s.N + 1, 2);
    s.CO = MATRIX(2, s.M + 1);
    std::int32_t i = 0;
    for (const auto& row : rows) {
      ++i;
      s.RO[i][1] = i;
      std::int32_t j = 0;
      for (REAL v : row) s.A[i][++j] = v;
    }
    for (std::int32_t j = 1; j <= s.M; ++j) s.CO[1][j] = j;
  }
  // The run driver's preparation, then the analysis with the run's settings.
  void analyse(const std::string& out = "") {
    s.GFNO = out;
    prepare_run(s);
    QOR(s, s.H.view(), s.ITRN, s.JEV, s.HDR, s.LSD, s.MER, s.MERPR, s.KW1, s.KD, s.NU);
  }
};

TEST_F(Analysis, ZeroMatrixHasRankZero) {
  load({{0, 0}, {0, 0}});
  analyse();
  EXPECT_EQ(s.MIN, 0);
  EXPECT_EQ(s.A[0][1], 0);
}

TEST_F(Analysis, EqualMagnitudesTakeTheFirstInRowMajorOrder) {
  load({{1, -5}, {5, 2}});
  analyse();
  EXPECT_EQ(s.A[0][1], -5);
  EXPECT_EQ(s.CO[1][1], 2);
  EXPECT_EQ(s.RO[1][1], 1);
}

TEST_F(Analysis, RankOneTwoByTwo) {
  load({{1, 2}, {1, 2}});
  analyse();
  EXPECT_EQ(s.MIN, 1);
  EXPECT_EQ(s.A[0][1], 2);
  EXPECT_EQ(s.A[0][2], 0);
  EXPECT_EQ(s.CO[1][1], 2);
  EXPECT_EQ(s.CO[1][2], 1);
  EXPECT_EQ(s.RO[1][1], 1);
}

TEST_F(Analysis, VariancePropagation) {
  load({{2, 1}, {1, 3}});
  s.MER = 0.1L;
  analyse();
  EXPECT_EQ(s.MIN, 2);
  EXPECT_EQ(s.A[0][1], 3);
  EXPECT_EQ(s.A[0][2], 2 - 1 * (1 / 3.0L));
  EXPECT_EQ(s.RO[1][1], 2);
  EXPECT_EQ(s.CO[1][1], 2);
  const REAL v = 0.1L * 0.1L;
  EXPECT_EQ(s.SD[1][1], v);
  EXPECT_EQ(s.SD[2][2], v + ((1 * v * 1) / 9 + (1 * v + 1 * v)) / 9);
  EXPECT_NEAR(static_cast<double>(s.SD[2][2]), 0.01 + (0.01 / 9 + 0.02) / 9, 1e-15);
}

TEST_F(Analysis, StepCountLimitsTheElimination) {
  load({{1, 2, 3, 4, 5}, {2, 1, 3, 5, 4}, {9, 1, 1, 1, 1}, {0, 3, 1, 7, 1}, {1, 1, 8, 1, 2}});
  s.NU = 2;
  analyse();
  EXPECT_EQ(s.MIN, 2);
  EXPECT_EQ(s.A[0][1], 9);
  EXPECT_EQ(s.A[0][3], 0);
}

TEST_F(Analysis, ProductMatrixOverRowsWhenWide) {
  load({{1, 2, 3}, {4, 5, 6}});
  s.ITRN = true;
  analyse();
  EXPECT_EQ(s.N, 2);
  EXPECT_EQ(s.M, 2);
  // T = [[14, 32], [32, 77]]: first pivot 77.
  EXPECT_EQ(s.A[0][1], 77);
  EXPECT_EQ(s.A[0][2], 14 - 32 * (32 / 77.0L));
}

TEST_F(Analysis, ProductMatrixAndVariancesOverColumnsWhenTall) {
  load({{1, 2}, {3, 4}, {5, 6}});
  s.ITRN = true;
  s.MER = 0.5L;
  prepare_run(s);
  compute_element_variances(s, s.MER, s.MERPR);
  compute_product_matrix(s, true);
  EXPECT_EQ(s.T[1][1], 35);
  EXPECT_EQ(s.T[1][2], 44);
  EXPECT_EQ(s.T[2][1], 44);
  EXPECT_EQ(s.T[2][2], 56);
  // Diagonal: 4 x a^2 x variance summed; off-diagonal: (a_i^2 + a_j^2) x variance.
  EXPECT_EQ(s.ST[1][1], 4 * 35 * 0.25L);
  EXPECT_EQ(s.ST[1][2], (35 + 56) * 0.25L);
  EXPECT_EQ(s.ST[2][1], s.ST[1][2]);
}

TEST_F(Analysis, ReportNameIsCutToTwelveAndUpperCased) {
  load({{1, 2}, {3, 4}});
  analyse("abcdefghijklmno");
  EXPECT_TRUE(std::filesystem::exists("ABCDEFGHIJKL"));
  const std::string report = qor_test::read_file("ABCDEFGHIJKL");
  EXPECT_EQ(report.rfind("N_row: 2. N_column: 2.\r\n", 0), 0u);
}

TEST_F(Analysis, EmptyReportNameWritesNoFileButShowsTheTime) {
  load({{1, 2}, {3, 4}});
  analyse("");
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
  const std::string console = captured.text();
  EXPECT_NE(console.find("Time:"), std::string::npos);
  EXPECT_EQ(console.substr(console.size() - 3), "s\r\n");
}

TEST_F(Analysis, RemainderStatistics) {
  load({{1, 2}, {3, 4}});
  s.AR = MATRIX(9, 3);
  remainder_statistics(s, 1);
  EXPECT_EQ(s.AR[1][1], 2.5L);
  EXPECT_EQ(s.AR[2][1], std::sqrt(5 / 3.0L));
  EXPECT_EQ(s.AR[3][1], 0);
  EXPECT_EQ(s.AR[5][1], 2.5L);
  remainder_statistics(s, 2);  // one element left
  for (int j = 1; j <= 8; ++j) EXPECT_EQ(s.AR[j][2], -1);
  load({{-1, 2}, {-3, 4}});
  s.AR = MATRIX(9, 3);
  remainder_statistics(s, 1);
  EXPECT_EQ(s.AR[1][1], 0.5L);
  EXPECT_EQ(s.AR[5][1], 2.5L);
}

TEST_F(Analysis, ConstantRemainderMarksSkewnessAndKurtosis) {
  load({{0, 0}, {0, 0}});
  s.AR = MATRIX(9, 3);
  remainder_statistics(s, 1);
  EXPECT_EQ(s.AR[1][1], 0);
  EXPECT_EQ(s.AR[2][1], 0);
  EXPECT_EQ(s.AR[3][1], -1);
  EXPECT_EQ(s.AR[4][1], -1);
  EXPECT_EQ(s.AR[7][1], -1);
  EXPECT_EQ(s.AR[8][1], -1);
}

TEST_F(Analysis, StatisticsOfTheReducedMatrixAtStepTwo) {
  load({{4, 1, 2}, {1, 3, 1}, {2, 1, 5}});
  s.LSD = true;
  analyse();
  // Step 2 describes rows and columns 2..3 after the first elimination only.
  EXPECT_EQ(s.MIN, 3);
  for (int j = 1; j <= 8; ++j) EXPECT_EQ(s.AR[j][3], -1);
  EXPECT_NE(s.AR[1][2], s.AR[1][1]);
}

TEST_F(Analysis, HistogramBinsAndCounts) {
  load({{-0.25L, 0.0L}, {0.12L, 0.25L}});
  s.RGAUSS = 0.1L;
  prepare_run(s);
  EXPECT_EQ(s.GL, 6);
  EXPECT_EQ(s.GA, -0.3L);
  const REAL centres[] = {-0.25L, -0.15L, -0.05L, 0.05L, 0.15L, 0.25L};
  for (int i = 1; i <= 6; ++i) EXPECT_NEAR(static_cast<double>(s.GB[i][0]), static_cast<double>(centres[i - 1]), 1e-18);
  EXPECT_EQ(s.GB[4][1], 1);  // the element 0
  EXPECT_EQ(s.GB[1][1], 1);
  EXPECT_EQ(s.GB[5][1], 1);
  EXPECT_EQ(s.GB[6][1], 1);
  EXPECT_EQ(s.GK, 3);
}

TEST(HistogramBin, LargestMagnitudeNeverLeavesTheBins) {
  EXPECT_EQ(histogram_bin(0.3L, -0.3L, 0.1L, 6), 6);  // index 7 counts in bin 6
  EXPECT_EQ(histogram_bin(-0.3L, -0.3L, 0.1L, 6), 1);
  EXPECT_EQ(histogram_bin(5.0L, -0.3L, 0.1L, 6), 0);
  EXPECT_EQ(histogram_bin(-5.0L, -0.3L, 0.1L, 6), 0);
  EXPECT_EQ(histogram_bin(NAN, -0.3L, 0.1L, 6), 0);
}

TEST_F(Analysis, ReferenceRowAndColumn) {
  load({{1, 2, 3}, {4, 6, 8}, {7, 9, 12}});
  s.OSR = 1;
  s.OSC = 3;
  prepare_run(s);
  EXPECT_EQ(s.N, 2);
  EXPECT_EQ(s.M, 2);
  // Rows minus row 1: (3,4,5), (6,7,9); then columns minus column 3.
  EXPECT_EQ(s.A[1][1], -2);
  EXPECT_EQ(s.A[1][2], -1);
  EXPECT_EQ(s.A[2][1], -3);
  EXPECT_EQ(s.A[2][2], -2);
  EXPECT_EQ(s.RO[1][1], 2);
  EXPECT_EQ(s.CO[1][2], 2);
}

TEST_F(Analysis, ReferenceRowLastAndTablesLargerThanTheMatrix) {
  load({{1, 2}, {3, 5}, {4, 4}});
  s.OSR = 3;
  s.FTW = 7;
  prepare_run(s);
  EXPECT_EQ(s.N, 2);
  EXPECT_EQ(s.RO[2][1], 2);
  EXPECT_EQ(s.A[2][2], 1);
  EXPECT_EQ(s.FTW, 0);
  EXPECT_EQ(s.NU, 2);
}

TEST(Clock, ElapsedTimeAcrossMidnight) {
  EXPECT_EQ(elapsed_seconds(86399.5L, 0.25L), 0.75L);
  EXPECT_EQ(elapsed_seconds(10, 12.5L), 2.5L);
}

}  // namespace

#include "analysis/qor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <source_location>

#include "analysis/histogram.h"
#include "analysis/remainder_stats.h"
#include "control/settings.h"
#include "control/run_driver.h"
#include "test_data.h"
#include "test_support.h"

namespace {

// One expected element: which matrix of the run state, row, column, exact value.
using Pick = const MATRIX& (*)(const ProgramRun&);
struct Cell { Pick m; int i, j; REAL v; };
constexpr Pick A = [](const ProgramRun& r) -> const MATRIX& { return r.table.A; };
constexpr Pick RO = [](const ProgramRun& r) -> const MATRIX& { return r.table.RO; };
constexpr Pick CO = [](const ProgramRun& r) -> const MATRIX& { return r.table.CO; };
constexpr Pick SD = [](const ProgramRun& r) -> const MATRIX& { return r.work.SD; };
constexpr Pick T = [](const ProgramRun& r) -> const MATRIX& { return r.work.T; };
constexpr Pick ST = [](const ProgramRun& r) -> const MATRIX& { return r.work.ST; };
constexpr Pick AR = [](const ProgramRun& r) -> const MATRIX& { return r.work.AR; };
constexpr Pick GB = [](const ProgramRun& r) -> const MATRIX& { return r.work.GB; };

// A run state with default settings (tests adjust them before loading), then
// holding the given matrix as loaded (labels = original numbers).
struct Analysis : ::testing::Test {
  qor_test::TempDir dir;
  qor_test::CapturedConsole captured;
  ProgramRun s{captured.console()};

  Analysis() { set_default_settings(s.settings); }
  void load(std::initializer_list<std::initializer_list<REAL>> rows) {
    qor_test::hold_matrix(s, static_cast<std::int32_t>(rows.size()), static_cast<std::int32_t>(rows.begin()->size()));
    std::int32_t i = 0;
    for (const auto& row : rows) std::copy(row.begin(), row.end(), s.table.A[++i] + 1);
  }
  // The run driver's preparation, then the analysis with the run's settings.
  void analyse(const std::string& out = "") {
    s.settings.GFNO = out;
    prepare_run(s);
    qor_test::run_qor_with_report(s);
  }
  void analyse(std::initializer_list<std::initializer_list<REAL>> rows, const std::string& out = "") {
    load(rows);
    analyse(out);
  }
  void expect(std::initializer_list<Cell> cells, std::source_location at = std::source_location::current()) {
    const ::testing::ScopedTrace trace(at.file_name(), static_cast<int>(at.line()), "expected cells");
    for (const Cell* c = cells.begin(); c != cells.end(); ++c)
      EXPECT_EQ(c->m(s)[c->i][c->j], c->v) << "cell " << c - cells.begin() << ": [" << c->i << "][" << c->j << "]";
  }
};

TEST_F(Analysis, ZeroMatrixHasRankZero) {
  analyse({{0, 0}, {0, 0}});
  EXPECT_EQ(s.work.MIN, 0);
  expect({{A, 0, 1, 0}});
}

TEST_F(Analysis, EqualMagnitudesTakeTheFirstInRowMajorOrder) {
  analyse({{1, -5}, {5, 2}});
  expect({{A, 0, 1, -5}, {CO, 1, 1, 2}, {RO, 1, 1, 1}});
}

TEST_F(Analysis, RankOneTwoByTwo) {
  analyse({{1, 2}, {1, 2}});
  EXPECT_EQ(s.work.MIN, 1);
  expect({{A, 0, 1, 2}, {A, 0, 2, 0}, {CO, 1, 1, 2}, {CO, 1, 2, 1}, {RO, 1, 1, 1}});
}

// The remainder 2 - 1 x 1 / 3 depends on all four elements, each of variance
// 0.01; first-order propagation gives 0.01 x (1 + 1/9 + 1/9 + 1/81) = 1/81
// (derivatives 1, -1/3, -1/3 and 1/9).
TEST_F(Analysis, VariancePropagation) {
  s.settings.MER = 0.1L;
  analyse({{2, 1}, {1, 3}});
  EXPECT_EQ(s.work.MIN, 2);
  expect({{A, 0, 1, 3}, {RO, 1, 1, 2}, {CO, 1, 1, 2}, {SD, 1, 1, 0.1L * 0.1L}});
  EXPECT_NEAR(static_cast<double>(s.table.A[0][2]), 5.0 / 3, 1e-15);
  EXPECT_NEAR(static_cast<double>(s.work.SD[2][2] * 81), 1.0, 1e-15);
}

TEST_F(Analysis, StepCountLimitsTheElimination) {
  s.settings.NU = 2;
  analyse({{1, 2, 3, 4, 5}, {2, 1, 3, 5, 4}, {9, 1, 1, 1, 1}, {0, 3, 1, 7, 1}, {1, 1, 8, 1, 2}});
  EXPECT_EQ(s.work.MIN, 2);
  expect({{A, 0, 1, 9}, {A, 0, 3, 0}});
}

TEST_F(Analysis, ProductMatrixOverRowsWhenWide) {
  s.settings.ITRN = true;
  analyse({{1, 2, 3}, {4, 5, 6}});
  EXPECT_EQ(std::pair(s.table.N, s.table.M), std::pair(2, 2));
  expect({{A, 0, 1, 77}, {A, 0, 2, 14 - 32 * (32 / 77.0L)}});  // T = [[14, 32], [32, 77]]: first pivot 77
}

TEST_F(Analysis, ProductMatrixAndVariancesOverColumnsWhenTall) {
  s.settings.ITRN = true;
  s.settings.MER = 0.5L;
  load({{1, 2}, {3, 4}, {5, 6}});
  prepare_run(s);
  compute_element_variances(s.analysis(), s.plan.MER, s.plan.MERPR);
  compute_product_matrix(s.analysis(), true);
  // ST diagonal: 4 x a^2 x variance summed; off-diagonal: (a_i^2 + a_j^2) x variance.
  expect({{T, 1, 1, 35}, {T, 1, 2, 44}, {T, 2, 1, 44}, {T, 2, 2, 56}, {ST, 1, 1, 4 * 35 * 0.25L},
          {ST, 1, 2, (35 + 56) * 0.25L}, {ST, 2, 1, (35 + 56) * 0.25L}});
}

TEST_F(Analysis, ReportNameIsCutToTwelveAndUpperCased) {
  analyse({{1, 2}, {3, 4}}, "abcdefghijklmno");
  EXPECT_TRUE(std::filesystem::exists("ABCDEFGHIJKL"));
  EXPECT_EQ(qor_test::read_file("ABCDEFGHIJKL").rfind("N_row: 2. N_column: 2.\r\n", 0), 0u);
}

// The analysis writes nothing itself: without a report file and on a
// console that is no terminal its observer has nothing to show either (the
// "Time:" line is the program's).
TEST_F(Analysis, EmptyReportNameWritesNoFileAndNothingOnTheConsole) {
  analyse({{1, 2}, {3, 4}}, "");
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
  EXPECT_EQ(captured.text(), "");
}

TEST_F(Analysis, RemainderStatistics) {
  load({{1, 2}, {3, 4}});
  s.work.AR = MATRIX(9, 3);
  remainder_statistics(s.analysis(), 1);
  expect({{AR, 1, 1, 2.5L}, {AR, 2, 1, std::sqrt(5 / 3.0L)}, {AR, 3, 1, 0}, {AR, 5, 1, 2.5L}});
  remainder_statistics(s.analysis(), 2);  // one element left
  for (int j = 1; j <= 8; ++j) EXPECT_EQ(s.work.AR[j][2], -1) << j;
  load({{-1, 2}, {-3, 4}});
  s.work.AR = MATRIX(9, 3);
  remainder_statistics(s.analysis(), 1);
  expect({{AR, 1, 1, 0.5L}, {AR, 5, 1, 2.5L}});
}

TEST_F(Analysis, ConstantRemainderMarksSkewnessAndKurtosis) {
  load({{0, 0}, {0, 0}});
  s.work.AR = MATRIX(9, 3);
  remainder_statistics(s.analysis(), 1);
  expect({{AR, 1, 1, 0}, {AR, 2, 1, 0}, {AR, 3, 1, -1}, {AR, 4, 1, -1}, {AR, 7, 1, -1}, {AR, 8, 1, -1}});
}

// Step 1 takes the 5 and leaves the remainder 3 - 1/5, 1 - 2/5, 1 - 2/5,
// 4 - 4/5 = 2.8, 0.6, 0.6, 3.2: mean 1.8, deviations 1, -1.2, -1.2, 1.4,
// standard deviation sqrt(5.84 / 3); skewness and kurtosis worked out exactly.
TEST_F(Analysis, StatisticsOfTheReducedMatrixAtStepTwo) {
  s.settings.LSD = true;
  analyse({{4, 1, 2}, {1, 3, 1}, {2, 1, 5}});
  EXPECT_EQ(s.work.MIN, 3);
  const double expected[] = {1.8, 1.39522996909709, 0.0216445957143529, -0.982651490100143};
  for (int j = 1; j <= 4; ++j) {
    EXPECT_NEAR(static_cast<double>(s.work.AR[j][2]), expected[j - 1], 1e-14) << j;
    EXPECT_EQ(s.work.AR[j + 4][2], s.work.AR[j][2]) << j;  // every remainder element is positive
  }
  for (int j = 1; j <= 8; ++j) EXPECT_EQ(s.work.AR[j][3], -1) << j;
}

TEST_F(Analysis, HistogramBinsAndCounts) {
  s.settings.RGAUSS = 0.1L;
  load({{-0.25L, 0.0L}, {0.12L, 0.25L}});
  prepare_run(s);
  EXPECT_EQ(s.work.GL, 6);
  EXPECT_EQ(s.work.GA, -0.3L);
  const REAL centres[] = {-0.25L, -0.15L, -0.05L, 0.05L, 0.15L, 0.25L};
  for (int i = 1; i <= 6; ++i) EXPECT_NEAR(static_cast<double>(s.work.GB[i][0]), static_cast<double>(centres[i - 1]), 1e-18);
  expect({{GB, 4, 1, 1}, {GB, 1, 1, 1}, {GB, 5, 1, 1}, {GB, 6, 1, 1}});  // bin 4 holds the element 0
  EXPECT_EQ(s.work.GK, 3);
}

TEST(HistogramBin, LargestMagnitudeNeverLeavesTheBins) {
  // Bins of 0.1 from -0.3: 0.3 would be index 7; the input counts it in bin 6,
  // a remainder leaves it out. Values beyond the range, and NaN, count in none.
  const struct {
    REAL x;
    std::int32_t input, remainder;
  } cases[] = {{0.3L, 6, 0}, {0.29L, 6, 6}, {-0.3L, 1, 1}, {0.0L, 4, 4}, {5.0L, 0, 0}, {-5.0L, 0, 0}, {NAN, 0, 0}};
  for (const auto& c : cases) {
    EXPECT_EQ(input_histogram_bin(c.x, -0.3L, 0.1L, 6), c.input) << c.x;
    EXPECT_EQ(remainder_histogram_bin(c.x, -0.3L, 0.1L, 6), c.remainder) << c.x;
  }
}

// After step 1 the remainder holds 4.367 + 4.8 x 3.644 / 4.850242 = 7.97 and
// 4.70 + 4.8 x 4.367 / 4.850242 = 9.02, beyond the bins (-6.4 to 6.4): the
// count column of step 1 stays empty.
TEST_F(Analysis, RemainderBeyondTheBinsIsLeftOut) {
  s.settings.RGAUSS = 1.6L;
  analyse({{3.644L, 4.367L, -4.850242L}, {4.367L, 4.70L, 4.8L}});
  ASSERT_EQ(s.work.GL, 8);
  for (std::int32_t i = 1; i <= s.work.GL; ++i) EXPECT_EQ(s.work.GB[i][2], 0) << i;
}

TEST_F(Analysis, ReferenceRowAndColumn) {
  s.settings.OSR = 1;
  s.settings.OSC = 3;
  load({{1, 2, 3}, {4, 6, 8}, {7, 9, 12}});
  prepare_run(s);
  EXPECT_EQ(std::pair(s.table.N, s.table.M), std::pair(2, 2));
  // Rows minus row 1: (3,4,5), (6,7,9); then columns minus column 3.
  expect({{A, 1, 1, -2}, {A, 1, 2, -1}, {A, 2, 1, -3}, {A, 2, 2, -2}, {RO, 1, 1, 2}, {CO, 1, 2, 2}});
}

TEST_F(Analysis, ReferenceRowLastAndTablesLargerThanTheMatrix) {
  s.settings.OSR = 3;
  s.settings.FTW = 7;
  load({{1, 2}, {3, 5}, {4, 4}});
  prepare_run(s);
  EXPECT_EQ(s.table.N, 2);
  expect({{RO, 2, 1, 2}, {A, 2, 2, 1}});
  EXPECT_EQ(std::pair(s.plan.FTW, s.plan.NU), std::pair(0, 2));
}

// Elements of magnitude 9 tie in one row, across rows and across the parts
// the rows are cut into; every column that holds a pivot is 0 elsewhere, so
// elimination changes no other element and the ties stay exact. Worked by
// hand in row-major order, with the column exchanges (step 3 moves column 3
// to position 29, behind column 5): pivots 9 (7,20) before 9 (7,25) and
// -9 (8,1); then -9 (8,1); 9 (12,29) before -9 (30,5); -9 (30,5) before
// 9 (30,3).
TEST(PivotTies, FirstInRowMajorOrderOnAnyNumberOfThreads) {
  const std::initializer_list<std::tuple<int, int, REAL>> nines = {{7, 20, 9}, {7, 25, 9},  {8, 1, -9},
                                                                    {12, 29, 9}, {30, 5, -9}, {30, 3, 9}};
  for (int threads : {1, 2, 3, 4}) {
    qor_test::TempDir dir;
    qor_test::CapturedConsole captured;
    ProgramRun s(captured.console(), threads);
    s.workers.set_work_per_part(0);
    set_default_settings(s.settings);
    qor_test::hold_matrix(s, 40, 30);
    s.settings.NU = 4;
    for (int i = 1; i <= 40; ++i) {
      for (int j = 1; j <= 30; ++j) s.table.A[i][j] = ((i * 7 + j * 3) % 11 - 5) / 100.0L;
      for (int j : {1, 5, 20, 29}) s.table.A[i][j] = 0;
    }
    for (const auto& [i, j, v] : nines) s.table.A[i][j] = v;
    prepare_run(s);
    qor_test::run_qor_silently(s, false, false, false, 0, 0, s.plan.NU);
    const REAL pivots[] = {9, -9, 9, -9}, rows[] = {7, 8, 12, 30}, columns[] = {20, 1, 29, 5};
    for (int I = 1; I <= 4; ++I) {
      EXPECT_EQ(s.table.A[0][I], pivots[I - 1]) << threads << " threads, step " << I;
      EXPECT_EQ(s.table.RO[I][1], rows[I - 1]) << threads << " threads, step " << I;
      EXPECT_EQ(s.table.CO[1][I], columns[I - 1]) << threads << " threads, step " << I;
    }
    EXPECT_EQ(s.workers.shared_loops() > 0, threads > 1);
  }
}

TEST(Clock, ElapsedTimeAcrossMidnight) {
  EXPECT_EQ(elapsed_seconds(86399.5L, 0.25L), 0.75L);
  EXPECT_EQ(elapsed_seconds(10, 12.5L), 2.5L);
}

}  // namespace

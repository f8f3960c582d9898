// The histogram's classes, counts and file, worked out by hand.
#include "analysis/histogram.h"
#include "input/histogram_file.h"

#include <gtest/gtest.h>

#include <cmath>

#include "common/run_error.h"
#include "test_data.h"
#include "test_support.h"

namespace {

// Class i of width 1 from the lower edge -4 holds trunc(v + 4) + 1 (the
// truncation goes toward zero, so -4.5 still falls into class 1); the input
// counts a value at the upper edge into the last class, a remainder leaves
// it out.
TEST(Histogram, ClassOfAValue) {
  const struct {
    REAL v;
    std::int32_t input, remainder;
  } cases[] = {{0.1L, 5, 5}, {-4, 1, 1}, {-4.5L, 1, 1}, {-5, 0, 0},   {3.99L, 8, 8},
               {4, 8, 0},    {4.5L, 8, 0}, {5, 0, 0},   {NAN, 0, 0}, {-0.0L, 5, 5}};
  for (const auto& c : cases) {
    EXPECT_EQ(input_histogram_bin(c.v, -4, 1, 8), c.input) << static_cast<double>(c.v);
    EXPECT_EQ(remainder_histogram_bin(c.v, -4, 1, 8), c.remainder) << static_cast<double>(c.v);
  }
}

// The histogram file scales every column to a largest count of 1; the
// picture's normal curve needs the counts, so the largest is kept. Class
// width 1 and a largest magnitude of 3 give 8 classes from -4: 0.1, 0.5,
// 0.6 and 0.7 fall into class 5, 3 into class 8, -2 into class 3.
TEST(EvidencePicture, HistogramKeepsEachColumnsLargestCount) {
  qor_test::TempDir dir;
  qor_test::CapturedConsole console;
  ProgramRun s(console.console());
  qor_test::hold_matrix(s, 2, 3);
  const REAL values[2][3] = {{0.5L, 0.6L, 3}, {0.7L, -2, 0.1L}};
  for (int i = 0; i < 2; ++i)
    for (int j = 0; j < 3; ++j) s.table.A[i + 1][j + 1] = values[i][j];
  s.work.MIN = s.plan.NU = 2;
  s.settings.RGAUSS = 1;
  prepare_histogram(s);
  write_histogram_file(s);
  EXPECT_EQ(s.work.GL, 8);
  EXPECT_EQ(s.work.histogram_largest, (std::vector<REAL>{0, 4, 0, 0}));  // no step ran: columns 2, 3 empty
  EXPECT_EQ(s.work.GB[5][1], 1);
  EXPECT_EQ(s.work.GB[8][1], 0.25L);
}

// A width that needs more classes than the limit stops the run (64)
// before anything is allocated: 1e6 / 1e-3 = 1e9 half classes.
TEST(Histogram, TooManyClassesAreRefused) {
  qor_test::CapturedConsole console;
  ProgramRun s(console.console());
  qor_test::hold_matrix(s, 1, 2);
  s.table.A[1][1] = 1e6L;
  s.work.MIN = s.plan.NU = 1;
  s.settings.RGAUSS = 1e-3L;
  try {
    prepare_histogram(s);
    FAIL() << "no refusal";
  } catch (const RunError& e) {
    EXPECT_EQ(e.number(), kSettingOutOfRange);
  }
  EXPECT_FALSE(s.work.GB.allocated());
}

// With a picture and errors each counted step keeps the root mean square of
// its remainder's variances: after step 1 of a 3 x 3 matrix, the variances
// 1, 4, 9, 16 of rows and columns 2..3 give sqrt(30 / 4).
TEST(Histogram, RemainderErrorForThePicture) {
  qor_test::CapturedConsole console;
  ProgramRun s(console.console());
  qor_test::hold_matrix(s, 3, 3);
  s.work.MIN = s.plan.NU = 3;
  s.settings.RGAUSS = s.plan.RGAUSS = 1;
  s.settings.YPLOT = s.plan.remainder_errors = true;
  prepare_histogram(s);
  s.work.SD = MATRIX(4, 4);
  s.work.SD[2][2] = 1;
  s.work.SD[2][3] = 4;
  s.work.SD[3][2] = 9;
  s.work.SD[3][3] = 16;
  count_remainder_histogram(s.analysis(), 1);
  ASSERT_EQ(s.work.remainder_errors.size(), 2u);
  EXPECT_NEAR(static_cast<double>(s.work.remainder_errors[1]), 2.7386127875258306, 1e-15);
  s.plan.remainder_errors = false;  // without a picture nothing is kept
  s.work.remainder_errors.clear();
  count_remainder_histogram(s.analysis(), 2);
  EXPECT_TRUE(s.work.remainder_errors.empty());
}

}  // namespace

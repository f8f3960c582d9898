#include "input/evidence_picture.h"

#include <gtest/gtest.h>

#include "analysis/histogram.h"
#include "test_data.h"
#include "test_support.h"

namespace {

TEST(EvidencePicture, NothingToDrawGivesNoPicture) {
  qor_test::CapturedConsole console;
  RunState s(console.console());
  s.NU = 0;  // a table run of one step: no analysis, no histogram
  EXPECT_EQ(evidence_picture(s, nullptr), "");
  write_evidence_picture(s, nullptr, nullptr);
  EXPECT_EQ(console.text(), "No picture: the run has no pivots, eigenvalues, verdict or histogram to show.\r\n");
}

// The histogram file scales every column to a largest count of 1; the
// picture's normal curve needs the counts, so the largest is kept. Class
// width 1 and a largest magnitude of 3 give 8 classes from -4: 0.1, 0.5,
// 0.6 and 0.7 fall into class 5, 3 into class 8, -2 into class 3.
TEST(EvidencePicture, HistogramKeepsEachColumnsLargestCount) {
  qor_test::TempDir dir;
  qor_test::CapturedConsole console;
  RunState s(console.console());
  qor_test::hold_matrix(s, 2, 3);
  const REAL values[2][3] = {{0.5L, 0.6L, 3}, {0.7L, -2, 0.1L}};
  for (int i = 0; i < 2; ++i)
    for (int j = 0; j < 3; ++j) s.A[i + 1][j + 1] = values[i][j];
  s.MIN = s.NU = 2;
  s.settings.RGAUSS = 1;
  prepare_histogram(s);
  write_histogram_file(s);
  EXPECT_EQ(s.GL, 8);
  EXPECT_EQ(s.histogram_largest, (std::vector<REAL>{0, 4, 0, 0}));  // no step ran: columns 2, 3 empty
  EXPECT_EQ(s.GB[5][1], 1);
  EXPECT_EQ(s.GB[8][1], 0.25L);
}

}  // namespace

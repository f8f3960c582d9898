#include "input/evidence_picture.h"

#include <gtest/gtest.h>

#include "analysis/histogram.h"
#include "test_data.h"
#include "test_support.h"

namespace {

// The picture takes the report's name as the analysis creates it (the first
// 12 characters, upper-cased), or the table file's name as given.
TEST(EvidencePicture, FileNameFollowsTheReport) {
  struct Case {
    const char* H;
    const char* GFNO;
    std::int32_t FTW, NU;
    const char* picture;
  };
  for (const Case& c : {Case{"mixtures.out", "", 0, 5, "MIXTURES.svg"}, {"run", "", 0, 5, "RUN.svg"},
                        {"out/run.1.txt", "", 0, 5, "OUT/RUN.1.svg"}, {"a.b/run", "", 0, 5, "A.B/RUN.svg"},
                        {"x.svg", "", 0, 5, "X.SVG.svg"}, {"averylongname.txt", "", 0, 5, "AVERYLONGNAM.svg"},
                        {"", "", 0, 5, "Qorplot.svg"}, {"r.out", "", 0, 0, "Qorplot.svg"},
                        {"", "tables.txt", 3, 2, "tables.svg"}, {"", "", 3, 2, "Qorplot.svg"}}) {
    qor_test::CapturedConsole console;
    RunState s(console.console());
    s.H = c.H;
    s.GFNO = c.GFNO;
    s.FTW = c.FTW;
    s.NU = c.NU;
    EXPECT_EQ(picture_file_name(s), c.picture) << c.H << " " << c.GFNO;
  }
}

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
  s.RGAUSS = 1;
  prepare_histogram(s);
  write_histogram_file(s);
  EXPECT_EQ(s.GL, 8);
  EXPECT_EQ(s.histogram_largest, (std::vector<REAL>{0, 4, 0, 0}));  // no step ran: columns 2, 3 empty
  EXPECT_EQ(s.GB[5][1], 1);
  EXPECT_EQ(s.GB[8][1], 0.25L);
}

}  // namespace

#include "input/evidence_picture.h"

#include <gtest/gtest.h>

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

}  // namespace

#include "outputs/evidence_picture.h"

#include <gtest/gtest.h>

#include "analysis/analysis_results.h"
#include "analysis/histogram.h"
#include "common/run_settings.h"
#include "outputs/outputs_after_run.h"
#include "test_data.h"
#include "test_support.h"

namespace {

// The picture is drawn from the results as values, with no run behind them.
std::string text_of(const std::string& svg) {
  std::string text;
  for (std::size_t at = svg.find("<text"); at != std::string::npos; at = svg.find("<text", at + 1)) {
    const std::size_t from = svg.find('>', at) + 1;
    text += svg.substr(from, svg.find("</text>", from) - from) + "|";
  }
  return text;
}

AnalysisResults pivots(std::initializer_list<REAL> values, bool errors) {
  AnalysisResults r;
  r.ran = true;
  r.errors = errors;
  r.N = 4;
  r.M = 3;
  r.steps = 3;
  for (const REAL v : values) r.pivots.push_back({v, errors ? 0.0001L : 0, {}, {}});
  return r;
}

TEST(EvidencePicture, NothingToDrawGivesNoPicture) {
  RunSettings given;
  AnalysisResults nothing;  // a table run of one step: no analysis, no histogram
  EXPECT_EQ(evidence_picture(given, nothing, nullptr), "");
  qor_test::CapturedConsole console;
  RunState s(console.console());
  RunOutcome outcome;
  outcome.results = nothing;
  write_evidence_picture(s, outcome);
  EXPECT_EQ(console.text(), "No picture: the run has no pivots, eigenvalues, verdict or histogram to show.\r\n");
}

TEST(EvidencePicture, PivotsFromTheirValues) {
  RunSettings given;
  given.AFNI = "d.txt";
  given.MER = 0.01L;
  const struct {
    AnalysisResults results;
    std::vector<std::string> texts;
  } cases[] = {
      // 4 x 3 with an error: the pure-noise level of step 1, sd 0.01 and K = 12,
      // is 0.01 sqrt(2 ln 24) = 0.0252; two pivots of three, the third all zero.
      {pivots({2.5L, -0.25L}, true),
       {"qor: d.txt|", "4 x 3, elimination, error 1.000E-02|", "Elimination pivots: d.txt|", "pure-noise level|",
        "Step 3: the remainder is all zero|"}},
      {pivots({2.5L, 0.5L, 0.125L}, false), {"No error given: no bars and no noise|"}},
      {pivots({}, false), {"The first pivot is 0: the matrix|"}},
  };
  for (const auto& c : cases) {
    const std::string text = text_of(evidence_picture(given, c.results, nullptr));
    for (const std::string& t : c.texts) EXPECT_NE(text.find(t), std::string::npos) << t << "\n" << text;
  }
  // The noise level passes through 0.0252 on the log axis of pivots 2.5 and
  // 0.25: the dashed line sits between the decades 1E-02 and 1E-01.
  const std::string svg = evidence_picture(given, cases[0].results, nullptr);
  EXPECT_NE(svg.find("stroke-dasharray=\"7 4\""), std::string::npos);
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

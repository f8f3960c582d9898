#include "outputs/evidence_picture.h"

#include <gtest/gtest.h>

#include "analysis/analysis_results.h"
#include "common/run_settings.h"
#include "outputs/outputs_after_run.h"
#include "test_data.h"
#include "test_support.h"

namespace {

// The picture is drawn from the results as values, with no run behind them.
std::string text_of(const std::string& svg) { return qor_test::svg_texts(svg, "|"); }

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
  ProgramRun s(console.console());
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

// The input's histogram of 600 classes of width 0.002 from -0.6 to 0.6, all
// filled: drawn 4 classes at a time (600 / 150), and the axis says so; the
// ticks are plain decimals at steps of 0.2 on both axes. Data from memory
// (no data file) are named by their size.
TEST(EvidencePicture, HistogramLabelsSayWhatIsDrawn) {
  AnalysisResults r;
  r.N = 4;
  r.M = 3;
  HistogramResult h;
  h.classes = 600;
  h.columns = 1;
  h.lowest_edge = -0.6L;
  h.width = 0.002L;
  h.counts.assign(601, std::vector<REAL>(2, 0.5L));
  h.largest = {0, 10};
  r.histogram = h;
  RunSettings given;
  const std::string text = "|" + text_of(evidence_picture(given, r, nullptr));
  for (const char* t : {"|qor: array 4 x 3|", "|Histogram of the input: array 4 x 3|",
                        "|element value (classes of 2.0E-03 merged 4 at a time: width 8.0E-03)|",
                        "|Each histogram line is scaled to its|largest class, as in Qorgauss.bin.|", "|-0.6|", "|-0.2|",
                        "|0|", "|0.4|", "|0.6|", "|1.0|"})
    EXPECT_NE(text.find(t), std::string::npos) << t << "\n" << text;
  for (const char* t : {"E-01|", "E+00|", "|0.0|", "qor:|", ": |"}) EXPECT_EQ(text.find(t), std::string::npos) << t << "\n" << text;
}

}  // namespace

#include "report/result_report.h"

#include <gtest/gtest.h>

#include "control/settings.h"
#include "test_support.h"

namespace {

using qor_test::CapturedConsole;
using qor_test::crlf;

// Results of a run of MIN steps laid out as the analysis leaves them.
struct ResultReport : ::testing::Test {
  CapturedConsole captured;
  ProgramRun s{captured.console()};

  ResultReport() {
    set_default_settings(s.settings);
    s.table.N = 3;
    s.table.M = 4;
    s.work.MIN = 2;
    s.table.A = MATRIX(4, 5);
    s.table.RO = MATRIX(4, 2);
    s.table.CO = MATRIX(2, 5);
    s.table.A[0][1] = 1.234L;
    s.table.A[0][2] = 0.056L;
    s.table.RO[1][1] = 3;
    s.table.RO[2][1] = 1;
    s.table.CO[1][1] = 2;
    s.table.CO[1][2] = 4;
  }
  std::string report(std::int16_t width) {
    PRINTRES(s.analysis(), s.console.out(), width, s.settings.KD);
    return captured.text();
  }
};

TEST_F(ResultReport, PlainReport) {
  EXPECT_EQ(report(7), crlf({"", "D,R,C: Diagonal elements, their original row/column numbers.",
                             " D:   1.234  0.056", " R:       3      1", " C:       2      4"}));
}

TEST_F(ResultReport, NoStepsLeavesOnlyTheLabels) {
  s.work.MIN = 0;
  EXPECT_EQ(report(7), crlf({"", "D,R,C: Diagonal elements, their original row/column numbers.",
                             " D: ", " R: ", " C: "}));
}

TEST_F(ResultReport, TitlesErrorsAndScientificNumbers) {
  s.settings.BTOR = s.table.row_titles = true;
  s.plan.MER = 0.1L;
  s.settings.KD = -1;
  s.table.RW = MATRIX(4, 2);
  s.work.SD = MATRIX(4, 5);
  s.table.RW[1][1] = 7;
  s.table.RW[2][1] = 9;
  s.table.RO[1][1] = 450.5L;
  s.table.RO[2][1] = 450.0004L;
  s.work.SD[1][1] = 0.01L;
  s.work.SD[2][2] = 0.0004L;
  EXPECT_EQ(report(11), crlf({"", "D,R,C,t: Diagonal elements, their original row/column numbers/titles.",
                              " D:  1.23E+0000 5.60E-0002", "   \xF1 1.00E-0001 2.00E-0002",
                              " R:           7          9", " t      450.500        450",
                              " C:           2          4"}));
}

TEST_F(ResultReport, ContributionRunWithoutTitlesStillNamesThem) {
  s.plan.FTW = 2;
  const std::string text = report(7);
  EXPECT_NE(text.find("D,R,C,t: Diagonal elements, their original row/column numbers/titles."),
            std::string::npos);
  EXPECT_NE(text.find(" R:       3      1\r\n C:"), std::string::npos);
}

TEST_F(ResultReport, StatisticsLinesStandOneColumnFurtherLeft) {
  s.plan.LSD = true;
  s.work.AR = MATRIX(9, 3);
  for (int j = 1; j <= 8; ++j) {
    s.work.AR[j][1] = j;
    s.work.AR[j][2] = -j;
  }
  EXPECT_EQ(report(7),
            crlf({"", "    D,R,C: Diagonal elements, their original row/column numbers.",
                  "M,Sd,Sk,K: Mean, standard deviation; normalized skewness and kurtosis.",
                  " D:   1.234  0.056", " R:       3      1", " C:       2      4",
                  "Statistical description for the elements of the remainder matrix:",
                  " M:  1.000 -1.000", "Sd:  2.000 -2.000", "Sk:  3.000 -3.000", " K:  4.000 -4.000",
                  "Statistical description for the absolute elements of the remainder matrix:",
                  " M:  5.000 -5.000", "Sd:  6.000 -6.000", "Sk:  7.000 -7.000", " K:  8.000 -8.000"}));
}

TEST_F(ResultReport, HeaderListsTheParametersAsTyped) {
  s.table.N = 12;
  s.table.M = 30;
  s.params = {"qor", "data.txt", "out.txt"};
  HELP3(s.table.N, s.table.M, s.params, s.console.out());
  EXPECT_EQ(captured.text(), crlf({"N_row: 12. N_column: 30.", "Input parameters: data.txt out.txt"}));
}

TEST_F(ResultReport, HeaderSkipsEmptyParameters) {
  s.params = {"qor", "d,TOR", "o", "", "0.1", "", "R2"};
  HELP3(s.table.N, s.table.M, s.params, s.console.out());
  EXPECT_EQ(captured.text(), crlf({"N_row: 3. N_column: 4.", "Input parameters: d,TOR o 0.1 R2"}));
}

}  // namespace

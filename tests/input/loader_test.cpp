#include "input/loader.h"

#include <gtest/gtest.h>

#include "common/run_error.h"
#include "control/settings.h"
#include "test_support.h"

namespace {

using qor_test::CapturedConsole;
using qor_test::TempDir;
using qor_test::write_file;

struct Loader : ::testing::Test {
  TempDir dir;
  CapturedConsole captured;
  RunState s{captured.console()};

  Loader() {
    set_default_settings(s);
    s.AFNI = "data.txt";
  }
  void load(const std::string& bytes) {
    write_file("data.txt", bytes);
    load_data_matrix(s);
  }
  RunError load_error(const std::string& bytes) {
    try {
      load(bytes);
    } catch (const RunError& e) {
      return e;
    }
    ADD_FAILURE() << "expected the load to fail";
    return RunError(0, "");
  }
};

TEST_F(Loader, WorkedSelection) {
  s.ERS = "[2]";
  s.DCS = "[1]";
  s.OSR = 3;
  load("11 12 13\r\n21 22 23\r\n31 32 33\r\n41 42 43\r\n");
  EXPECT_EQ(s.N0, 4);
  EXPECT_EQ(s.M0, 3);
  EXPECT_EQ(s.N, 3);
  EXPECT_EQ(s.M, 2);
  EXPECT_EQ(s.OSR, 2);
  EXPECT_EQ(s.SIZE, 10);
  const REAL rows[] = {1, 3, 4};
  for (int k = 1; k <= 3; ++k) {
    EXPECT_EQ(s.RO[k][1], rows[k - 1]);
    EXPECT_EQ(s.A[k][1], rows[k - 1] * 10 + 2);
    EXPECT_EQ(s.A[k][2], rows[k - 1] * 10 + 3);
  }
  EXPECT_EQ(s.CO[1][1], 2);
  EXPECT_EQ(s.CO[1][2], 3);
  EXPECT_FALSE(s.RW.allocated());
  EXPECT_FALSE(s.CW.allocated());
  EXPECT_EQ(captured.text(), std::string(38, ' '));
}

TEST_F(Loader, TitlesAndBlankLines) {
  s.BTOR = s.CTOC = true;
  load("\r\n  \t\r\n          400      450.5      500\r\n"
       "   1     0.105    0.210    0.330\r\n\r\n"
       "   2.5   0.110    0.219    0.341\r\n   \r\n");
  EXPECT_EQ(s.N0, 2);
  EXPECT_EQ(s.M, 3);
  EXPECT_EQ(s.RO[1][1], 1);
  EXPECT_EQ(s.RO[2][1], 2.5L);
  EXPECT_EQ(s.RW[1][1], 1);
  EXPECT_EQ(s.RW[2][1], 2);
  EXPECT_EQ(s.CO[1][2], 450.5L);
  EXPECT_EQ(s.CW[1][2], 2);
  EXPECT_EQ(s.A[2][3], 0.341L);
}

TEST_F(Loader, LeftOutRowsAreReadOnlyToTheirFirstNumber) {
  s.ERS = "[1,3]";
  s.OSR = 3;
  load("1 junk text ;;\n\n2 20 30\n3 not numbers\n4 40 50\n");
  EXPECT_EQ(s.N0, 4);
  EXPECT_EQ(s.M0, 3);  // counted on row 2, the first selected one, after the blank line
  EXPECT_EQ(s.N, 2);
  EXPECT_EQ(s.OSR, 0);  // the reference row was left out
  EXPECT_EQ(s.A[2][3], 50);
}

TEST_F(Loader, ContributionTablesNeedTheOriginalNumbers) {
  s.FTW = 2;
  s.PCRC = true;
  load("1 2\n3 4\n5 6\n");
  ASSERT_TRUE(s.RW.allocated());
  ASSERT_TRUE(s.CW.allocated());
  EXPECT_EQ(s.TW.rows(), 2);
  EXPECT_EQ(s.TW.cols(), 3);
  s.PCRC = false;
  load("1 2\n3 4\n5 6\n");
  EXPECT_EQ(s.TW.rows(), 4);
  EXPECT_EQ(s.TW.cols(), 2);
}

TEST_F(Loader, RowWithTooManyValuesStops) {
  const RunError e = load_error("1 2 3\n4 5 6 7\n8 9 10\n");
  EXPECT_EQ(e.number(), 106);
  EXPECT_EQ(e.report_line(),
            "Runtime error 106: data file \"data.txt\": data row 2 (line 2) holds 4 values, but 3 "
            "were expected (the count on the first selected row); every selected row must hold all "
            "its values on one line.");
}

TEST_F(Loader, RowWithTooFewValuesStops) {
  s.BTOR = true;
  const RunError e = load_error("\n1 1 2 3\n2 4 5\n3 6 7 8\n");
  EXPECT_EQ(e.number(), 106);
  EXPECT_NE(std::string(e.what()).find("data row 2 (line 3) holds 2 values after its title, but 3"),
            std::string::npos)
      << e.what();
}

TEST_F(Loader, ShortTitleLineStops) {
  s.CTOC = true;
  const RunError e = load_error("400 450\n1 2 3\n");
  EXPECT_EQ(e.number(), 106);
  EXPECT_NE(std::string(e.what()).find("column-title line (line 1) holds 2 titles, but 3"),
            std::string::npos)
      << e.what();
}

TEST_F(Loader, BadTokensAreError106) {
  for (const char* text : {"1 2\n3 x\n", "1 2\n3 4,5\n", "1 2;\n3 4\n"})
    EXPECT_EQ(load_error(text).number(), 106) << text;
}

TEST_F(Loader, MissingFileIsError2) {
  try {
    load_data_matrix(s);
    FAIL();
  } catch (const RunError& e) {
    EXPECT_EQ(e.number(), 2);
    EXPECT_NE(e.report_line().find("\"data.txt\""), std::string::npos);
  }
}

TEST_F(Loader, NothingToAnalyse) {
  EXPECT_EQ(load_error("").number(), kNothingToAnalyse);
  EXPECT_EQ(load_error(" \r\n\t\r\n").number(), kNothingToAnalyse);
  s.CTOC = true;
  EXPECT_EQ(load_error("400 500\n").number(), kNothingToAnalyse);
  s.CTOC = false;
  s.ERS = "[1..9]";
  const RunError rows = load_error("1 2\n3 4\n");
  EXPECT_EQ(rows.number(), kNothingToAnalyse);
  EXPECT_EQ(rows.report_line().rfind("Error: the row selection [1..9] leaves out every row", 0), 0u);
  s.ERS = "[]";
  s.DCS = "[1,2]";
  EXPECT_EQ(load_error("1 2\n3 4\n").number(), kNothingToAnalyse);
}

}  // namespace

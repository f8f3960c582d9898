#include "input/loader.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "common/run_error.h"
#include "input/data_file_fixture.h"

namespace {

using Grid = std::vector<std::vector<REAL>>;  // elements [1..rows][1..cols] of a matrix
using Counts = std::tuple<int, int, int, int, int>;  // N0, M0, N, M, OSR

Grid grid(const MATRIX& m, int rows, int cols) {
  Grid g(rows, std::vector<REAL>(cols));
  for (int i = 1; i <= rows; ++i)
    for (int j = 1; j <= cols; ++j) g[i - 1][j - 1] = m[i][j];
  return g;
}

struct Loader : qor_test::DataFileRun {
  RunError load_error(const std::string& bytes) {
    try {
      load(bytes);
    } catch (const RunError& e) {
      return e;
    }
    ADD_FAILURE() << "expected the load to fail";
    return RunError(0, "");
  }
  Counts counts() const { return {s.table.N0, s.table.M0, s.table.N, s.table.M, s.table.OSR}; }
};

TEST_F(Loader, WorkedSelection) {
  s.settings.ERS = "[2]";
  s.settings.DCS = "[1]";
  s.settings.OSR = 3;
  load("11 12 13\r\n21 22 23\r\n31 32 33\r\n41 42 43\r\n");
  EXPECT_EQ(counts(), Counts(4, 3, 3, 2, 2));
  EXPECT_EQ(s.work.SIZE, 10);
  EXPECT_EQ(grid(s.table.RO, 3, 1), (Grid{{1}, {3}, {4}}));
  EXPECT_EQ(grid(s.table.A, 3, 2), (Grid{{12, 13}, {32, 33}, {42, 43}}));
  EXPECT_EQ(grid(s.table.CO, 1, 2), (Grid{{2, 3}}));
  EXPECT_FALSE(s.table.RW.allocated() || s.table.CW.allocated());
  EXPECT_EQ(captured.text(), std::string(38, ' '));
}

TEST_F(Loader, TitlesAndBlankLines) {
  s.settings.BTOR = s.settings.CTOC = true;
  load("\r\n  \t\r\n          400      450.5      500\r\n"
       "   1     0.105    0.210    0.330\r\n\r\n"
       "   2.5   0.110    0.219    0.341\r\n   \r\n");
  EXPECT_EQ(counts(), Counts(2, 3, 2, 3, 0));
  EXPECT_EQ(grid(s.table.RO, 2, 1), (Grid{{1}, {2.5L}}));
  EXPECT_EQ(grid(s.table.RW, 2, 1), (Grid{{1}, {2}}));
  EXPECT_EQ(grid(s.table.CO, 1, 3), (Grid{{400, 450.5L, 500}}));
  EXPECT_EQ(grid(s.table.CW, 1, 3), (Grid{{1, 2, 3}}));
  EXPECT_EQ(grid(s.table.A, 2, 3), (Grid{{0.105L, 0.210L, 0.330L}, {0.110L, 0.219L, 0.341L}}));
}

TEST_F(Loader, LeftOutRowsAreReadOnlyToTheirFirstNumber) {
  s.settings.ERS = "[1,3]";
  s.settings.OSR = 3;
  load("1 junk text ;;\n\n2 20 30\n3 not numbers\n4 40 50\n");
  // M0 counted on row 2 (the first selected one, after the blank line); reference row left out.
  EXPECT_EQ(counts(), Counts(4, 3, 2, 3, 0));
  EXPECT_EQ(grid(s.table.A, 2, 3), (Grid{{2, 20, 30}, {4, 40, 50}}));
}

TEST_F(Loader, ContributionTablesNeedTheOriginalNumbers) {
  s.settings.FTW = 2;
  s.settings.PCRC = true;
  load("1 2\n3 4\n5 6\n");
  ASSERT_TRUE(s.table.RW.allocated() && s.table.CW.allocated());
  EXPECT_EQ(std::make_pair(s.TW.rows(), s.TW.cols()), std::make_pair(2, 3));
  s.settings.PCRC = false;
  load("1 2\n3 4\n5 6\n");
  EXPECT_EQ(std::make_pair(s.TW.rows(), s.TW.cols()), std::make_pair(4, 2));
}

TEST_F(Loader, MalformedDataIsError106AndAMissingFileError2) {
  const RunError e = load_error("1 2 3\n4 5 6 7\n8 9 10\n");
  EXPECT_EQ(e.number(), 106);
  EXPECT_EQ(e.report_line(),
            "Runtime error 106: data file \"data.txt\": data row 2 (line 2) holds 4 values, but 3 "
            "were expected (the count on the first selected row); every selected row must hold all "
            "its values on one line.");
  const struct { bool btor, ctoc; const char *text, *says; } cases[] = {
      {true, false, "\n1 1 2 3\n2 4 5\n3 6 7 8\n", "data row 2 (line 3) holds 2 values after its title, but 3"},
      {false, true, "400 450\n1 2 3\n", "column-title line (line 1) holds 2 titles, but 3"},
      {false, false, "1 2\n3 x\n", "\"x\" in data file \"data.txt\", line 2, field 2, is not a number"},
      {false, false, "1 2\n3 4,5\n", "\"4,5\" in data file \"data.txt\", line 2, field 2, is not a number"},
      {false, false, "1 2;\n3 4\n", "\"2;\" in data file \"data.txt\", line 1, field 2, is not a number"}};
  for (const auto& c : cases) {
    s.settings.BTOR = c.btor;
    s.settings.CTOC = c.ctoc;
    const RunError bad = load_error(c.text);
    EXPECT_EQ(bad.number(), 106) << c.text;
    ASSERT_NE(std::string(c.says), "");
    EXPECT_NE(std::string(bad.what()).find(c.says), std::string::npos) << bad.what();
  }
  s.settings.AFNI = "missing.txt";  // a missing file is error 2, named in the report
  EXPECT_EQ(load_error("1\n").number(), 2);
  EXPECT_NE(load_error("1\n").report_line().find("\"missing.txt\""), std::string::npos);
}

// A number of more than 255 characters, wherever the data file holds one,
// stops the run: read in parts it became two values (260 digits: a matrix of
// two columns) and shifted the rest of the data.
TEST_F(Loader, NumbersLongerThan255CharactersAreRefusedNotSplit) {
  const std::string digits260 = std::string(259, '0') + "5";
  const struct {
    bool btor, ctoc;
    const char* ers;
    std::string text;
    const char* place;
  } cases[] = {
      {false, false, "[]", digits260 + "\n", "line 1, field 1"},
      {false, false, "[]", "1 2\n3 " + digits260 + "\n", "line 2, field 2"},
      {true, false, "[]", "1 2 3\n" + digits260 + " 4 5\n", "line 2, field 1"},            // a row title
      {false, true, "[]", "400 " + digits260 + "\n1 2\n", "line 1, field 2"},              // a column title
      {false, true, "[]", digits260 + " 450\n1 2\n", "line 1, field 1"},                   // read by the value pass
      {false, false, "[1]", digits260 + " x y\n1 2\n", "line 1, field 1"},                 // a left-out row
      {false, false, "[]", "\r\n  1\t" + std::string(2000, '1') + "\n", "line 2, field 2"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text.substr(0, 12));
    s.settings.BTOR = c.btor;
    s.settings.CTOC = c.ctoc;
    s.settings.ERS = c.ers;
    const RunError e = load_error(c.text);
    EXPECT_EQ(e.number(), 106);
    EXPECT_NE(std::string(e.what()).find(std::string(" in data file \"data.txt\", ") + c.place + ", is "),
              std::string::npos)
        << e.what();
  }
}

TEST_F(Loader, NothingToAnalyse) {
  for (const char* text : {"", " \r\n\t\r\n"}) EXPECT_EQ(load_error(text).number(), kNothingToAnalyse) << text;
  s.settings.CTOC = true;
  EXPECT_EQ(load_error("400 500\n").number(), kNothingToAnalyse);
  s.settings.CTOC = false;
  s.settings.ERS = "[1..9]";
  const RunError rows = load_error("1 2\n3 4\n");
  EXPECT_EQ(rows.number(), kNothingToAnalyse);
  EXPECT_EQ(rows.report_line().rfind("Error: the row selection [1..9] leaves out every row", 0), 0u);
  s.settings.ERS = "[]";
  s.settings.DCS = "[1,2]";
  EXPECT_EQ(load_error("1 2\n3 4\n").number(), kNothingToAnalyse);
}

}  // namespace

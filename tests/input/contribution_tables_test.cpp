#include "input/contribution_tables.h"

#include <gtest/gtest.h>

#include "e2e/run_support.h"
#include "test_support.h"

namespace {

using qor_test::read_file;
using qor_test::run_qor;
using qor_test::write_file;

// Header, heading and value lines of a table file.
std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
    lines.push_back(text.substr(start, end - start));
  return lines;
}

// Each run in a fresh working directory.
struct ContributionTables : ::testing::Test {
  qor_test::TempDir dir;
};

TEST_F(ContributionTables, ColumnTableLayout) {
  // Column 3 titled 450 holds -0.00123457 in input row 12 below the first step's pivot row.
  std::string data = "       400      425      450\r\n";
  for (int row = 1; row <= 12; ++row) {
    const std::string third = row == 12 ? "-0.00123457" : row == 1 ? "0.0001" : "0";
    data += std::to_string(row) + (row == 1 ? "  5 0 " : "  0 0.001 ") + third + "\r\n";
  }
  write_file("d.txt", data);
  const auto run = run_qor({"d.txt,TOR,TOC,TW2,CRC,NS", "tab.txt"});
  ASSERT_EQ(run.status, 0) << run.out;
  const auto lines = lines_of(read_file("tab.txt"));  // the full name, not cut, not upper-cased
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[0], "N_row: 12. N_column: 3.");
  EXPECT_EQ(lines[2], "  Column titles  RAC            Abs(RAC)        Row Column");
  EXPECT_EQ(lines[5], " 4.50000E+0002 -1.23457E-0003  1.23457E-0003     12      3");
  // The pivot column: its remainder is cleared by the step, so its RAC is the
  // first of equal magnitude in the current row order.
  EXPECT_EQ(lines[3].substr(0, 44), " 4.00000E+0002  0.00000E+0000  0.00000E+0000");
  // The console shows the result report of the one elimination step.
  EXPECT_PRED_FORMAT2(::testing::IsSubstring, " D:   5.000", run.out);
}

TEST_F(ContributionTables, RowTableSortedByMagnitudeOnTheConsole) {
  write_file("d.txt", "1 -2 0.5\r\n0.1 3 -4\r\n2 2 -2\r\n");
  const auto run = run_qor({"d.txt,TW1", ""});
  ASSERT_EQ(run.status, 0) << run.out;
  // No analysis: only the header and the table follow the 38 blanks.
  const auto lines = lines_of(run.out.substr(38));
  ASSERT_EQ(lines.size(), 6u) << run.out;
  EXPECT_EQ(lines[2], "  Row titles     RAC            Abs(RAC)        Row Column");
  EXPECT_EQ(lines[3], " 2.00000E+0000 -4.00000E+0000  4.00000E+0000      2      3");
  // Row 3's first element of largest magnitude is the 2 in column 1.
  EXPECT_EQ(lines[4], " 3.00000E+0000  2.00000E+0000  2.00000E+0000      3      1");
  EXPECT_EQ(lines[5], " 1.00000E+0000 -2.00000E+0000  2.00000E+0000      1      2");
}

TEST_F(ContributionTables, OneEntryTablesNeedNoSort) {
  write_file("d.txt", "1 2 3\r\n");
  EXPECT_EQ(run_qor({"d.txt,TW1", "r.txt"}).status, 0);
  EXPECT_EQ(lines_of(read_file("r.txt")).size(), 4u);
  write_file("c.txt", "1\r\n2\r\n3\r\n");
  EXPECT_EQ(run_qor({"c.txt,TW1,CRC", "c.out"}).status, 0);
  EXPECT_EQ(lines_of(read_file("c.out")).back(), " 1.00000E+0000  3.00000E+0000  3.00000E+0000      3      1");
}

TEST_F(ContributionTables, NoAnalysisTablesTheMatrixAfterTheReferenceRow) {
  write_file("d.txt", "1 1 1\r\n2 -5 3\r\n1 4 1\r\n");
  const auto run = run_qor({"d.txt,TW1,NS", "r.txt", "", "", "", "R1"});
  ASSERT_EQ(run.status, 0) << run.out;
  // Rows 2 and 3 minus row 1: (1, -6, 2) and (0, 3, 0), labelled with their original numbers.
  const auto lines = lines_of(read_file("r.txt"));
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[3], " 2.00000E+0000 -6.00000E+0000  6.00000E+0000      2      2");
  EXPECT_EQ(lines[4], " 3.00000E+0000  3.00000E+0000  3.00000E+0000      3      2");
}

}  // namespace

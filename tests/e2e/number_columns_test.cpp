// Numbers wider than their columns in whole runs: the eigenvalue line of a
// tall matrix, a step listing with the user's width too small for any
// number, a contribution table in width 1. Each keeps one blank before such
// a number where it used to touch its neighbour.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e/run_support.h"
#include "test_support.h"

namespace {

using qor_test::read_file;
using qor_test::write_file;

// One row (0, ..., 0, 2000) and 100,000 rows (1, ..., 1, 0) of 11 values.
// The product matrix's largest eigenvalue is 2000^2 along the last column;
// its standard deviation with the error 0.1 is 2 * 2000 * 0.1 = 400. After
// it, every 1 of the other rows is a residual of 10 standard deviations: a
// million beyond 1, 2 and 3 of them, and a chi-square sum of 10^6 * 10^2.
// Both probabilities lie below the fraction's cut-off.
std::string tall_rank_one_block() {
  std::string data = "0 0 0 0 0 0 0 0 0 0 2000\r\n";
  data.reserve(data.size() + 100000 * 23);
  for (int i = 0; i < 100000; ++i) data += "1 1 1 1 1 1 1 1 1 1 0\r\n";
  return data;
}

TEST(NumberColumns, WholeRuns) {
  const struct {
    std::string data;
    std::vector<std::string> args;  // after "d.txt"
    std::string file;               // the file whose text holds all of `texts`
    std::vector<std::string> texts;
  } cases[] = {
      // The three counts used to run together with the deviation and each other.
      {tall_rank_one_block(),
       {"d.txt", "O*", "B", "0.1", "1"},
       "O",
       {")= 4.000E+06\xF1 4.000E+02 1000000 1000000 1000000 1.000E+08=> 0.000E+00 0.000E+00\r\n"}},
      // Width 3 with 2 decimals: no number fits; the row labels and the
      // values were one run of digits ("         24.253.00").
      {"1.5 2\r\n3 4.25\r\n",
       {"d.txt", "O", "3:2"},
       "O",
       {"N_row: 2. N_column: 2.\r\n"
        "Input parameters: d.txt O 3:2\r\n"
        "     Order  2  1\r\n"
        "         2 4.25 3.00\r\n"
        "         1 2.00 1.50\r\n"
        "     Order  2  1\r\n"
        "         2 4.25 0.00\r\n"
        "         1 0.00 0.09\r\n"
        "\r\n"
        "D,R,C: Diagonal elements, their original row/column numbers.\r\n"
        " D: 4.25 0.09\r\n"
        " R:   2  1\r\n"
        " C:   2  1\r\n"}},
      // Row i holds (i, 2i): its largest value 2i stands in column 2. The
      // row and column numbers in width 1 used to touch the value before
      // them and each other ("1.6E+000182").
      {"1 2\r\n2 4\r\n3 6\r\n4 8\r\n5 10\r\n6 12\r\n7 14\r\n8 16\r\n9 18\r\n10 20\r\n11 22\r\n12 24\r\n",
       {"d.txt,TW1", "TAB.TXT", "1:3"},
       "TAB.TXT",
       {"\n 8.0E+0000  1.6E+0001  1.6E+0001 8 2\r\n", "\n 1.2E+0001  2.4E+0001  2.4E+0001 12 2\r\n"}},
  };
  for (const auto& c : cases) {
    qor_test::TempDir dir;
    write_file("d.txt", c.data);
    const auto run = qor_test::run_qor(c.args);
    EXPECT_EQ(run.status, 0) << c.args[2] << "\n" << run.out;
    const std::string text = read_file(c.file);
    for (const auto& t : c.texts) EXPECT_PRED_FORMAT2(::testing::IsSubstring, t, text) << c.args[2];
  }
}

}  // namespace

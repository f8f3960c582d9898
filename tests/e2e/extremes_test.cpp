// Numerical and format extremes: each run ends with a result or a clear
// error, never a crash or a hang (stdin is at end of input, so every pause
// of the numerical routines passes).
#include <gtest/gtest.h>

#include "e2e/run_support.h"
#include "test_support.h"

namespace {

using qor_test::read_file;
using qor_test::write_file;

// Runs qor and expects the given exit status, showing the arguments and the output otherwise.
qor_test::RunResult run_expecting(const std::vector<std::string>& args, int status = 0) {
  auto run = qor_test::run_qor(args);
  std::string shown;
  for (const auto& arg : args) shown += arg + " ";
  EXPECT_EQ(run.status, status) << shown << "\n" << run.out;
  return run;
}

// Every analysis mode on one data file.
const std::vector<std::vector<std::string>> kModes = {
    {"d.txt,TG0.5", "o1", "S", "0.01@2"},  {"d.txt", "o2", "T12:-1", "0.5"},
    {"d.txt", "o3", "B", "1e-3@1"},         {"d.txt", "o4", "E30:20", ""},
    {"d.txt,TW2,CRC", "o5"},                {"d.txt,TW1", "o6"},
};

// statuses: one per mode of kModes; none given means every mode ends with 0.
void expect_every_mode_finishes(const std::string& data, std::vector<int> statuses = {}) {
  qor_test::TempDir dir;
  write_file("d.txt", data);
  statuses.resize(kModes.size(), 0);
  for (std::size_t i = 0; i < kModes.size(); ++i) run_expecting(kModes[i], statuses[i]);
}

// Each run in a fresh working directory.
struct Extremes : ::testing::Test {
  qor_test::TempDir dir;
};

// The histogram needs too many classes (64); the product matrix, the element
// variances and the QL iteration overflow (67).
TEST_F(Extremes, ValuesNearTheLimitsOfReal) {
  expect_every_mode_finishes("1e4930 -1e4931 1e-4940\r\n-1e-4935 1e4900 3\r\n1.1e4932 0 -1.1e4932\r\n",
                             {64, 67, 67, 67, 0, 0});
}

// Every place where finite data can overflow stops the run with one line that
// names it and a status of 67, leaving the report as far as it was written.
TEST_F(Extremes, OverflowStopsTheRunAndKeepsTheReport) {
  const std::string header = "N_row: 2. N_column: 2.\r\n";
  // A number wider than its column is still kept apart from the label before it.
  const std::string listing = "      Order      1      2\r\n          1 1.0000000000000000E+4932 1.0000000000000000E+4932\r\n"
                              "          2 -1.0000000000000000E+4932 1.0000000000000000E+4932\r\n";
  const struct {
    std::string data;
    std::vector<std::string> args;  // after "d.txt"
    std::string error;              // after "Error: ", up to " the range of the 80-bit type"
    std::string report;             // without the parameter line; "-": none created, "*": see below
  } cases[] = {
      {"1 2\r\n3 4\r\n", {"o", "S", "1e2467"}, "the element variances overflow", "-"},
      {"1 2\r\n3 4\r\n", {"o", "B", "@1e2470"}, "the element variances overflow", "-"},
      {"1.1e2466 1\r\n2 1\r\n", {"o", "T"}, "the product matrix overflows", header},
      {"1.1e2466 1\r\n2 1\r\n", {"o", "B", "1"}, "the product matrix overflows", header},
      {"1e2000 1\r\n2 1e2000\r\n", {"o", "T", "@1"}, "the variances of the product matrix overflow", header},
      {"4.9e2465 4.9e2465 4.9e2465\r\n4.9e2465 4.9e2465 4.9e2465\r\n4.9e2465 4.9e2465 4.9e2465\r\n", {"o", "B"},
       "the tridiagonal reduction of the product matrix overflows", "N_row: 3. N_column: 3.\r\n"},
      {"0 1e4932\r\n1e4932 0\r\n", {"o", "E"}, "the QL iteration for the eigenvalues of the matrix overflows",
       header},
      // The listing of step 1 comes before its elimination.
      {"1e4932 1e4932\r\n-1e4932 1e4932\r\n", {"o", ""}, "the remainder after elimination step 1 overflows",
       header + listing},
      {"1e2000 1e2000\r\n1e2000 -1e2000\r\n", {"o*", "", "@1"},
       "the variances propagated through elimination step 1 overflow", header},
      {"1e1300 -1e1300\r\n2 3\r\n", {"o", "S"}, "the statistics of the remainder before elimination step 1 overflow",
       header},
      {"1e4932 1\r\n-1e4932 2\r\n", {"o", "", "", "", "R1"}, "subtracting the reference row overflows", "-"},
      // The report keeps the eigenvalue line up to the test that overflowed.
      {"2 1\r\n1 2\r\n", {"o", "E", "1e-2467"}, "the chi-square sum of eigenvalue 1 overflows", "*"},
  };
  for (const auto& c : cases) {
    std::filesystem::remove("O");
    write_file("d.txt", c.data);
    std::vector<std::string> args{"d.txt"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const auto run = run_expecting(args, 67);
    const std::size_t at = run.out.find("\r\nError: ");
    ASSERT_NE(at, std::string::npos) << run.out;
    EXPECT_EQ(run.out.substr(at + 9, c.error.size() + 31), c.error + " the range of the 80-bit type (") << c.error;
    EXPECT_EQ(run.out.substr(run.out.size() - 3), ".\r\n") << c.error;
    EXPECT_EQ(run.out.find('\n', at + 2), run.out.size() - 1) << "one line: " << run.out;
    if (c.report == "-") {
      EXPECT_FALSE(std::filesystem::exists("O")) << c.error;
    } else if (c.report == "*") {
      const std::string report = read_file("O");
      const std::string last_line = report.substr(report.rfind("\r\n") + 2);
      EXPECT_EQ(last_line.substr(0, 17), "\xE6" "1(2)= 3.000E+00\xF1") << report;
      EXPECT_EQ(last_line.substr(last_line.size() - 6), "E-2467") << report;
    } else {
      std::string typed = "Input parameters: d.txt";
      for (const auto& arg : c.args)
        if (!arg.empty()) typed += " " + arg;
      std::string report = c.report;
      report.insert(report.find("\r\n") + 2, typed + "\r\n");
      EXPECT_EQ(read_file("O"), report) << c.error;
    }
  }
}

TEST_F(Extremes, HistogramWithTooManyClassesIsRefused) {
  write_file("d.txt", "1 333333\r\n2 3\r\n");
  const auto run = run_expecting({"d.txt,TG0.1", "o"}, 64);
  EXPECT_PRED_FORMAT2(::testing::IsSubstring,
                      "\r\nError: the histogram class width 1.00000E-0001 is too small for elements up to "
                      "3.33333E+0005: it would need 6666662 classes",
                      run.out);
  EXPECT_FALSE(std::filesystem::exists("Qorgauss.bin"));
  EXPECT_FALSE(std::filesystem::exists("O"));
}

TEST_F(Extremes, SelectionListTooLongForItsCapacityIsRefused) {
  write_file("d.txt", "1 2\r\n3 4\r\n");
  std::string list = "d.txt,C[";
  for (int i = 0; i < 130; ++i) list += "1,";
  const auto run = run_expecting({list + "1]", "o"}, 64);
  EXPECT_EQ(run.out.rfind("Error: the list after \",C[\" is 263 characters long; at most 255 fit.", 0), 0u) << run.out;
}

// A matrix of (negative) zeros has rank 0: no step, no value in the result
// lines, and no statistics column to show.
TEST_F(Extremes, ZerosAndNegativeZeros) {
  expect_every_mode_finishes("0 -0 0\r\n-0 0 -0\r\n");
  write_file("z.txt", "-0 -0\r\n-0 -0\r\n");
  run_expecting({"z.txt", "z.out", "S"});
  EXPECT_EQ(read_file("Z.OUT"),
            qor_test::crlf({"N_row: 2. N_column: 2.", "Input parameters: z.txt z.out S", "",
                            "    D,R,C: Diagonal elements, their original row/column numbers.",
                            "M,Sd,Sk,K: Mean, standard deviation; normalized skewness and kurtosis.", " D: ",
                            " R: ", " C: ", "Statistical description for the elements of the remainder matrix:", " M:",
                            "Sd:", "Sk:", " K:",
                            "Statistical description for the absolute elements of the remainder matrix:", " M:",
                            "Sd:", "Sk:", " K:"}));
}

// Errors whose squares overflow stop the run (67); those whose squares vanish
// leave variances of 0, which add nothing to the chi-square sum.
TEST_F(Extremes, HugeAndTinyErrors) {
  write_file("d.txt", "1 2\r\n3 4\r\n");
  // The second pivot 1 - 2 x 3 / 4 has the derivatives 1, -3/4, -1/2 and 3/8:
  // with variance 25 everywhere its variance is 25 x 1.953125, deviation 6.988.
  const struct {
    const char* error;
    int status;
    const char* deviations;  // the report's plus-minus line in elimination mode
  } cases[] = {{"1e4000", 67, ""},
               {"1e-4000", 0, "   \xF1  0.000  0.000\r\n"},
               {"@1e4000", 67, ""},
               {"1e-4000@1e-4000", 0, "   \xF1  0.000  0.000\r\n"},
               {"-5", 0, "   \xF1  5.000  6.988\r\n"}};
  for (const auto& c : cases) {
    for (const char* format : {"S", "B"}) run_expecting({"d.txt", "o", format, c.error}, c.status);
    if (c.status != 0) continue;
    run_expecting({"d.txt", "o*", "", c.error});
    EXPECT_PRED_FORMAT2(::testing::IsSubstring, c.deviations, read_file("O")) << c.error;
  }
}

TEST_F(Extremes, WidthsAndDecimals) {
  write_file("d.txt", "1.5 2\r\n3 4.25\r\n");
  for (const char* format : {"S32767:32767", "S-32768:-32768", "0:0", "S1:-1", "B-32768:5", "B32767:-3",
                             "28:-1", "B29:3"}) {
    run_expecting({"d.txt,TW2", "t", format});
    run_expecting({"d.txt,TG0.5", "o", format, "0.1"});
  }
}

TEST_F(Extremes, LongLinesNamesAndTitles) {
  std::string wide;
  for (int j = 0; j < 20000; ++j) wide += (j ? " " : "") + std::to_string(j % 7);
  write_file("w.txt", wide + "\r\n" + wide + "\r\n");
  run_expecting({"w.txt", "w.out*", "", "", "2"});
  write_file("t.txt", " 12345678901234567890 98765432109876543210\r\n"
                      "12345678901234567891 1 2\r\n-12345678901234567892 3 5\r\n");
  run_expecting({"t.txt,TOR,TOC", "t.out", "S", "0.1"});
  // Titles keep 17 significant digits in the report.
  EXPECT_PRED_FORMAT2(::testing::IsSubstring, "\r\n t  -12345678901234568000", read_file("T.OUT"));
  EXPECT_PRED_FORMAT2(::testing::IsSubstring, "Runtime error 2:", run_expecting({std::string(300, 'n'), "o"}, 2).out);
}

// A single row or column has rank 1 at most: its largest element is the one pivot.
TEST_F(Extremes, OneRowOrOneColumn) {
  const struct {
    const char* data;
    const char* result;
  } cases[] = {{"5 -3 2 0\r\n", " D:   5.000\r\n R:       1\r\n C:       1\r\n"},
               {"5\r\n-3\r\n2\r\n", " D:   5.000\r\n R:       1\r\n C:       1\r\n"},
               {"-3 7\r\n", " D:   7.000\r\n R:       1\r\n C:       2\r\n"},
               {"7\r\n", " D:   7.000\r\n R:       1\r\n C:       1\r\n"}};
  for (const auto& c : cases) {
    expect_every_mode_finishes(c.data);
    write_file("one.txt", c.data);
    run_expecting({"one.txt", "one.out"});
    const std::string report = read_file("ONE.OUT");
    EXPECT_EQ(report.substr(report.size() - std::string(c.result).size()), c.result) << c.data;
  }
}

}  // namespace

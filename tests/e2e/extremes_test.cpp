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

void expect_every_mode_finishes(const std::string& data, bool histogram_refused = false) {
  qor_test::TempDir dir;
  write_file("d.txt", data);
  for (const auto& args : kModes)
    run_expecting(args, histogram_refused && args[0].find(",TG") != std::string::npos ? 64 : 0);
}

// Each run in a fresh working directory.
struct Extremes : ::testing::Test {
  qor_test::TempDir dir;
};

TEST_F(Extremes, ValuesNearTheLimitsOfReal) {
  expect_every_mode_finishes("1e4930 -1e4931 1e-4940\r\n-1e-4935 1e4900 3\r\n1.1e4932 0 -1.1e4932\r\n",
                             /*histogram_refused=*/true);
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

TEST_F(Extremes, ZerosAndNegativeZeros) {
  expect_every_mode_finishes("0 -0 0\r\n-0 0 -0\r\n");
  write_file("z.txt", "-0 -0\r\n-0 -0\r\n");
  run_expecting({"z.txt", "z.out", "S"});
  EXPECT_PRED_FORMAT2(::testing::IsNotSubstring, "Nan", read_file("Z.OUT"));
}

TEST_F(Extremes, HugeAndTinyErrors) {
  write_file("d.txt", "1 2\r\n3 4\r\n");
  for (const char* error : {"1e4000", "1e-4000", "@1e4000", "1e-4000@1e-4000", "-5"})
    for (const char* format : {"S", "B"}) run_expecting({"d.txt", "o", format, error});
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

TEST_F(Extremes, OneRowOrOneColumn) {
  expect_every_mode_finishes("5 -3 2 0\r\n");
  expect_every_mode_finishes("5\r\n-3\r\n2\r\n");
  expect_every_mode_finishes("7\r\n");
}

}  // namespace

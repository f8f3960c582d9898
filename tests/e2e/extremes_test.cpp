// Numerical and format extremes: each run ends with a result or a clear
// error, never a crash or a hang (stdin is at end of input, so every pause
// of the numerical routines passes).
#include <gtest/gtest.h>

#include "e2e/run_support.h"
#include "test_support.h"

namespace {

using qor_test::read_file;
using qor_test::run_qor;
using qor_test::TempDir;
using qor_test::write_file;

// Every analysis mode on one data file.
const std::vector<std::vector<std::string>> kModes = {
    {"d.txt,TG0.5", "o1", "S", "0.01@2"},  {"d.txt", "o2", "T12:-1", "0.5"},
    {"d.txt", "o3", "B", "1e-3@1"},         {"d.txt", "o4", "E30:20", ""},
    {"d.txt,TW2,CRC", "o5"},                {"d.txt,TW1", "o6"},
};

void expect_every_mode_finishes(const std::string& data, bool histogram_refused = false) {
  TempDir dir;
  write_file("d.txt", data);
  for (const auto& args : kModes) {
    const auto run = run_qor(args);
    const bool histogram = args[0].find(",TG") != std::string::npos;
    EXPECT_EQ(run.status, histogram && histogram_refused ? 64 : 0) << args[0] << " " << args[1] << "\n" << run.out;
  }
}

TEST(Extremes, ValuesNearTheLimitsOfReal) {
  expect_every_mode_finishes("1e4930 -1e4931 1e-4940\r\n-1e-4935 1e4900 3\r\n1.1e4932 0 -1.1e4932\r\n",
                             /*histogram_refused=*/true);
}

TEST(Extremes, HistogramWithTooManyClassesIsRefused) {
  TempDir dir;
  write_file("d.txt", "1 333333\r\n2 3\r\n");
  const auto run = run_qor({"d.txt,TG0.1", "o"});
  EXPECT_EQ(run.status, 64);
  EXPECT_NE(run.out.find("\r\nError: the histogram class width 1.00000E-0001 is too small for elements up to "
                         "3.33333E+0005: it would need 6666662 classes"),
            std::string::npos)
      << run.out;
  EXPECT_FALSE(std::filesystem::exists("Qorgauss.bin"));
  EXPECT_FALSE(std::filesystem::exists("O"));
}

TEST(Extremes, SelectionListTooLongForItsCapacityIsRefused) {
  TempDir dir;
  write_file("d.txt", "1 2\r\n3 4\r\n");
  std::string list = "d.txt,C[";
  for (int i = 0; i < 130; ++i) list += "1,";
  const auto run = run_qor({list + "1]", "o"});
  EXPECT_EQ(run.status, 64);
  EXPECT_EQ(run.out.rfind("Error: the list after \",C[\" is 263 characters long; at most 255 fit.", 0), 0u) << run.out;
}

TEST(Extremes, ZerosAndNegativeZeros) {
  expect_every_mode_finishes("0 -0 0\r\n-0 0 -0\r\n");
  TempDir dir;
  write_file("z.txt", "-0 -0\r\n-0 -0\r\n");
  const auto run = run_qor({"z.txt", "z.out", "S"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(read_file("Z.OUT").find("Nan"), std::string::npos) << read_file("Z.OUT");
}

TEST(Extremes, HugeAndTinyErrors) {
  TempDir dir;
  write_file("d.txt", "1 2\r\n3 4\r\n");
  for (const char* error : {"1e4000", "1e-4000", "@1e4000", "1e-4000@1e-4000", "-5"}) {
    for (const char* format : {"S", "B"}) {
      const auto run = run_qor({"d.txt", "o", format, error});
      EXPECT_EQ(run.status, 0) << error << " " << format << "\n" << run.out;
    }
  }
}

TEST(Extremes, WidthsAndDecimals) {
  TempDir dir;
  write_file("d.txt", "1.5 2\r\n3 4.25\r\n");
  for (const char* format : {"S32767:32767", "S-32768:-32768", "0:0", "S1:-1", "B-32768:5", "B32767:-3",
                             "28:-1", "B29:3"}) {
    const auto run = run_qor({"d.txt,TW2", "t", format});
    EXPECT_EQ(run.status, 0) << format << "\n" << run.out.substr(0, 200);
    const auto full = run_qor({"d.txt,TG0.5", "o", format, "0.1"});
    EXPECT_EQ(full.status, 0) << format << "\n" << full.out.substr(0, 200);
  }
}

TEST(Extremes, LongLinesNamesAndTitles) {
  TempDir dir;
  std::string wide;
  for (int j = 0; j < 20000; ++j) wide += (j ? " " : "") + std::to_string(j % 7);
  write_file("w.txt", wide + "\r\n" + wide + "\r\n");
  EXPECT_EQ(run_qor({"w.txt", "w.out*", "", "", "2"}).status, 0);
  write_file("t.txt", " 12345678901234567890 98765432109876543210\r\n"
                      "12345678901234567891 1 2\r\n-12345678901234567892 3 5\r\n");
  const auto titled = run_qor({"t.txt,TOR,TOC", "t.out", "S", "0.1"});
  EXPECT_EQ(titled.status, 0) << titled.out;
  // Titles keep 17 significant digits in the report.
  EXPECT_NE(read_file("T.OUT").find("\r\n t  -12345678901234568000"), std::string::npos) << read_file("T.OUT");
  const std::string long_name(300, 'n');
  const auto named = run_qor({long_name, "o"});
  EXPECT_EQ(named.status, 2);
  EXPECT_NE(named.out.find("Runtime error 2:"), std::string::npos);
}

TEST(Extremes, OneRowOrOneColumn) {
  expect_every_mode_finishes("5 -3 2 0\r\n");
  expect_every_mode_finishes("5\r\n-3\r\n2\r\n");
  expect_every_mode_finishes("7\r\n");
}

}  // namespace

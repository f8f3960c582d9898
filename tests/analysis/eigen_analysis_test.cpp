// Eigenvalue mode through the built program and its report file.
#include <gtest/gtest.h>

#include "e2e/run_support.h"
#include "test_support.h"

namespace {

using qor_test::crlf;
using qor_test::read_file;
using qor_test::run_qor;
using qor_test::TempDir;
using qor_test::write_file;

TEST(EigenvalueMode, NoErrorLayoutWithTheEigenvectorCheck) {
  TempDir dir;
  write_file("e.txt", "3 0\r\n0 1\r\n");
  const auto run = run_qor({"e.txt", "eig.txt", "E7:3", "", "0"});
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(read_file("EIG.TXT"),
            crlf({"N_row: 2. N_column: 2.", "Input parameters: e.txt eig.txt E7:3 0",
                  "Solutions for Ax=\xE6x, A must be a real, symmetric matrix.", "         EIGENVALUE",
                  "\xE6" "1(1)= 3.000E+00", "vector (x)  A(  1,i)*x   Ratio",
                  " 1.000E+00  3.000E+00  3.000E+00", " 0.000E+00  0.000E+00  div. by 0",
                  "\xE6" "2(2)= 1.000E+00", "vector (x)  A(  2,i)*x   Ratio",
                  " 0.000E+00  0.000E+00  div. by 0", " 1.000E+00  1.000E+00  1.000E+00"}));
  // No progress lines without errors, and no result report in this mode.
  EXPECT_EQ(run.out.substr(38, 5), "Time:");
  EXPECT_EQ(run.out.find("D,R,C"), std::string::npos);
}

TEST(EigenvalueMode, ZeroMatrixShowsDivByZeroWithoutDividing) {
  TempDir dir;
  write_file("z.txt", "0 0\r\n0 0\r\n");
  const auto run = run_qor({"z.txt", "z.out", "E12:3"});
  ASSERT_EQ(run.status, 0) << run.out;
  const std::string report = read_file("Z.OUT");
  EXPECT_NE(report.find(" 0.00000E+00  0.00000E+00    div. by 0"), std::string::npos) << report;
  EXPECT_EQ(report.find("Nan"), std::string::npos) << report;
}

TEST(EigenvalueMode, StepCountAndProductMatrix) {
  TempDir dir;
  write_file("p.txt", "1 2\r\n3 4\r\n5 6\r\n");
  const auto run = run_qor({"p.txt", "p.out*", "B", "0.01", "1"});
  ASSERT_EQ(run.status, 0) << run.out;
  const std::string report = read_file("P.OUT");
  // One eigenvalue of the 2 x 2 product matrix, examined with the residual test.
  EXPECT_NE(report.find("\xE6" "1(2)= 9.074E+01\xF1"), std::string::npos) << report;
  EXPECT_EQ(report.find("\xE6" "2("), std::string::npos);
  EXPECT_NE(run.out.find("1/1\r\n"), std::string::npos);
}

TEST(EigenvalueMode, RelativeErrorOnlyLeavesZeroElementsOutOfTheSum) {
  TempDir dir;
  write_file("r.txt", "2 0\r\n0 1\r\n");
  const auto run = run_qor({"r.txt", "r.out*", "E", "@10"});
  ASSERT_EQ(run.status, 0) << run.out;
  const std::string report = read_file("R.OUT");
  EXPECT_EQ(report.find("Nan"), std::string::npos) << report;
  EXPECT_EQ(report.find("Inf"), std::string::npos) << report;
}

}  // namespace

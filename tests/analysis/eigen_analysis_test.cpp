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

#include <random>

#include "analysis/eigen_analysis.h"
#include "analysis/qor.h"
#include "control/settings.h"
#include "input/run_driver.h"

namespace {

// The residual sums as first written: the data rebuilt from scratch for every eigenvalue.
ResidualTest literal_residual_test(const RunState& s, std::int32_t I) {
  ResidualTest r;
  for (std::int32_t S = 1; S <= s.N; ++S)
    for (std::int32_t R = 1; R <= s.M; ++R) {
      REAL C = 0;
      for (std::int32_t J = 1; J <= I; ++J) {
        REAL p = 0;
        if (s.N >= s.M) {
          for (std::int32_t K = 1; K <= s.MIN; ++K) p = p + s.A[S][K] * s.T[K][J];
          C = C + p * s.T[R][J];
        } else {
          for (std::int32_t K = 1; K <= s.MIN; ++K) p = p + s.A[K][R] * s.T[K][J];
          C = C + p * s.T[S][J];
        }
      }
      const REAL F = std::fabs(s.A[S][R] - C);
      const REAL E = std::sqrt(s.SD[S][R]);
      if (E != 0) r.G = r.G + (F / E) * (F / E);
      for (int j = 1; j <= 3; ++j)
        if (F > j * E) ++r.NR[j];
    }
  return r;
}

TEST(ResidualTester, BitIdenticalToTheLiteralSums) {
  for (const auto& [rows, cols] : {std::pair{7, 5}, std::pair{5, 7}, std::pair{6, 6}, std::pair{1, 3}, std::pair{40, 37}}) {
    qor_test::TempDir dir;
    qor_test::CapturedConsole captured;
    RunState s(captured.console());
    set_default_settings(s);
    s.N = s.N0 = rows;
    s.M = s.M0 = cols;
    s.SIZE = 10;
    s.JEV = s.ITRN = true;
    s.MER = 0.01L;
    s.MERPR = 0.02L;
    s.A = MATRIX(rows + 1, cols + 1);
    s.RO = MATRIX(rows + 1, 2);
    s.CO = MATRIX(2, cols + 1);
    std::mt19937_64 rng(static_cast<unsigned>(rows * 10 + cols));
    std::uniform_real_distribution<double> dist(-1.0, 1.0);
    for (int i = 1; i <= rows; ++i)
      for (int j = 1; j <= cols; ++j) s.A[i][j] = dist(rng);
    prepare_run(s);
    QOR(s, "", true, true, false, false, s.MER, s.MERPR, 10, 3, 0);
    ResidualTester tester(s, s.MIN);
    for (std::int32_t I = 1; I <= s.MIN; ++I) {
      const ResidualTest fast = tester.test(I);
      const ResidualTest literal = literal_residual_test(s, I);
      EXPECT_EQ(fast.G, literal.G) << rows << "x" << cols << " I=" << I;
      for (int j = 1; j <= 3; ++j) EXPECT_EQ(fast.NR[j], literal.NR[j]);
    }
  }
}

}  // namespace

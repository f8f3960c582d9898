// Eigenvalue mode through the built program and its report file, and the residual test's sums.
#include "analysis/eigen_analysis.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

#include "analysis/qor.h"
#include "control/settings.h"
#include "e2e/run_support.h"
#include "control/run_driver.h"
#include "test_data.h"
#include "test_support.h"

namespace {

using ::testing::IsNotSubstring;
using ::testing::IsSubstring;

// Runs qor in a fresh directory holding `data` as the data file args[0]; returns the run and the report file.
std::pair<qor_test::RunResult, std::string> run_on(const std::string& data, const std::vector<std::string>& args,
                                                   const std::string& report) {
  qor_test::TempDir dir;
  qor_test::write_file(args[0], data);
  auto run = qor_test::run_qor(args);
  return {run, qor_test::read_file(report)};
}

TEST(EigenvalueMode, NoErrorLayoutWithTheEigenvectorCheck) {
  const auto [run, report] = run_on("3 0\r\n0 1\r\n", {"e.txt", "eig.txt", "E7:3", "", "0"}, "EIG.TXT");
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(report,
            qor_test::crlf({"N_row: 2. N_column: 2.", "Input parameters: e.txt eig.txt E7:3 0",
                            "Solutions for Ax=\xE6x, A must be a real, symmetric matrix.", "         EIGENVALUE",
                            "\xE6" "1(1)= 3.000E+00", "vector (x)  A(  1,i)*x   Ratio",
                            " 1.000E+00  3.000E+00  3.000E+00", " 0.000E+00  0.000E+00  div. by 0",
                            "\xE6" "2(2)= 1.000E+00", "vector (x)  A(  2,i)*x   Ratio",
                            " 0.000E+00  0.000E+00  div. by 0", " 1.000E+00  1.000E+00  1.000E+00"}));
  // No progress lines without errors, and no result report in this mode.
  EXPECT_EQ(run.out.substr(38, 5), "Time:");
  EXPECT_PRED_FORMAT2(IsNotSubstring, "D,R,C", run.out);
}

TEST(EigenvalueMode, ZeroMatrixShowsDivByZeroWithoutDividing) {
  const auto [run, report] = run_on("0 0\r\n0 0\r\n", {"z.txt", "z.out", "E12:3"}, "Z.OUT");
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_PRED_FORMAT2(IsSubstring, " 0.00000E+00  0.00000E+00    div. by 0", report);
  EXPECT_PRED_FORMAT2(IsNotSubstring, "Nan", report);
}

TEST(EigenvalueMode, StepCountAndProductMatrix) {
  const auto [run, report] = run_on("1 2\r\n3 4\r\n5 6\r\n", {"p.txt", "p.out*", "B", "0.01", "1"}, "P.OUT");
  ASSERT_EQ(run.status, 0) << run.out;
  // One eigenvalue of the 2 x 2 product matrix, examined with the residual test.
  EXPECT_PRED_FORMAT2(IsSubstring, "\xE6" "1(2)= 9.074E+01\xF1", report);
  EXPECT_PRED_FORMAT2(IsNotSubstring, "\xE6" "2(", report);
  EXPECT_PRED_FORMAT2(IsSubstring, "1/1\r\n", run.out);
}

TEST(EigenvalueMode, RelativeErrorOnlyLeavesZeroElementsOutOfTheSum) {
  const auto [run, report] = run_on("2 0\r\n0 1\r\n", {"r.txt", "r.out*", "E", "@10"}, "R.OUT");
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_PRED_FORMAT2(IsNotSubstring, "Nan", report);
  EXPECT_PRED_FORMAT2(IsNotSubstring, "Inf", report);
}

// The residual sums as first written: the data rebuilt from scratch for every eigenvalue.
ResidualTest literal_residual_test(const ProgramRun& s, std::int32_t I) {
  ResidualTest r;
  for (std::int32_t S = 1; S <= s.table.N; ++S)
    for (std::int32_t R = 1; R <= s.table.M; ++R) {
      REAL C = 0;
      for (std::int32_t J = 1; J <= I; ++J) {
        REAL p = 0;
        if (s.table.N >= s.table.M) {
          for (std::int32_t K = 1; K <= s.work.MIN; ++K) p = p + s.table.A[S][K] * s.work.T[K][J];
          C = C + p * s.work.T[R][J];
        } else {
          for (std::int32_t K = 1; K <= s.work.MIN; ++K) p = p + s.table.A[K][R] * s.work.T[K][J];
          C = C + p * s.work.T[S][J];
        }
      }
      const REAL F = std::fabs(s.table.A[S][R] - C), E = std::sqrt(s.work.SD[S][R]);
      if (E != 0) r.G = r.G + (F / E) * (F / E);
      for (int j = 1; j <= 3; ++j) r.NR[j] += F > j * E;
    }
  return r;
}

// On one thread, and on two and three with the data in chunks of rows
// (1400 x 6 and 6 x 1400 take more than one; 40000 x 6 and 24 x 800 enough
// for the first pass to run as a pipeline of the threads' runs over the
// chunks), all eigenvalues in one pass and from 0 on in short ones. The
// decomposition is the same on all, so the literal sums are worked out once.
TEST(ResidualTester, BitIdenticalToTheLiteralSums) {
  const std::pair<int, int> shapes[] = {{7, 5},    {5, 7},    {6, 6},   {1, 3},
                                        {40, 37},  {1400, 6}, {6, 1400}, {40000, 6}, {24, 800}};
  std::map<std::pair<int, int>, std::vector<ResidualTest>> literal_sums;
  for (int threads : {1, 2, 3}) {
    for (const auto& [rows, cols] : shapes) {
      qor_test::TempDir dir;
      qor_test::CapturedConsole captured;
      ProgramRun s(captured.console(), threads);
      s.workers.set_work_per_part(0);
      set_default_settings(s.settings);
      qor_test::hold_matrix(s, rows, cols);
      s.settings.JEV = s.settings.ITRN = true;
      s.settings.MER = 0.01L;
      s.settings.MERPR = 0.02L;
      std::mt19937_64 rng(static_cast<unsigned>(rows * 10 + cols));
      std::uniform_real_distribution<double> dist(-1.0, 1.0);
      for (int i = 1; i <= rows; ++i)
        for (int j = 1; j <= cols; ++j) s.table.A[i][j] = dist(rng);
      prepare_run(s);
      qor_test::run_qor_silently(s, true, true, false, s.plan.MER, s.plan.MERPR, 0);
      ResidualTester tester(s.analysis(), s.work.MIN);
      std::vector<ResidualTest>& literals = literal_sums[{rows, cols}];
      for (std::int32_t I = 1; I <= s.work.MIN; ++I) {
        if (threads == 1) literals.push_back(literal_residual_test(s, I));
        const ResidualTest fast = tester.test(I), literal = literals[static_cast<std::size_t>(I - 1)];
        EXPECT_EQ(fast.G, literal.G) << threads << " threads, " << rows << "x" << cols << " I=" << I;
        for (int j = 1; j <= 3; ++j) EXPECT_EQ(fast.NR[j], literal.NR[j]) << rows << "x" << cols << " I=" << I;
      }
      // From 0 on in passes of two, as the rank verdict may ask: each pass
      // forms the rebuilt values of the tests before it again.
      ResidualTester stepwise(ResidualInputs{s.table.A, s.work.SD, s.work.T, s.table.N, s.table.M, s.work.MIN, s.workers}, 0);
      for (std::int32_t I = 0; I <= s.work.MIN; ++I) {
        if (I % 2 == 0) stepwise.extend_to(std::min(s.work.MIN, I + 1));
        const ResidualTest got = stepwise.test(I);
        const ResidualTest literal = I == 0 ? literal_residual_test(s, 0) : literals[static_cast<std::size_t>(I - 1)];
        EXPECT_EQ(got.G, literal.G) << threads << " threads, " << rows << "x" << cols << " from 0, I=" << I;
        EXPECT_EQ(got.NR[3], literal.NR[3]) << rows << "x" << cols << " from 0, I=" << I;
      }
      EXPECT_EQ(s.workers.shared_loops() > 0, threads > 1);
    }
  }
}

// An element whose error is all but 0 makes every chi-square sum overflow:
// on any number of threads the first test says so, and the pass ends there.
TEST(ResidualTester, AnOverflowingSumEndsThePassOnAnyNumberOfThreads) {
  for (int threads : {1, 2, 3}) {
    qor_test::CapturedConsole captured;
    ProgramRun s(captured.console(), threads);
    s.workers.set_work_per_part(0);
    set_default_settings(s.settings);
    qor_test::hold_matrix(s, 40000, 6);
    s.settings.JEV = s.settings.ITRN = true;
    s.settings.MER = 0.01L;
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> dist(-1.0, 1.0);
    for (int i = 1; i <= 40000; ++i)
      for (int j = 1; j <= 6; ++j) s.table.A[i][j] = dist(rng);
    prepare_run(s);
    qor_test::run_qor_silently(s, true, true, false, 0, 0, 0);  // the decomposition alone: no error, no tests
    s.work.SD = MATRIX(40001, 7);
    for (int i = 1; i <= 40000; ++i)
      for (int j = 1; j <= 6; ++j) s.work.SD[i][j] = 1e-4L;
    s.work.SD[35000][3] = 1e-4940L;  // its standard deviation 1E-2470: a residual of 0.1 squares past 1E+4932
    ResidualTester tester(s.analysis(), s.work.MIN);
    EXPECT_FALSE(std::isfinite(tester.test(1).G)) << threads;
  }
}

}  // namespace

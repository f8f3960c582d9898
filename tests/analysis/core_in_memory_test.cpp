// The analysis as a library drives it: a data table, a plan and a
// workspace in memory, no file, no console, no program run.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "analysis/analysis_results.h"
#include "analysis/qor.h"
#include "analysis/reference_removal.h"
#include "common/analysis_observer.h"
#include "common/analysis_workspace.h"
#include "common/workers.h"

namespace {

struct NoPause final : Pause {
  void show_lines_and_wait(std::span<const std::string_view>) override { ++pauses; }
  int pauses = 0;
};

// Counts what the analysis tells its observer.
struct CountingObserver final : AnalysisObserver {
  explicit CountingObserver(Pause& p) : pause_(p) {}
  Pause& pause() override { return pause_; }
  void analysis_begins(const AnalysisRun&) override { ++begun; }
  void step_begins(std::int32_t, std::int32_t) override { ++steps; }
  void elimination_done(const AnalysisRun&) override { ++done; }
  void eigenvalue_found(const AnalysisRun&, std::int32_t, std::int32_t, bool) override { ++eigenvalues; }
  Pause& pause_;
  int begun = 0, steps = 0, done = 0, eigenvalues = 0;
};

DataTable table_of(const std::vector<std::vector<REAL>>& rows) {
  DataTable d;
  d.N0 = d.N = static_cast<std::int32_t>(rows.size());
  d.M0 = d.M = static_cast<std::int32_t>(rows[0].size());
  d.A = MATRIX(d.N + 1, d.M + 1);
  d.RO = MATRIX(d.N + 1, 2);
  d.CO = MATRIX(2, d.M + 1);
  for (std::int32_t i = 1; i <= d.N; ++i) {
    d.RO[i][1] = i;
    for (std::int32_t j = 1; j <= d.M; ++j) d.A[i][j] = rows[static_cast<std::size_t>(i - 1)][static_cast<std::size_t>(j - 1)];
  }
  for (std::int32_t j = 1; j <= d.M; ++j) d.CO[1][j] = j;
  return d;
}

struct CoreRun {
  CoreRun(DataTable table, RunPlan p) : d(std::move(table)), plan(p), observer(pause) {
    work.MIN = plan.MIN;
    size_working_matrices(work, d, plan);
    AnalysisRun run{d, plan, work, workers};
    QOR(run, observer, plan.ITRN, plan.JEV, plan.LSD, plan.MER, plan.MERPR, plan.NU);
    results = collect_analysis_results(run);
  }
  DataTable d;
  RunPlan plan;
  AnalysisWorkspace work;
  Workers workers{2};
  NoPause pause;
  CountingObserver observer;
  AnalysisResults results;
};

RunPlan plan_of(std::int32_t N, std::int32_t M, REAL MER = 0, bool JEV = false) {
  RunPlan p;
  p.MIN = std::min(N, M);
  p.NU = p.MIN;
  p.MER = MER;
  p.JEV = JEV;
  return p;
}

// [[2, 1], [1, 3]] with every element of variance 0.01: the pivot 3 (row 2,
// column 2), then the remainder 2 - 1 x 1 / 3 = 5/3, whose first-order
// variance is 0.01 (1 + 1/9 + 1/9 + 1/81) = 1/81.
TEST(CoreInMemory, EliminationWithErrorsGivesPivotsVariancesAndPlaces) {
  CoreRun r(table_of({{2, 1}, {1, 3}}), plan_of(2, 2, 0.1L));
  ASSERT_EQ(r.results.pivots.size(), 2u);
  const auto& p = r.results.pivots;
  EXPECT_EQ(p[0].value, 3);
  EXPECT_EQ(p[0].variance, 0.1L * 0.1L);
  EXPECT_EQ(p[0].row.number, 2);
  EXPECT_EQ(p[0].column.number, 2);
  EXPECT_NEAR(static_cast<double>(p[1].value), 5.0 / 3, 1e-15);
  EXPECT_NEAR(static_cast<double>(p[1].variance * 81), 1.0, 1e-15);
  EXPECT_EQ(p[1].row.number, 1);
  EXPECT_EQ(p[1].column.number, 1);
  EXPECT_TRUE(r.results.errors);
  EXPECT_EQ(std::tuple(r.observer.begun, r.observer.steps, r.observer.done), std::tuple(1, 2, 1));
  EXPECT_EQ(r.pause.pauses, 0);
}

// The eigenvalues of [[2, 1], [1, 2]] are 3 and 1; a rank-one matrix stops
// the elimination after one step.
TEST(CoreInMemory, EigenvaluesAndAnEarlyEnd) {
  CoreRun eigen(table_of({{2, 1}, {1, 2}}), plan_of(2, 2, 0, true));
  ASSERT_EQ(eigen.results.eigenvalues.size(), 2u);
  EXPECT_NEAR(static_cast<double>(eigen.results.eigenvalues[0].value), 3, 1e-17);
  EXPECT_NEAR(static_cast<double>(eigen.results.eigenvalues[1].value), 1, 1e-17);
  EXPECT_EQ(eigen.observer.eigenvalues, 2);

  CoreRun rank_one(table_of({{1, 2, 3}, {2, 4, 6}}), plan_of(2, 3));
  ASSERT_EQ(rank_one.results.pivots.size(), 1u);
  EXPECT_EQ(rank_one.results.pivots[0].value, 6);
  EXPECT_EQ(rank_one.observer.steps, 2);  // the second step finds nothing left
}

// Row 1 is subtracted from rows 2 and 3 and removed; then column 3 from
// columns 1 and 2: rows (3, 4, 5) and (6, 7, 9) become (-2, -1) and (-3, -2).
TEST(CoreInMemory, ReferenceRowAndColumnLeaveTheDifferences) {
  DataTable d = table_of({{1, 2, 3}, {4, 6, 8}, {7, 9, 12}});
  d.OSR = 1;
  d.OSC = 3;
  remove_reference_row(d);
  remove_reference_column(d);
  ASSERT_EQ(std::pair(d.N, d.M), std::pair(2, 2));
  const REAL expected[2][2] = {{-2, -1}, {-3, -2}};
  for (int i = 1; i <= 2; ++i)
    for (int j = 1; j <= 2; ++j) EXPECT_EQ(d.A[i][j], expected[i - 1][j - 1]) << i << "," << j;
  EXPECT_EQ(std::pair(d.RO[1][1], d.RO[2][1]), std::pair(REAL(2), REAL(3)));
  EXPECT_EQ(std::pair(d.CO[1][1], d.CO[1][2]), std::pair(REAL(1), REAL(2)));
}

}  // namespace

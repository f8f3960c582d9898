// The contribution-table stage of a 2000 x 2000 run with ",TW2" against the
// single elimination step before it.
#include <benchmark/benchmark.h>

#include <random>

#include "analysis/qor.h"
#include "analysis_runs.h"
#include "common/program_run.h"
#include "common/console.h"
#include "control/settings.h"
#include "input/contribution_tables.h"
#include "control/run_driver.h"
#include "bench_support.h"

namespace {

struct TableRun {
  ProgramRun s{silent_console()};

  TableRun(int n, bool columns) {
    set_default_settings(s.settings);
    s.table.N = s.table.M = s.table.N0 = s.table.M0 = n;
    s.settings.FTW = 2;
    s.settings.PCRC = columns;
    s.table.A = MATRIX(n + 1, n + 1);
    s.table.RO = MATRIX(n + 1, 2);
    s.table.CO = MATRIX(2, n + 1);
    s.table.RW = MATRIX(n + 1, 2);
    s.table.CW = MATRIX(2, n + 1);
    s.TW = columns ? MATRIX(2, n + 1) : MATRIX(n + 1, 2);
    std::mt19937_64 rng(11);
    std::uniform_real_distribution<double> dist(-1.0, 1.0);
    for (int i = 1; i <= n; ++i) {
      s.table.RO[i][1] = s.table.RW[i][1] = i;
      s.table.CO[1][i] = s.table.CW[1][i] = i;
      for (int j = 1; j <= n; ++j) s.table.A[i][j] = dist(rng);
    }
    prepare_run(s);
  }
};

void EliminationStepBeforeTables(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    TableRun run(2000, false);
    state.ResumeTiming();
    qor_test::run_qor_silently(run.s, false, false, false, 0, 0, run.s.plan.NU);
  }
}

void ContributionTables(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    TableRun run(2000, state.range(0) != 0);
    qor_test::run_qor_silently(run.s, false, false, false, 0, 0, run.s.plan.NU);
    state.ResumeTiming();
    write_contribution_tables(run.s);
  }
}

}  // namespace

BENCHMARK(EliminationStepBeforeTables)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(ContributionTables)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);

// The whole eigenvalue mode (decomposition, eigenvalue variances, residual
// test for every eigenvalue, eigenvector check) with an error of 0.002, and
// the residual test in its literal loop order for the ratio.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>

#include "analysis/qor.h"
#include "analysis_runs.h"
#include "common/program_run.h"
#include "common/console.h"
#include "control/settings.h"
#include "control/run_driver.h"
#include "bench_support.h"
#include "test_data.h"

namespace {

struct EigenRun {
  ProgramRun s{silent_console()};

  explicit EigenRun(int n) {
    set_default_settings(s.settings);
    qor_test::hold_matrix(s, n, n);
    s.settings.JEV = true;
    s.settings.MER = 0.002L;
    std::mt19937_64 rng(3);
    std::uniform_real_distribution<double> dist(-1.0, 1.0);
    for (int i = 1; i <= n; ++i)
      for (int j = 1; j <= i; ++j) s.table.A[i][j] = s.table.A[j][i] = dist(rng);
    prepare_run(s);
  }
};

void EigenvalueMode(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    EigenRun run(n);
    state.ResumeTiming();
    qor_test::run_qor_silently(run.s, false, true, false, 0.002L, 0, 0);
    benchmark::DoNotOptimize(run.s.work.DE[1][1]);
  }
}

// The residual sums of every eigenvalue exactly as first written: the data
// rebuilt from scratch for each eigenvalue.
void LiteralResidualTest(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  EigenRun run(n);
  qor_test::run_qor_silently(run.s, false, true, false, 0.002L, 0, 0);
  ProgramRun& s = run.s;
  for (auto _ : state) {
    REAL total = 0;
    for (int I = 1; I <= s.work.MIN; ++I) {
      REAL G = 0;
      for (int S = 1; S <= s.table.N; ++S)
        for (int R = 1; R <= s.table.M; ++R) {
          REAL C = 0;
          for (int J = 1; J <= I; ++J) {
            REAL p = 0;
            for (int K = 1; K <= s.work.MIN; ++K) p = p + s.table.A[S][K] * s.work.T[K][J];
            C = C + p * s.work.T[R][J];
          }
          const REAL F = std::fabs(s.table.A[S][R] - C);
          const REAL E = std::sqrt(s.work.SD[S][R]);
          G = G + (F / E) * (F / E);
        }
      total += G;
    }
    benchmark::DoNotOptimize(total);
  }
}

}  // namespace

BENCHMARK(EigenvalueMode)->Arg(40)->Arg(200)->Arg(500)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(LiteralResidualTest)->Arg(40)->Unit(benchmark::kMillisecond)->Iterations(1);

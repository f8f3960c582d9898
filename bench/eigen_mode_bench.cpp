// The whole eigenvalue mode (decomposition, eigenvalue variances, residual
// test for every eigenvalue, eigenvector check) with an error of 0.002, and
// the residual test in its literal loop order for the ratio.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>

#include "analysis/qor.h"
#include "analysis_runs.h"
#include "common/run_state.h"
#include "common/console.h"
#include "control/settings.h"
#include "input/run_driver.h"
#include "bench_support.h"
#include "test_data.h"

namespace {

struct EigenRun {
  RunState s{silent_console()};

  explicit EigenRun(int n) {
    set_default_settings(s.settings);
    take_run_copies(s);
    qor_test::hold_matrix(s, n, n);
    s.JEV = true;
    s.MER = 0.002L;
    std::mt19937_64 rng(3);
    std::uniform_real_distribution<double> dist(-1.0, 1.0);
    for (int i = 1; i <= n; ++i)
      for (int j = 1; j <= i; ++j) s.A[i][j] = s.A[j][i] = dist(rng);
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
    benchmark::DoNotOptimize(run.s.DE[1][1]);
  }
}

// The residual sums of every eigenvalue exactly as first written: the data
// rebuilt from scratch for each eigenvalue.
void LiteralResidualTest(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  EigenRun run(n);
  qor_test::run_qor_silently(run.s, false, true, false, 0.002L, 0, 0);
  RunState& s = run.s;
  for (auto _ : state) {
    REAL total = 0;
    for (int I = 1; I <= s.MIN; ++I) {
      REAL G = 0;
      for (int S = 1; S <= s.N; ++S)
        for (int R = 1; R <= s.M; ++R) {
          REAL C = 0;
          for (int J = 1; J <= I; ++J) {
            REAL p = 0;
            for (int K = 1; K <= s.MIN; ++K) p = p + s.A[S][K] * s.T[K][J];
            C = C + p * s.T[R][J];
          }
          const REAL F = std::fabs(s.A[S][R] - C);
          const REAL E = std::sqrt(s.SD[S][R]);
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

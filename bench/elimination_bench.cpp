// Elimination against the floor set by 80-bit loads and stores: a plain
// row-update kernel doing the same n^3/3 element updates.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "analysis/qor.h"
#include "common/analysis_observer.h"
#include "common/program_run.h"
#include "common/console.h"
#include "control/settings.h"
#include "bench_support.h"

namespace {

void fill_random(MATRIX& a, int n, unsigned seed) {
  std::mt19937_64 rng(seed);
  std::uniform_real_distribution<double> dist(-1.0, 1.0);
  for (int i = 1; i <= n; ++i)
    for (int j = 1; j <= n; ++j) a[i][j] = dist(rng);
}

// y[j] -= l * x[j] over the lower right block of every step: sum over i of (n - i)^2 updates.
void RowUpdateKernel(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  MATRIX a(n + 1, n + 1);
  for (auto _ : state) {
    state.PauseTiming();
    fill_random(a, n, 1);
    state.ResumeTiming();
    for (int i = 1; i <= n; ++i) {
      const REAL* x = a[i];
      for (int k = i + 1; k <= n; ++k) {
        REAL* y = a[k];
        const REAL l = y[i] / x[i];
        for (int j = i + 1; j <= n; ++j) y[j] -= l * x[j];
      }
    }
    benchmark::DoNotOptimize(a[n][n]);
  }
}

void Elimination(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const bool errors = state.range(1) != 0;
  for (auto _ : state) {
    state.PauseTiming();
    ProgramRun s(silent_console());
    set_default_settings(s.settings);
    s.table.N = s.table.M = s.work.MIN = n;
    s.table.A = MATRIX(n + 1, n + 1);
    s.table.RO = MATRIX(n + 1, 2);
    s.table.CO = MATRIX(2, n + 1);
    fill_random(s.table.A, n, 1);
    if (errors) {
      s.work.SD = MATRIX(n + 1, n + 1);
      compute_element_variances(s.analysis(), 0.002L, 0);
    }
    SilentObserver quiet(s.console);
    AnalysisContext q{s.analysis(), quiet, false, false, false, errors ? 0.002L : 0, 0, n, errors};
    state.ResumeTiming();
    run_elimination(q);
    benchmark::DoNotOptimize(s.table.A[0][n]);
  }
}

}  // namespace

BENCHMARK(RowUpdateKernel)->Arg(200)->Arg(500)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(Elimination)
    ->Args({200, 0})
    ->Args({500, 0})
    ->Args({1000, 0})
    ->Args({200, 1})
    ->Args({500, 1})
    ->Args({1000, 1})
    ->Unit(benchmark::kMillisecond);

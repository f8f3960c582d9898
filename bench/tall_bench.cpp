// Tall matrices (many more rows than columns), each stage in memory on the
// thread count given as the last argument: the product matrix with its
// variances, and the residual tests of every eigenvalue. Compare the lines
// of 1 and 2 threads for the ratio.
//   ./build/qor_bench --benchmark_filter=Tall
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <random>

#include "analysis/eigen_analysis.h"
#include "analysis/qor.h"
#include "analysis_runs.h"
#include "common/program_run.h"
#include "control/settings.h"
#include "control/run_driver.h"
#include "bench_support.h"
#include "test_data.h"

namespace {

// Five components and noise of 0.002, as a measurement would give.
struct TallRun {
  ProgramRun s;

  TallRun(int rows, int cols, int threads) : s(silent_console(), threads) {
    set_default_settings(s.settings);
    qor_test::hold_matrix(s, rows, cols);
    s.settings.JEV = s.settings.ITRN = true;
    s.settings.MER = 0.002L;
    std::mt19937_64 rng(11);
    std::normal_distribution<double> normal;
    double shape[5][1024];
    for (auto& component : shape)
      for (int j = 1; j <= cols; ++j) component[j] = normal(rng);
    for (int i = 1; i <= rows; ++i)
      for (int c = 0; c < 5; ++c) {
        const double amount = normal(rng);
        for (int j = 1; j <= cols; ++j) s.table.A[i][j] += amount * shape[c][j] + (c == 0 ? 0.002 * normal(rng) : 0);
      }
    prepare_run(s);
  }
};

void report_memory(benchmark::State& state) {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["maxrss_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void Tall_ProductMatrix(benchmark::State& state) {
  const auto rows = static_cast<int>(state.range(0)), cols = static_cast<int>(state.range(1));
  TallRun run(rows, cols, static_cast<int>(state.range(2)));
  ProgramRun& s = run.s;
  compute_element_variances(s.analysis(), s.plan.MER, s.plan.MERPR);
  for (auto _ : state) {
    state.PauseTiming();
    s.work.T = MATRIX(cols + 1, cols + 1);
    s.work.ST = MATRIX(cols + 1, cols + 1);
    state.ResumeTiming();
    compute_product_matrix(s.analysis(), true);
    benchmark::DoNotOptimize(s.work.ST[1][1]);
  }
  report_memory(state);
}

// The decomposition is done once; each iteration tests every eigenvalue.
void Tall_ResidualTests(benchmark::State& state) {
  const auto rows = static_cast<int>(state.range(0));
  TallRun run(rows, static_cast<int>(state.range(1)), static_cast<int>(state.range(2)));
  ProgramRun& s = run.s;
  qor_test::run_qor_silently(s, true, true, false, s.plan.MER, 0, 1);
  for (auto _ : state) {
    ResidualTester tester(s.analysis(), s.work.MIN);
    REAL sum = 0;
    for (std::int32_t I = 1; I <= s.work.MIN; ++I) sum += tester.test(I).G;
    benchmark::DoNotOptimize(sum);
  }
  report_memory(state);
}

}  // namespace

BENCHMARK(Tall_ProductMatrix)
    ->Args({20000, 200, 1})
    ->Args({20000, 200, 2})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);
BENCHMARK(Tall_ResidualTests)
    ->Args({20000, 200, 1})
    ->Args({20000, 200, 2})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);

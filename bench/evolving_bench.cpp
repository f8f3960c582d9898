// Evolving factor analysis: the forward and backward windows of 2,000 x 100
// with errors against 2,000 separate eigenvalue analyses of the forward
// windows (each window's product matrix formed from its rows with its
// variances, then decomposed with its vectors, as a run of the program on
// that window would); and the moving windows of 20 rows on 100,000 x 50.
// The windows on one thread and on two (the last argument): runs of windows
// go to the threads. Each runs once: the separate analyses take half a
// minute or more.
//
//   build/qor_bench --benchmark_filter=Evolving

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <random>

#include "analysis/qor.h"
#include "common/element_errors.h"
#include "common/matrix.h"
#include "common/workers.h"
#include "evolving/evolving_factors.h"
#include "numeric/eigen.h"
#include "bench_support.h"

namespace {

// Three Gaussian peaks along the rows with smooth spectra, plus noise.
MATRIX chromatogram(std::int32_t N, std::int32_t M) {
  std::mt19937_64 gen(2026);
  std::normal_distribution<double> noise(0.0, 0.01);
  MATRIX A(N + 1, M + 1);
  const double centre[] = {0.3, 0.45, 0.7}, width[] = {0.05, 0.06, 0.04};
  for (std::int32_t i = 1; i <= N; ++i)
    for (std::int32_t j = 1; j <= M; ++j) {
      double v = 0;
      for (int c = 0; c < 3; ++c) {
        const double t = (static_cast<double>(i) / N - centre[c]) / width[c];
        v += std::exp(-t * t / 2) * (1.0 + std::sin(0.1 * (c + 1) * j + c));
      }
      A[i][j] = static_cast<REAL>(v + noise(gen));
    }
  return A;
}

void EvolvingForwardBackward(benchmark::State& state) {
  const auto N = static_cast<std::int32_t>(state.range(0)), M = static_cast<std::int32_t>(state.range(1));
  const MATRIX A = chromatogram(N, M);
  Workers workers(static_cast<int>(state.range(2)));
  EvolvingSettings x;
  x.ER = 0.01L;
  std::int64_t decompositions = 0;
  for (auto _ : state) {
    EvolvingFactors work;
    auto forward = growing_windows(A, N, M, false, x, work, silent_console(), workers);
    auto backward = growing_windows(A, N, M, true, x, work, silent_console(), workers);
    benchmark::DoNotOptimize(forward.data());
    benchmark::DoNotOptimize(backward.data());
    decompositions = work.decompositions;
  }
  state.counters["decompositions"] = static_cast<double>(decompositions);
}
BENCHMARK(EvolvingForwardBackward)->Args({2000, 100, 1})->Args({2000, 100, 2})->Iterations(1)->Unit(benchmark::kSecond);

// The same forward windows, each analysed on its own.
void EvolvingSeparateAnalyses(benchmark::State& state) {
  const auto N = static_cast<std::int32_t>(state.range(0)), M = static_cast<std::int32_t>(state.range(1));
  const MATRIX A = chromatogram(N, M);
  Workers workers(1);
  for (auto _ : state) {
    MATRIX SD(N + 1, M + 1), T(M + 1, M + 1), ST(M + 1, M + 1), D(M + 1, 2), E(M + 1, 2);
    element_variances(A, SD, N, M, ElementErrors{0.01L, 0}, workers);
    for (std::int32_t i = 1; i <= N; ++i) {
      for (std::int32_t a = 0; a <= M; ++a)
        for (std::int32_t b = 0; b <= M; ++b) T[a][b] = ST[a][b] = 0;
      product_of_rows(ProductInputs{A, &SD, i, M}, T, &ST, workers);
      TRED2(T, D, E, M, workers);
      TQLI(T, D, E, M, silent_console(), workers);
      benchmark::DoNotOptimize(D[1][1]);
    }
  }
  state.counters["decompositions"] = static_cast<double>(N);
}
BENCHMARK(EvolvingSeparateAnalyses)->Args({2000, 100})->Iterations(1)->Unit(benchmark::kSecond);

void EvolvingMovingWindows(benchmark::State& state) {
  const auto N = static_cast<std::int32_t>(state.range(0)), M = static_cast<std::int32_t>(state.range(1));
  const auto w = static_cast<std::int32_t>(state.range(2));
  const MATRIX A = chromatogram(N, M);
  Workers workers(static_cast<int>(state.range(3)));
  EvolvingSettings x;
  x.ER = 0.01L;
  std::int64_t rows = 0;
  for (auto _ : state) {
    EvolvingFactors work;
    auto windows = moving_windows(A, N, M, w, 1, N - w + 1, x, work, silent_console(), workers);
    benchmark::DoNotOptimize(windows.data());
    rows = work.row_updates;
  }
  state.counters["row_products"] = static_cast<double>(rows);
}
BENCHMARK(EvolvingMovingWindows)->Args({100000, 50, 20, 1})->Args({100000, 50, 20, 2})->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

// Symmetric eigen-decomposition (reduction plus QL with vectors) on random
// matrices, against the same routines in their textbook loop order, and the
// heap sort of a contribution table.
// The 1000 case takes a few seconds and runs once.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>

#include "common/matrix.h"
#include "common/workers.h"
#include "common/program_run.h"
#include "common/console.h"
#include "numeric/eigen.h"
#include "numeric/heapsort.h"
#include "numeric/literal_eigen.h"
#include "bench_support.h"

namespace {

MATRIX random_symmetric(std::int32_t n) {
  std::mt19937_64 gen(static_cast<unsigned>(n));
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  MATRIX a(n + 1, n + 1);
  for (std::int32_t i = 1; i <= n; ++i)
    for (std::int32_t j = 1; j <= i; ++j) a[i][j] = a[j][i] = static_cast<REAL>(u(gen));
  return a;
}

void copy_into(MATRIX& to, const MATRIX& from, std::int32_t n) {
  for (std::int32_t i = 1; i <= n; ++i)
    for (std::int32_t j = 1; j <= n; ++j) to[i][j] = from[i][j];
}


template <bool kLiteral>
void run_decomposition(benchmark::State& state) {
  const auto n = static_cast<std::int32_t>(state.range(0));
  const MATRIX source = random_symmetric(n);
  MATRIX a(n + 1, n + 1), d(n + 1, 2), e(n + 1, 2);
  Workers workers(static_cast<int>(state.range(1)));
  for (auto _ : state) {
    state.PauseTiming();
    copy_into(a, source, n);
    state.ResumeTiming();
    if constexpr (kLiteral) {
      qor_test::ref_tred2(a, d, e, n);
      qor_test::ref_tqli(a, d, e, n);
    } else {
      TRED2(a, d, e, n, workers);
      TQLI(a, d, e, n, silent_console(), workers);
    }
    benchmark::DoNotOptimize(a[1][1]);
  }
}

void BM_EigenDecomposition(benchmark::State& state) { run_decomposition<false>(state); }
void BM_EigenDecompositionLiteral(benchmark::State& state) { run_decomposition<true>(state); }

// Arguments: order, threads.
BENCHMARK(BM_EigenDecomposition)->Args({200, 1})->Args({500, 1})->Args({500, 2})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EigenDecompositionLiteral)->Args({200, 1})->Unit(benchmark::kMillisecond);

BENCHMARK(BM_EigenDecomposition)->Args({1000, 1})->Args({1000, 2})->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_HeapSortRows(benchmark::State& state) {
  const auto n = static_cast<std::int32_t>(state.range(0));
  ProgramRun s(silent_console());
  s.plan.FTW = 1;
  s.table.A = MATRIX(n + 1, 2);
  s.table.RO = MATRIX(n + 1, 2);
  s.table.RW = MATRIX(n + 1, 2);
  s.TW = MATRIX(n + 1, 2);
  std::mt19937_64 gen(3);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  for (auto _ : state) {
    state.PauseTiming();
    for (std::int32_t p = 1; p <= n; ++p) {
      s.table.A[p][1] = static_cast<REAL>(u(gen));
      s.table.RO[p][1] = p;
      s.table.RW[p][1] = p;
      s.TW[p][1] = p;
    }
    state.ResumeTiming();
    HEAPSORTR(SortedTable{s.table.A, s.plan.FTW, s.table.RO, s.table.RW, s.TW}, n);
    benchmark::DoNotOptimize(s.table.A[1][1]);
  }
}
BENCHMARK(BM_HeapSortRows)->Arg(2000)->Unit(benchmark::kMicrosecond);

}  // namespace

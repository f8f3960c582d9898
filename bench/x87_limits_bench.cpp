// What the machine's x87 unit allows, so that every loop can be stated as a
// share of it: each limit and each loop reports items_per_second, one item
// being one multiply-add (or one division) of 80-bit values. Read a loop's
// rate against the limit of the same kind from the same run:
//   X87Limit_RegisterMultiplyAdd  t := t + x * y, four sums kept in registers,
//                                 x and y read from rows in the first-level
//                                 cache;
//   X87Limit_InMemoryUpdate       t[j] := t[j] + s * y[j], t loaded and
//                                 stored for every update (cache-resident);
//   X87Limit_Division             y[j] := x[j] / c, cache-resident.
//   ProductSums_Blocked / _Plain  the product T of 64 rows of a matrix of
//                                 500 columns: the kernel of the analysis
//                                 against the term-by-term loop it replaced
//                                 (argument 1: with the variances ST too,
//                                 whose item is one term of T and ST each).
//   ./build/qor_bench --benchmark_filter='X87Limit|ProductSums'
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "common/matrix.h"
#include "common/real.h"
#include "numeric/product_sums.h"

namespace {

constexpr int kLength = 256;  // 4 KB of 80-bit values: stays in the first-level cache
constexpr int kRepeats = 400;

std::vector<REAL> values(unsigned seed, int count) {
  std::mt19937_64 rng(seed);
  std::uniform_real_distribution<double> dist(0.5, 1.0);
  std::vector<REAL> v(static_cast<std::size_t>(count));
  for (REAL& x : v) x = dist(rng);
  return v;
}

// Rows of 8 values, 64 of them (8 KB): each k loads one factor and four
// operands from a row of its own, as the product sums do, all from the
// first-level cache.
void X87Limit_RegisterMultiplyAdd(benchmark::State& state) {
  constexpr int kRowsHere = 64, kWidth = 8;
  std::vector<std::vector<REAL>> rows;
  for (int k = 0; k < kRowsHere; ++k) rows.push_back(values(static_cast<unsigned>(k + 1), kWidth));
  std::vector<const REAL*> row(kRowsHere);
  for (int k = 0; k < kRowsHere; ++k) row[static_cast<std::size_t>(k)] = rows[static_cast<std::size_t>(k)].data();
  for (auto _ : state) {
    REAL t0 = 0, t1 = 0, t2 = 0, t3 = 0;
    for (int r = 0; r < kRepeats; ++r) {
      for (int k = 0; k < kRowsHere; ++k) {
        const REAL* a = row[static_cast<std::size_t>(k)];
        const REAL x = a[0];
        t0 = t0 + x * a[4];
        t1 = t1 + x * a[5];
        t2 = t2 + x * a[6];
        t3 = t3 + x * a[7];
      }
      benchmark::DoNotOptimize(t0);
    }
    benchmark::DoNotOptimize(t0 + t1 + t2 + t3);
  }
  state.SetItemsProcessed(state.iterations() * kRepeats * kRowsHere * 4);
}

void X87Limit_InMemoryUpdate(benchmark::State& state) {
  std::vector<REAL> t = values(3, kLength);
  const std::vector<REAL> y = values(4, kLength);
  const REAL s = 1e-9L;
  for (auto _ : state) {
    for (int r = 0; r < kRepeats; ++r) {
      for (std::size_t j = 0; j < t.size(); ++j) t[j] = t[j] + s * y[j];
      benchmark::ClobberMemory();
    }
    benchmark::DoNotOptimize(t.data());
  }
  state.SetItemsProcessed(state.iterations() * kRepeats * kLength);
}

void X87Limit_Division(benchmark::State& state) {
  std::vector<REAL> out(static_cast<std::size_t>(kLength));
  const std::vector<REAL> x = values(5, kLength);
  const REAL c = 1.000001L;
  for (auto _ : state) {
    for (int r = 0; r < kRepeats; ++r) {
      for (std::size_t j = 0; j < out.size(); ++j) out[j] = x[j] / c;
      benchmark::ClobberMemory();
    }
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(state.iterations() * kRepeats * kLength);
}

constexpr std::int32_t kRows = 64, kColumns = 500;

MATRIX random_matrix(unsigned seed, bool positive) {
  std::mt19937_64 rng(seed);
  std::uniform_real_distribution<double> dist(positive ? 0.0 : -1.0, 1.0);
  MATRIX a(kRows + 1, kColumns + 1);
  for (std::int32_t i = 1; i <= kRows; ++i)
    for (std::int32_t j = 1; j <= kColumns; ++j) a[i][j] = dist(rng);
  return a;
}

constexpr std::int64_t kTerms = std::int64_t{kRows} * kColumns * (kColumns + 1) / 2;

void ProductSums_Blocked(benchmark::State& state) {
  const bool variances = state.range(0) != 0;
  const MATRIX A = random_matrix(1, false), SD = random_matrix(2, true);
  MATRIX T(kColumns + 1, kColumns + 1), ST(kColumns + 1, kColumns + 1);
  for (auto _ : state) {
    add_column_products(A, 1, kRows, 1, kColumns, kColumns, T);
    if (variances) add_column_product_variances(A, SD, 1, kRows, 1, kColumns, kColumns, ST);
    benchmark::DoNotOptimize(T[kColumns][kColumns]);
  }
  state.SetItemsProcessed(state.iterations() * kTerms);
}

// The loop as it was: k outermost, every element loaded and stored per term.
void ProductSums_Plain(benchmark::State& state) {
  const bool variances = state.range(0) != 0;
  const MATRIX A = random_matrix(1, false), SD = random_matrix(2, true);
  MATRIX T(kColumns + 1, kColumns + 1), ST(kColumns + 1, kColumns + 1);
  for (auto _ : state) {
    for (std::int32_t k = 1; k <= kRows; ++k) {
      const REAL* a = A[k];
      const REAL* sd = SD[k];
      for (std::int32_t i = 1; i <= kColumns; ++i) {
        REAL* t = T[i];
        const REAL ai = a[i];
        for (std::int32_t j = i; j <= kColumns; ++j) t[j] = t[j] + ai * a[j];
        if (variances) {
          REAL* st = ST[i];
          for (std::int32_t j = i; j <= kColumns; ++j) {
            REAL term = ai * ai * sd[j] + a[j] * a[j] * sd[i];
            if (i == j) term = term * 2;
            st[j] = st[j] + term;
          }
        }
      }
    }
    benchmark::DoNotOptimize(T[kColumns][kColumns]);
  }
  state.SetItemsProcessed(state.iterations() * kTerms);
}

}  // namespace

BENCHMARK(X87Limit_RegisterMultiplyAdd)->Unit(benchmark::kMillisecond);
BENCHMARK(X87Limit_InMemoryUpdate)->Unit(benchmark::kMillisecond);
BENCHMARK(X87Limit_Division)->Unit(benchmark::kMillisecond);
BENCHMARK(ProductSums_Blocked)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(ProductSums_Plain)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

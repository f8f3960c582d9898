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
#include "common/run_state.h"
#include "control/console.h"
#include "numeric/eigen.h"
#include "numeric/heapsort.h"

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

// The reduction and the QL iteration in their textbook loop order, reading
// down columns wherever the formulas index a column.
REAL literal_sign(REAL a, REAL b) { return b < 0 ? -std::fabs(a) : std::fabs(a); }

void literal_tred2(MATRIX& a, MATRIX& d, MATRIX& e, int n) {
  for (int i = n; i >= 2; --i) {
    int l = i - 1;
    REAL h = 0, scale = 0;
    if (l > 1) {
      for (int k = 1; k <= l; ++k) scale = scale + std::fabs(a[i][k]);
      if (scale == 0) {
        e[i][1] = a[i][l];
      } else {
        for (int k = 1; k <= l; ++k) {
          a[i][k] = a[i][k] / scale;
          h = h + a[i][k] * a[i][k];
        }
        REAL f = a[i][l];
        REAL g = -literal_sign(std::sqrt(h), f);
        e[i][1] = scale * g;
        h = h - f * g;
        a[i][l] = f - g;
        f = 0;
        for (int j = 1; j <= l; ++j) {
          a[j][i] = a[i][j] / h;
          g = 0;
          for (int k = 1; k <= j; ++k) g = g + a[j][k] * a[i][k];
          for (int k = j + 1; k <= l; ++k) g = g + a[k][j] * a[i][k];
          e[j][1] = g / h;
          f = f + e[j][1] * a[i][j];
        }
        REAL hh = f / (h + h);
        for (int j = 1; j <= l; ++j) {
          f = a[i][j];
          g = e[j][1] - hh * f;
          e[j][1] = g;
          for (int k = 1; k <= j; ++k) a[j][k] = (a[j][k] - f * e[k][1]) - g * a[i][k];
        }
      }
    } else {
      e[i][1] = a[i][l];
    }
    d[i][1] = h;
  }
  d[1][1] = 0;
  e[1][1] = 0;
  for (int i = 1; i <= n; ++i) {
    int l = i - 1;
    if (d[i][1] != 0) {
      for (int j = 1; j <= l; ++j) {
        REAL g = 0;
        for (int k = 1; k <= l; ++k) g = g + a[i][k] * a[k][j];
        for (int k = 1; k <= l; ++k) a[k][j] = a[k][j] - g * a[k][i];
      }
    }
    d[i][1] = a[i][i];
    a[i][i] = 1;
    for (int j = 1; j <= l; ++j) a[j][i] = a[i][j] = 0;
  }
}

void literal_tqli(MATRIX& z, MATRIX& d, MATRIX& e, int n) {
  for (int i = 2; i <= n; ++i) e[i - 1][1] = e[i][1];
  e[n][1] = 0;
  auto split = [&](int l) {
    for (int m = l; m < n; ++m) {
      REAL dd = std::fabs(d[m + 1][1]) + std::fabs(d[m][1]);
      if (std::fabs(e[m][1]) + dd == dd) return m;
    }
    return n;
  };
  for (int l = 1; l <= n; ++l) {
    for (int m = split(l); m != l; m = split(l)) {
      REAL g = (d[l + 1][1] - d[l][1]) / (2 * e[l][1]);
      REAL r = std::sqrt(g * g + 1);
      g = d[m][1] - d[l][1] + e[l][1] / (g + literal_sign(r, g));
      REAL s = 1, c = 1, p = 0;
      for (int i = m - 1; i >= l; --i) {
        REAL f = s * e[i][1];
        REAL b = c * e[i][1];
        if (std::fabs(f) >= std::fabs(g)) {
          c = g / f;
          r = std::sqrt(c * c + 1);
          e[i + 1][1] = f * r;
          s = 1 / r;
          c = c * s;
        } else {
          s = f / g;
          r = std::sqrt(s * s + 1);
          e[i + 1][1] = g * r;
          c = 1 / r;
          s = s * c;
        }
        g = d[i + 1][1] - p;
        r = (d[i][1] - g) * s + 2 * c * b;
        p = s * r;
        d[i + 1][1] = g + p;
        g = c * r - b;
        for (int k = 1; k <= n; ++k) {
          f = z[k][i + 1];
          z[k][i + 1] = s * z[k][i] + c * f;
          z[k][i] = c * z[k][i] - s * f;
        }
      }
      d[l][1] = d[l][1] - p;
      e[l][1] = g;
      e[m][1] = 0;
    }
  }
}

template <bool kLiteral>
void run_decomposition(benchmark::State& state) {
  const auto n = static_cast<std::int32_t>(state.range(0));
  const MATRIX source = random_symmetric(n);
  MATRIX a(n + 1, n + 1), d(n + 1, 2), e(n + 1, 2);
  std::FILE* sink = std::tmpfile();
  std::FILE* none = std::tmpfile();
  Console console(sink, none, false);
  for (auto _ : state) {
    state.PauseTiming();
    copy_into(a, source, n);
    state.ResumeTiming();
    if constexpr (kLiteral) {
      literal_tred2(a, d, e, n);
      literal_tqli(a, d, e, n);
    } else {
      TRED2(a, d, e, n);
      TQLI(a, d, e, n, console);
    }
    benchmark::DoNotOptimize(a[1][1]);
  }
  std::fclose(sink);
  std::fclose(none);
}

void BM_EigenDecomposition(benchmark::State& state) { run_decomposition<false>(state); }
void BM_EigenDecompositionLiteral(benchmark::State& state) { run_decomposition<true>(state); }

BENCHMARK(BM_EigenDecomposition)->Arg(200)->Arg(500)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EigenDecompositionLiteral)->Arg(200)->Unit(benchmark::kMillisecond);

BENCHMARK(BM_EigenDecomposition)->Arg(1000)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_HeapSortRows(benchmark::State& state) {
  const auto n = static_cast<std::int32_t>(state.range(0));
  std::FILE* sink = std::tmpfile();
  std::FILE* none = std::tmpfile();
  Console console(sink, none, false);
  RunState s(console);
  s.FTW = 1;
  s.A = MATRIX(n + 1, 2);
  s.RO = MATRIX(n + 1, 2);
  s.RW = MATRIX(n + 1, 2);
  s.TW = MATRIX(n + 1, 2);
  std::mt19937_64 gen(3);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  for (auto _ : state) {
    state.PauseTiming();
    for (std::int32_t p = 1; p <= n; ++p) {
      s.A[p][1] = static_cast<REAL>(u(gen));
      s.RO[p][1] = p;
      s.RW[p][1] = p;
      s.TW[p][1] = p;
    }
    state.ResumeTiming();
    HEAPSORTR(s, n);
    benchmark::DoNotOptimize(s.A[1][1]);
  }
  std::fclose(sink);
  std::fclose(none);
}
BENCHMARK(BM_HeapSortRows)->Arg(2000)->Unit(benchmark::kMicrosecond);

}  // namespace

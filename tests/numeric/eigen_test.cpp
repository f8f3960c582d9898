#include "numeric/eigen.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "common/workers.h"
#include "numeric/literal_eigen.h"
#include "test_support.h"

namespace {

using qor_test::CapturedConsole;

const char* const kPause = "Pause in routine TQLI: more than 30 iterations!\r\nPress ENTER (RETURN) to continue...\r\n";

MATRIX square(const std::vector<std::vector<REAL>>& rows) {
  const auto n = static_cast<std::int32_t>(rows.size());
  MATRIX a(n + 1, n + 1);
  for (std::int32_t i = 1; i <= n; ++i)
    for (std::int32_t j = 1; j <= n; ++j) a[i][j] = rows[i - 1][j - 1];
  return a;
}

MATRIX random_symmetric(std::int32_t n, unsigned seed) {
  std::mt19937_64 gen(seed);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  MATRIX a(n + 1, n + 1);
  for (std::int32_t i = 1; i <= n; ++i)
    for (std::int32_t j = 1; j <= i; ++j) a[i][j] = a[j][i] = static_cast<REAL>(u(gen)) / 3;
  return a;
}

// A vector in column 1 of rows 1..n, and back.
MATRIX vec(const std::vector<REAL>& v) {
  MATRIX m(static_cast<std::int32_t>(v.size()) + 1, 2);
  for (std::size_t i = 0; i < v.size(); ++i) m[static_cast<std::int32_t>(i) + 1][1] = v[i];
  return m;
}

std::vector<REAL> column1(const MATRIX& m, std::int32_t n) {
  std::vector<REAL> v;
  for (std::int32_t i = 1; i <= n; ++i) v.push_back(m[i][1]);
  return v;
}

struct Decomposition {
  MATRIX z, d, e, ro;
  std::int64_t shared_loops = 0;
};

// Runs the three routines the way the analysis does (the sort only when
// asked). More than one thread shares every loop of two iterations or more.
Decomposition decompose(MATRIX a, std::int32_t n, Console& console, bool sort = true, int threads = 1) {
  Decomposition r{std::move(a), MATRIX(n + 1, 2), MATRIX(n + 1, 2), MATRIX(n + 1, 2)};
  Workers workers(threads);
  workers.set_work_per_part(0);
  for (std::int32_t i = 1; i <= n; ++i) r.ro[i][1] = i;
  TRED2(r.z, r.d, r.e, n, workers);
  TQLI(r.z, r.d, r.e, n, console, workers);
  if (sort) EIGENSORT(r.z, r.e, r.ro, r.d, n, false);
  r.shared_loops = workers.shared_loops();
  return r;
}

// Only the 10 value bytes of the 80-bit type; the rest is padding.
bool same_bits(REAL x, REAL y) { return std::memcmp(&x, &y, 10) == 0; }

// On one thread and shared among three (every loop cut into parts).
TEST(EigenTest, MatchesTextbookLoopOrderBitForBit) {
  for (int threads : {1, 3}) {
    for (std::int32_t n : {1, 2, 3, 5, 10, 50}) {
      for (unsigned seed = 1; seed <= 3; ++seed) {
        MATRIX a = random_symmetric(n, seed * 100 + static_cast<unsigned>(n));
        MATRIX b = random_symmetric(n, seed * 100 + static_cast<unsigned>(n));
        // Garbage in the upper triangle must not matter: it is never read.
        for (std::int32_t i = 1; i <= n; ++i)
          for (std::int32_t j = i + 1; j <= n; ++j) a[i][j] = 7;
        CapturedConsole c;
        const Decomposition r = decompose(std::move(a), n, c.console(), false, threads);
        EXPECT_EQ(r.shared_loops > 0, threads > 1 && n > 1) << n;
        MATRIX rd(n + 1, 2), re(n + 1, 2);
        qor_test::ref_tred2(b, rd, re, n);
        qor_test::ref_tqli(b, rd, re, n);
        for (std::int32_t i = 1; i <= n; ++i) {
          ASSERT_TRUE(same_bits(r.d[i][1], rd[i][1])) << threads << " threads, n=" << n << " d[" << i << "]";
          for (std::int32_t j = 1; j <= n; ++j)
            ASSERT_TRUE(same_bits(r.z[i][j], b[i][j]))
                << threads << " threads, n=" << n << " z[" << i << "][" << j << "]";
        }
        EXPECT_EQ(c.text(), "");
      }
    }
  }
}

// The eigenvalues alone are those of the whole decomposition, bit for bit,
// on one thread and on three; the slow matrix below pauses as TQLI does.
TEST(EigenTest, ValuesAloneAsTheWholeDecomposition) {
  for (int threads : {1, 3}) {
    for (std::int32_t n : {1, 2, 3, 5, 10, 50}) {
      CapturedConsole c;
      const Decomposition r = decompose(random_symmetric(n, 7 + static_cast<unsigned>(n)), n, c.console(), false,
                                        threads);
      MATRIX a = random_symmetric(n, 7 + static_cast<unsigned>(n)), d(n + 1, 2), e(n + 1, 2);
      Workers workers(threads);
      workers.set_work_per_part(0);
      ASSERT_TRUE(tridiagonal_reduction(a, d, e, n, workers));
      ASSERT_TRUE(tridiagonal_eigenvalues(d, e, n, c.console(), workers).finite);
      for (std::int32_t i = 1; i <= n; ++i)
        ASSERT_TRUE(same_bits(r.d[i][1], d[i][1])) << threads << " threads, n=" << n << " d[" << i << "]";
    }
  }
}

TEST(EigenTest, DecompositionRebuildsTheMatrix) {
  const std::int32_t n = 10;
  MATRIX original = random_symmetric(n, 42);
  CapturedConsole c;
  Decomposition r = decompose(random_symmetric(n, 42), n, c.console());
  for (std::int32_t i = 1; i <= n; ++i) {
    if (i > 1) {
      EXPECT_GE(std::fabs(r.d[i - 1][1]), std::fabs(r.d[i][1]));
    }
    for (std::int32_t j = 1; j <= n; ++j) {
      REAL sum = 0;
      for (std::int32_t k = 1; k <= n; ++k) sum += r.z[i][k] * r.d[k][1] * r.z[j][k];
      EXPECT_NEAR(static_cast<double>(sum), static_cast<double>(original[i][j]), 1e-15);
    }
  }
}

TEST(EigenTest, KnownDecompositions) {
  const double s = std::sqrt(2.0), h = 1 / s;
  struct Case {
    std::vector<std::vector<REAL>> a;
    std::vector<double> d, ro;
    std::vector<std::vector<double>> z;
    double tolerance;  // 0: exact in REAL
  };
  const Case cases[] = {
      {{{2, 1}, {1, 2}}, {3, 1}, {2, 1}, {{h, h}, {h, -h}}, 1e-15},
      {{{2, -1, 0}, {-1, 2, -1}, {0, -1, 2}}, {2 + s, 2, 2 - s}, {3, 2, 1},
       {{0.5, h, 0.5}, {-h, 0, h}, {0.5, -h, 0.5}}, 1e-15},
      // Diagonal: the identity, with its columns carried along by the sort.
      {{{1, 0, 0, 0}, {0, -7, 0, 0}, {0, 0, 3, 0}, {0, 0, 0, 2}}, {-7, 3, 2, 1}, {2, 3, 4, 1},
       {{0, 0, 0, 1}, {1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}}, 0},
  };
  CapturedConsole c;
  for (const Case& k : cases) {
    const auto n = static_cast<std::int32_t>(k.a.size());
    Decomposition r = decompose(square(k.a), n, c.console());
    const auto check = [&](REAL got, double want) {
      if (k.tolerance == 0)
        EXPECT_EQ(got, static_cast<REAL>(want));
      else
        EXPECT_NEAR(static_cast<double>(got), want, k.tolerance);
    };
    for (std::int32_t i = 1; i <= n; ++i) {
      SCOPED_TRACE(testing::Message() << "n=" << n << " i=" << i);
      check(r.d[i][1], k.d[i - 1]);
      EXPECT_EQ(r.ro[i][1], k.ro[i - 1]);
      for (std::int32_t j = 1; j <= n; ++j) check(r.z[i][j], k.z[i - 1][j - 1]);
    }
  }
  // Order 2 takes no Householder step (the coupling is copied), and the QL
  // iteration delivers 1 first.
  MATRIX a = square({{2, 1}, {1, 2}}), d(3, 2), e(3, 2);
  Workers w;
  TRED2(a, d, e, 2, w);
  EXPECT_EQ(e[2][1], 1);
  TQLI(a, d, e, 2, c.console(), w);
  EXPECT_NEAR(static_cast<double>(d[1][1]), 1.0, 1e-18);
  EXPECT_EQ(c.text(), "");
}

TEST(EigenTest, OrderOne) {
  CapturedConsole c;
  MATRIX a = square({{-4.5L}}), d = vec({0}), e = vec({9}), ro = vec({1});
  Workers w;
  TRED2(a, d, e, 1, w);
  EXPECT_EQ(d[1][1], -4.5L);
  EXPECT_EQ(e[1][1], 0);
  EXPECT_EQ(a[1][1], 1);
  TQLI(a, d, e, 1, c.console(), w);
  EIGENSORT(a, e, ro, d, 1, true);
  EXPECT_EQ(d[1][1], -4.5L);
  EXPECT_EQ(a[1][1], 1);
  EXPECT_EQ(ro[1][1], 1);
  EXPECT_EQ(c.text(), "");
}

TEST(EigenTest, SortTiesAndCompanions) {
  {
    // |-3| beats 2 even though it is smaller; ee stays attached to its eigenvalue.
    MATRIX v = square({{1, 0}, {0, 1}}), d = vec({2, -3}), ee = vec({0.5L, 0.25L}), ro = vec({1, 2});
    EIGENSORT(v, ee, ro, d, 2, true);
    EXPECT_EQ(column1(d, 2), (std::vector<REAL>{-3, 2}));
    EXPECT_EQ(ro[1][1], 2);
    EXPECT_EQ(column1(ee, 2), (std::vector<REAL>{0.25L, 0.5L}));
    EXPECT_EQ(column1(v, 2), (std::vector<REAL>{0, 1}));
  }
  // Equal magnitudes: the highest index moves forward each time; ee is
  // untouched without errors.
  MATRIX v = square({{1, 2, 3}, {4, 5, 6}, {7, 8, 9}}), d = vec({5, 5, 5}), ee = vec({10, 20, 30}),
         ro = vec({1, 2, 3});
  EIGENSORT(v, ee, ro, d, 3, false);
  EXPECT_EQ(column1(ro, 3), (std::vector<REAL>{3, 1, 2}));
  EXPECT_EQ(column1(ee, 3), (std::vector<REAL>{10, 20, 30}));
  for (std::int32_t i = 1; i <= 3; ++i)
    for (std::int32_t j = 1; j <= 3; ++j) EXPECT_EQ(v[i][j], 3 * (i - 1) + ro[j][1]);
}

// Near the bottom of the range the values carry only a few bits, and this
// matrix needs more than 30 sweeps for one eigenvalue: one pause, then a
// full, finite result.
TEST(EigenTest, SlowConvergencePausesOnceAndFinishes) {
  CapturedConsole c("\n");
  MATRIX a = square({{-0x0.00000000000198dp-16385L, -0x0.0000000001644b8p-16385L,
                      -0x0.0000000004b80dcp-16385L, -0x0.000000000039c56p-16385L},
                     {-0x0.0000000001644b8p-16385L, 0x0.000000000148171p-16385L,
                      0x0.00000000079c53ap-16385L, -0x0.0000000005ac323p-16385L},
                     {-0x0.0000000004b80dcp-16385L, 0x0.00000000079c53ap-16385L,
                      -0x0.0000000002f98ebp-16385L, 0x0.00000000015dd1ep-16385L},
                     {-0x0.000000000039c56p-16385L, -0x0.0000000005ac323p-16385L,
                      0x0.00000000015dd1ep-16385L, -0x0.0000000000ba123p-16385L}});
  const std::int32_t n = 4;
  const Decomposition r = decompose(std::move(a), n, c.console(), false);
  EXPECT_EQ(c.text(), kPause);
  for (std::int32_t i = 1; i <= n; ++i) {
    EXPECT_TRUE(std::isfinite(r.d[i][1]));
    for (std::int32_t j = 1; j <= n; ++j) {
      REAL dot = 0;
      for (std::int32_t k = 1; k <= n; ++k) dot += r.z[k][i] * r.z[k][j];
      EXPECT_NEAR(static_cast<double>(dot), i == j ? 1.0 : 0.0, 1e-15);
    }
  }
}

// A NaN or an infinity, in the input or met during the work, stops both
// routines at once: no pause, no further sweep (each would be NaN arithmetic,
// a hundred times slower than the ordinary on some processors).
TEST(EigenTest, ValuesThatAreNotFiniteStopTheWork) {
  const REAL nan = std::numeric_limits<REAL>::quiet_NaN(), inf = std::numeric_limits<REAL>::infinity();
  const REAL big = std::numeric_limits<REAL>::max();
  const struct {
    std::vector<std::vector<REAL>> a;
    bool reduced;           // TRED2's answer
    std::int64_t sweeps;    // TQLI's sweeps before it stopped
  } cases[] = {
      {{{1, nan}, {nan, 2}}, false, 0},
      {{{1, inf}, {inf, 2}}, false, 0},
      {{{nan, 0, 0}, {0, 1, 0}, {0, 0, 2}}, false, 0},
      // Finite, but the first sweep overflows: the rotation of (0, max) has a radius of max x sqrt(2).
      {{{0, big}, {big, 0}}, true, 1},
  };
  for (const auto& c : cases) {
    CapturedConsole console;
    const auto n = static_cast<std::int32_t>(c.a.size());
    MATRIX z = square(c.a), d(n + 1, 2), e(n + 1, 2);
    Workers w;
    EXPECT_EQ(TRED2(z, d, e, n, w), c.reduced);
    const TqliOutcome outcome = TQLI(z, d, e, n, console.console(), w);
    EXPECT_FALSE(outcome.finite);
    EXPECT_EQ(outcome.sweeps, c.sweeps);
    EXPECT_EQ(console.text(), "");
  }
}

// An infinity in a large matrix stops the reduction in its first step, so
// neither the O(n^3) rest of the reduction nor the sweeps work on it.
TEST(EigenTest, OverflowedMatrixStopsTheReduction) {
  const std::int32_t n = 100;
  MATRIX a = random_symmetric(n, 11), d(n + 1, 2), e(n + 1, 2);
  a[n][n - 1] = a[n - 1][n] = std::numeric_limits<REAL>::infinity();
  Workers w;
  EXPECT_FALSE(TRED2(a, d, e, n, w));
}

// Every sweep is counted: a diagonal matrix needs none, the rows (2, 1) and
// (1, 2) exactly one (the shift is exact for it). Near the top of the range
// the convergence test can never hold for (max/2, max/2), (max/2, -max/2):
// one pause, then the sweeps stop at 10,000 with finite values.
TEST(EigenTest, SweepsAreCountedAndCapped) {
  const REAL half = std::numeric_limits<REAL>::max() / 2;
  const struct {
    std::vector<std::vector<REAL>> a;
    std::int64_t sweeps;
    std::string console;
  } cases[] = {{{{3, 0}, {0, 1}}, 0, ""}, {{{2, 1}, {1, 2}}, 1, ""}, {{{half, half}, {half, -half}}, 10000, kPause}};
  for (const auto& c : cases) {
    CapturedConsole console;
    MATRIX z = square(c.a), d(3, 2), e(3, 2);
    Workers w;
    ASSERT_TRUE(TRED2(z, d, e, 2, w));
    const TqliOutcome outcome = TQLI(z, d, e, 2, console.console(), w);
    EXPECT_TRUE(outcome.finite);
    EXPECT_EQ(outcome.sweeps, c.sweeps);
    EXPECT_EQ(console.text(), c.console);
  }
}

}  // namespace

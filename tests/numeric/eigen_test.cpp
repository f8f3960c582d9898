#include "numeric/eigen.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "common/matrix.h"
#include "control/console.h"

namespace {

// Console output captured in memory; input from a string (possibly empty).
struct CapturedConsole {
  explicit CapturedConsole(const std::string& input = "") {
    out = open_memstream(&buf, &len);
    in = std::tmpfile();
    std::fputs(input.c_str(), in);
    std::rewind(in);
    console = std::make_unique<Console>(out, in, false);
  }
  ~CapturedConsole() {
    console.reset();
    std::fclose(out);
    std::fclose(in);
    std::free(buf);
  }
  std::string text() {
    console->flush();
    std::fflush(out);
    return std::string(buf, len);
  }
  char* buf = nullptr;
  size_t len = 0;
  std::FILE* out = nullptr;
  std::FILE* in = nullptr;
  std::unique_ptr<Console> console;
};

int count_of(const std::string& text, const std::string& what) {
  int n = 0;
  for (auto p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
  return n;
}

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

struct Decomposition {
  MATRIX z, d, e, ro;
};

// Runs the three routines the way the analysis does.
Decomposition decompose(MATRIX a, std::int32_t n, Console& console) {
  Decomposition r{std::move(a), MATRIX(n + 1, 2), MATRIX(n + 1, 2), MATRIX(n + 1, 2)};
  for (std::int32_t i = 1; i <= n; ++i) r.ro[i][1] = i;
  TRED2(r.z, r.d, r.e, n);
  TQLI(r.z, r.d, r.e, n, console);
  EIGENSORT(r.z, r.e, r.ro, r.d, n, false);
  return r;
}

// ---- The routines written in their textbook loop order, as a reference. ----

REAL ref_sign(REAL a, REAL b) { return b < 0 ? -std::fabs(a) : std::fabs(a); }

void ref_tred2(MATRIX& a, MATRIX& d, MATRIX& e, int n) {
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
        REAL g = -ref_sign(std::sqrt(h), f);
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

void ref_tqli(MATRIX& z, MATRIX& d, MATRIX& e, int n) {
  for (int i = 2; i <= n; ++i) e[i - 1][1] = e[i][1];
  e[n][1] = 0;
  auto help = [&](int l) {
    int m = l;
    bool found = false;
    while (m < n && !found) {
      REAL dd = std::fabs(d[m + 1][1]) + std::fabs(d[m][1]);
      found = std::fabs(e[m][1]) + dd == dd;
      m = m + 1;
    }
    m = m - 1;
    return found ? m : n;
  };
  for (int l = 1; l <= n; ++l) {
    int m = help(l);
    while (m != l) {
      REAL g = (d[l + 1][1] - d[l][1]) / (2 * e[l][1]);
      REAL r = std::sqrt(g * g + 1);
      g = d[m][1] - d[l][1] + e[l][1] / (g + ref_sign(r, g));
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
      m = help(l);
    }
  }
}

bool same_bits(REAL x, REAL y) {
  // Only the 10 value bytes of the 80-bit type; the rest is padding.
  return std::memcmp(&x, &y, 10) == 0;
}

TEST(EigenTest, MatchesTextbookLoopOrderBitForBit) {
  for (std::int32_t n : {1, 2, 3, 5, 10, 50}) {
    for (unsigned seed = 1; seed <= 3; ++seed) {
      MATRIX a = random_symmetric(n, seed * 100 + static_cast<unsigned>(n));
      // Garbage in the upper triangle must not matter: it is never read.
      MATRIX b = random_symmetric(n, seed * 100 + static_cast<unsigned>(n));
      for (std::int32_t i = 1; i <= n; ++i)
        for (std::int32_t j = i + 1; j <= n; ++j) a[i][j] = 7;
      MATRIX d(n + 1, 2), e(n + 1, 2), rd(n + 1, 2), re(n + 1, 2);
      CapturedConsole c;
      TRED2(a, d, e, n);
      ref_tred2(b, rd, re, n);
      TQLI(a, d, e, n, *c.console);
      ref_tqli(b, rd, re, n);
      for (std::int32_t i = 1; i <= n; ++i) {
        ASSERT_TRUE(same_bits(d[i][1], rd[i][1])) << "n=" << n << " d[" << i << "]";
        for (std::int32_t j = 1; j <= n; ++j)
          ASSERT_TRUE(same_bits(a[i][j], b[i][j])) << "n=" << n << " z[" << i << "][" << j << "]";
      }
      EXPECT_EQ(c.text(), "");
    }
  }
}

TEST(EigenTest, DecompositionRebuildsTheMatrix) {
  const std::int32_t n = 10;
  MATRIX original = random_symmetric(n, 42);
  MATRIX a = random_symmetric(n, 42);
  CapturedConsole c;
  Decomposition r = decompose(std::move(a), n, *c.console);
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

TEST(EigenTest, OrderOneAndDiagonalInput) {
  CapturedConsole c;
  {
    MATRIX a(2, 2);
    a[1][1] = -4.5L;
    MATRIX d(2, 2), e(2, 2), ro(2, 2);
    ro[1][1] = 1;
    e[1][1] = 9;
    TRED2(a, d, e, 1);
    EXPECT_EQ(d[1][1], -4.5L);
    EXPECT_EQ(e[1][1], 0);
    EXPECT_EQ(a[1][1], 1);
    TQLI(a, d, e, 1, *c.console);
    EIGENSORT(a, e, ro, d, 1, true);
    EXPECT_EQ(d[1][1], -4.5L);
    EXPECT_EQ(a[1][1], 1);
    EXPECT_EQ(ro[1][1], 1);
  }
  {
    Decomposition r = decompose(square({{1, 0, 0, 0}, {0, -7, 0, 0}, {0, 0, 3, 0}, {0, 0, 0, 2}}), 4,
                                *c.console);
    const REAL want_d[] = {0, -7, 3, 2, 1};
    const REAL want_ro[] = {0, 2, 3, 4, 1};
    for (std::int32_t i = 1; i <= 4; ++i) {
      EXPECT_EQ(r.d[i][1], want_d[i]);
      EXPECT_EQ(r.ro[i][1], want_ro[i]);
      // The identity, with its columns carried along by the sort.
      for (std::int32_t j = 1; j <= 4; ++j) EXPECT_EQ(r.z[i][j], i == want_ro[j] ? 1 : 0);
    }
  }
  EXPECT_EQ(c.text(), "");
}

TEST(EigenTest, TwoByTwo) {
  CapturedConsole c;
  MATRIX a = square({{2, 1}, {1, 2}});
  MATRIX d(3, 2), e(3, 2), ro(3, 2);
  TRED2(a, d, e, 2);
  EXPECT_EQ(e[2][1], 1);  // no Householder step: the coupling is copied
  TQLI(a, d, e, 2, *c.console);
  EXPECT_NEAR(static_cast<double>(d[1][1]), 1.0, 1e-18);  // the QL iteration delivers 1 first
  Decomposition r = decompose(square({{2, 1}, {1, 2}}), 2, *c.console);
  const double h = 1 / std::sqrt(2.0);
  EXPECT_NEAR(static_cast<double>(r.d[1][1]), 3.0, 1e-15);
  EXPECT_NEAR(static_cast<double>(r.d[2][1]), 1.0, 1e-15);
  EXPECT_EQ(r.ro[1][1], 2);
  EXPECT_EQ(r.ro[2][1], 1);
  EXPECT_NEAR(static_cast<double>(r.z[1][1]), h, 1e-15);
  EXPECT_NEAR(static_cast<double>(r.z[2][1]), h, 1e-15);
  EXPECT_NEAR(static_cast<double>(r.z[1][2]), h, 1e-15);
  EXPECT_NEAR(static_cast<double>(r.z[2][2]), -h, 1e-15);
}

TEST(EigenTest, ThreeByThree) {
  CapturedConsole c;
  Decomposition r = decompose(square({{2, -1, 0}, {-1, 2, -1}, {0, -1, 2}}), 3, *c.console);
  const double s = std::sqrt(2.0), h = 1 / s;
  EXPECT_NEAR(static_cast<double>(r.d[1][1]), 2 + s, 1e-15);
  EXPECT_NEAR(static_cast<double>(r.d[2][1]), 2, 1e-15);
  EXPECT_NEAR(static_cast<double>(r.d[3][1]), 2 - s, 1e-15);
  EXPECT_EQ(r.ro[1][1], 3);
  EXPECT_EQ(r.ro[2][1], 2);
  EXPECT_EQ(r.ro[3][1], 1);
  const double want[3][3] = {{0.5, h, 0.5}, {-h, 0, h}, {0.5, -h, 0.5}};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      EXPECT_NEAR(static_cast<double>(r.z[i + 1][j + 1]), want[i][j], 1e-15) << i << "," << j;
}

TEST(EigenTest, SortTiesAndCompanions) {
  {
    // |-3| beats 2 even though it is smaller.
    MATRIX v = square({{1, 0}, {0, 1}});
    MATRIX d(3, 2), ee(3, 2), ro(3, 2);
    d[1][1] = 2, d[2][1] = -3;
    ee[1][1] = 0.5L, ee[2][1] = 0.25L;
    ro[1][1] = 1, ro[2][1] = 2;
    EIGENSORT(v, ee, ro, d, 2, true);
    EXPECT_EQ(d[1][1], -3);
    EXPECT_EQ(d[2][1], 2);
    EXPECT_EQ(ro[1][1], 2);
    EXPECT_EQ(ee[1][1], 0.25L);  // stays attached to its eigenvalue
    EXPECT_EQ(ee[2][1], 0.5L);
    EXPECT_EQ(v[1][1], 0);
    EXPECT_EQ(v[2][1], 1);
  }
  {
    // Equal magnitudes: the highest index moves forward each time.
    MATRIX v = square({{1, 2, 3}, {4, 5, 6}, {7, 8, 9}});
    MATRIX d(4, 2), ee(4, 2), ro(4, 2);
    for (std::int32_t i = 1; i <= 3; ++i) d[i][1] = 5, ee[i][1] = 10 * i, ro[i][1] = i;
    EIGENSORT(v, ee, ro, d, 3, false);
    EXPECT_EQ(ro[1][1], 3);
    EXPECT_EQ(ro[2][1], 1);
    EXPECT_EQ(ro[3][1], 2);
    for (std::int32_t i = 1; i <= 3; ++i) {
      EXPECT_EQ(ee[i][1], 10 * i);  // untouched without errors
      for (std::int32_t j = 1; j <= 3; ++j) EXPECT_EQ(v[i][j], 3 * (i - 1) + ro[j][1]);
    }
  }
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
  MATRIX d(n + 1, 2), e(n + 1, 2);
  TRED2(a, d, e, n);
  TQLI(a, d, e, n, *c.console);
  EXPECT_EQ(c.text(),
            "Pause in routine TQLI: more than 30 iterations!\r\n"
            "Press ENTER (RETURN) to continue...\r\n");
  for (std::int32_t i = 1; i <= n; ++i) {
    EXPECT_TRUE(std::isfinite(d[i][1]));
    for (std::int32_t j = 1; j <= n; ++j) {
      REAL dot = 0;
      for (std::int32_t k = 1; k <= n; ++k) dot += a[k][i] * a[k][j];
      EXPECT_NEAR(static_cast<double>(dot), i == j ? 1.0 : 0.0, 1e-15);
    }
  }
}

// A matrix holding a NaN never converges: the pause comes once for the
// eigenvalue concerned, the sweeps stop, and the routine returns.
TEST(EigenTest, NonConvergencePausesOnceAndEnds) {
  for (REAL bad : {std::numeric_limits<REAL>::quiet_NaN(), std::numeric_limits<REAL>::infinity()}) {
    CapturedConsole c;  // empty input: the wait must not block
    MATRIX a = square({{1, bad}, {bad, 2}});
    MATRIX d(3, 2), e(3, 2);
    TRED2(a, d, e, 2);
    TQLI(a, d, e, 2, *c.console);
    EXPECT_EQ(c.text(),
              "Pause in routine TQLI: more than 30 iterations!\r\n"
              "Press ENTER (RETURN) to continue...\r\n");
  }
}

// An overflow in a large matrix must not turn into thousands of sweeps per
// eigenvalue (minutes at this order, hours at a few hundred).
TEST(EigenTest, OverflowedMatrixDoesNotHang) {
  CapturedConsole c;
  const std::int32_t n = 100;
  MATRIX a = random_symmetric(n, 11);
  a[n][n - 1] = a[n - 1][n] = std::numeric_limits<REAL>::infinity();
  MATRIX d(n + 1, 2), e(n + 1, 2);
  const auto start = std::chrono::steady_clock::now();
  TRED2(a, d, e, n);
  TQLI(a, d, e, n, *c.console);
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  EXPECT_LT(took.count(), 3.0);
  EXPECT_GE(count_of(c.text(), "Pause in routine TQLI: more than 30 iterations!\r\n"), 1);
}

}  // namespace

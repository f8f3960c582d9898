#pragma once

// TRED2 and TQLI written in their textbook loop order, reading down columns
// wherever the formulas index a column: the reference the tests compare the
// program's cache-friendly loops with bit for bit, and the benchmarks time.

#include <cmath>

#include "common/matrix.h"
#include "common/real.h"

namespace qor_test {

inline REAL ref_sign(REAL a, REAL b) { return b < 0 ? -std::fabs(a) : std::fabs(a); }

inline void ref_tred2(MATRIX& a, MATRIX& d, MATRIX& e, int n) {
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

inline void ref_tqli(MATRIX& z, MATRIX& d, MATRIX& e, int n) {
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

}  // namespace qor_test

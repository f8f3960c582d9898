#include "numeric/product_sums.h"

#include <algorithm>

namespace {

// The x87 unit has eight registers: four sums, the factor shared by them and
// the product being added fit; more sums would be spilled to memory.
constexpr std::int32_t kSums = 4;

// Columns worked on per sweep over the rows k0..k1: the rows' pieces stay in
// the second-level cache while every row of T takes its elements from them.
constexpr std::int32_t kColumnsPerSweep = 128;

// ---- Products of the columns ----------------------------------------------

// Elements j..j+3 of row i of T, each its own chain over k in increasing order.
inline void add_four_column_products(const MATRIX& A, std::int32_t k0, std::int32_t k1, std::int32_t i,
                                     std::int32_t j, REAL* t) {
  REAL t0 = t[j], t1 = t[j + 1], t2 = t[j + 2], t3 = t[j + 3];
  for (std::int32_t k = k0; k <= k1; ++k) {
    const REAL* a = A[k];
    const REAL ai = a[i];
    t0 = t0 + ai * a[j];
    t1 = t1 + ai * a[j + 1];
    t2 = t2 + ai * a[j + 2];
    t3 = t3 + ai * a[j + 3];
  }
  t[j] = t0;
  t[j + 1] = t1;
  t[j + 2] = t2;
  t[j + 3] = t3;
}

inline void add_one_column_product(const MATRIX& A, std::int32_t k0, std::int32_t k1, std::int32_t i,
                                   std::int32_t j, REAL* t) {
  REAL t0 = t[j];
  for (std::int32_t k = k0; k <= k1; ++k) {
    const REAL* a = A[k];
    t0 = t0 + a[i] * a[j];
  }
  t[j] = t0;
}

// ---- Their variances --------------------------------------------------------

// ai * ai is the same product for every j, formed once per k; the sum of
// the two products and the addition to st keep the plain loop's order.
inline void add_four_column_variances(const MATRIX& A, const MATRIX& SD, std::int32_t k0, std::int32_t k1,
                                      std::int32_t i, std::int32_t j, REAL* st) {
  REAL s0 = st[j], s1 = st[j + 1], s2 = st[j + 2], s3 = st[j + 3];
  for (std::int32_t k = k0; k <= k1; ++k) {
    const REAL* a = A[k];
    const REAL* sd = SD[k];
    const REAL ai = a[i];
    const REAL aii = ai * ai;
    const REAL sdi = sd[i];
    s0 = s0 + (aii * sd[j] + a[j] * a[j] * sdi);
    s1 = s1 + (aii * sd[j + 1] + a[j + 1] * a[j + 1] * sdi);
    s2 = s2 + (aii * sd[j + 2] + a[j + 2] * a[j + 2] * sdi);
    s3 = s3 + (aii * sd[j + 3] + a[j + 3] * a[j + 3] * sdi);
  }
  st[j] = s0;
  st[j + 1] = s1;
  st[j + 2] = s2;
  st[j + 3] = s3;
}

inline void add_one_column_variance(const MATRIX& A, const MATRIX& SD, std::int32_t k0, std::int32_t k1,
                                    std::int32_t i, std::int32_t j, REAL* st) {
  REAL s0 = st[j];
  for (std::int32_t k = k0; k <= k1; ++k) {
    const REAL* a = A[k];
    const REAL* sd = SD[k];
    REAL term = a[i] * a[i] * sd[j] + a[j] * a[j] * sd[i];
    if (i == j) term = term * 2;
    s0 = s0 + term;
  }
  st[j] = s0;
}

// Rows first..last of the upper triangle, one sweep of columns at a time;
// row i holds j = i..M. The diagonal of ST has its doubled term, so a row of
// ST begins with one element on its own when `diagonal_apart`.
template <typename Four, typename One>
void sweep_upper_rows(std::int32_t first, std::int32_t last, std::int32_t M, bool diagonal_apart, Four four,
                      One one) {
  for (std::int32_t c0 = first; c0 <= M; c0 += kColumnsPerSweep) {
    const std::int32_t c1 = std::min(M, c0 + kColumnsPerSweep - 1);
    for (std::int32_t i = first; i <= std::min(last, c1); ++i) {
      std::int32_t j = std::max(i, c0);
      if (diagonal_apart && j == i) one(i, j++);
      for (; j + kSums - 1 <= c1; j += kSums) four(i, j);
      for (; j <= c1; ++j) one(i, j);
    }
  }
}

// ---- Products of the rows ----------------------------------------------------

// Elements j..j+3 of row i of T, over all k; each a chain of its own from 0.
inline void set_four_row_products(const MATRIX& A, std::int32_t M, std::int32_t i, std::int32_t j, REAL* t) {
  const REAL* ai = A[i];
  const REAL *a0 = A[j], *a1 = A[j + 1], *a2 = A[j + 2], *a3 = A[j + 3];
  REAL t0 = 0, t1 = 0, t2 = 0, t3 = 0;
  for (std::int32_t k = 1; k <= M; ++k) {
    const REAL x = ai[k];
    t0 = t0 + x * a0[k];
    t1 = t1 + x * a1[k];
    t2 = t2 + x * a2[k];
    t3 = t3 + x * a3[k];
  }
  t[j] = t0;
  t[j + 1] = t1;
  t[j + 2] = t2;
  t[j + 3] = t3;
}

inline void set_one_row_product(const MATRIX& A, std::int32_t M, std::int32_t i, std::int32_t j, REAL* t) {
  const REAL* ai = A[i];
  const REAL* aj = A[j];
  REAL sum = 0;
  for (std::int32_t k = 1; k <= M; ++k) sum = sum + ai[k] * aj[k];
  t[j] = sum;
}

inline void set_four_row_variances(const MATRIX& A, const MATRIX& SD, std::int32_t M, std::int32_t i,
                                   std::int32_t j, REAL* st) {
  const REAL* ai = A[i];
  const REAL* sdi = SD[i];
  const REAL *a0 = A[j], *a1 = A[j + 1], *a2 = A[j + 2], *a3 = A[j + 3];
  const REAL *d0 = SD[j], *d1 = SD[j + 1], *d2 = SD[j + 2], *d3 = SD[j + 3];
  REAL s0 = 0, s1 = 0, s2 = 0, s3 = 0;
  for (std::int32_t k = 1; k <= M; ++k) {
    const REAL x = ai[k];
    const REAL xx = x * x;
    const REAL v = sdi[k];
    s0 = s0 + (xx * d0[k] + a0[k] * a0[k] * v);
    s1 = s1 + (xx * d1[k] + a1[k] * a1[k] * v);
    s2 = s2 + (xx * d2[k] + a2[k] * a2[k] * v);
    s3 = s3 + (xx * d3[k] + a3[k] * a3[k] * v);
  }
  st[j] = s0;
  st[j + 1] = s1;
  st[j + 2] = s2;
  st[j + 3] = s3;
}

inline void set_one_row_variance(const MATRIX& A, const MATRIX& SD, std::int32_t M, std::int32_t i, std::int32_t j,
                                 REAL* st) {
  const REAL* ai = A[i];
  const REAL* aj = A[j];
  const REAL* sdi = SD[i];
  const REAL* sdj = SD[j];
  REAL var = 0;
  for (std::int32_t k = 1; k <= M; ++k) {
    REAL term = ai[k] * ai[k] * sdj[k] + aj[k] * aj[k] * sdi[k];
    if (i == j) term = term * 2;
    var = var + term;
  }
  st[j] = var;
}

template <typename Four, typename One>
void upper_rows(std::int32_t first, std::int32_t last, std::int32_t N, bool diagonal_apart, Four four, One one) {
  for (std::int32_t i = first; i <= last; ++i) {
    std::int32_t j = i;
    if (diagonal_apart) one(i, j++);
    for (; j + kSums - 1 <= N; j += kSums) four(i, j);
    for (; j <= N; ++j) one(i, j);
  }
}

}  // namespace

void add_column_products(const MATRIX& A, std::int32_t k0, std::int32_t k1, std::int32_t first, std::int32_t last,
                         std::int32_t M, MATRIX& T) {
  sweep_upper_rows(
      first, last, M, false, [&](std::int32_t i, std::int32_t j) { add_four_column_products(A, k0, k1, i, j, T[i]); },
      [&](std::int32_t i, std::int32_t j) { add_one_column_product(A, k0, k1, i, j, T[i]); });
}

void add_column_product_variances(const MATRIX& A, const MATRIX& SD, std::int32_t k0, std::int32_t k1,
                                  std::int32_t first, std::int32_t last, std::int32_t M, MATRIX& ST) {
  sweep_upper_rows(
      first, last, M, true,
      [&](std::int32_t i, std::int32_t j) { add_four_column_variances(A, SD, k0, k1, i, j, ST[i]); },
      [&](std::int32_t i, std::int32_t j) { add_one_column_variance(A, SD, k0, k1, i, j, ST[i]); });
}

void set_row_products(const MATRIX& A, std::int32_t first, std::int32_t last, std::int32_t N, std::int32_t M,
                      MATRIX& T) {
  upper_rows(
      first, last, N, false, [&](std::int32_t i, std::int32_t j) { set_four_row_products(A, M, i, j, T[i]); },
      [&](std::int32_t i, std::int32_t j) { set_one_row_product(A, M, i, j, T[i]); });
}

void set_row_product_variances(const MATRIX& A, const MATRIX& SD, std::int32_t first, std::int32_t last,
                               std::int32_t N, std::int32_t M, MATRIX& ST) {
  upper_rows(
      first, last, N, true, [&](std::int32_t i, std::int32_t j) { set_four_row_variances(A, SD, M, i, j, ST[i]); },
      [&](std::int32_t i, std::int32_t j) { set_one_row_variance(A, SD, M, i, j, ST[i]); });
}

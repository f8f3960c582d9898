#include "verdict/further_evidence.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

// The mean of the Tracy-Widom law TW1.
constexpr double kTracyWidomMean = -1.2065335745820;

// The expected largest eigenvalue of the product matrix of an n x q matrix
// of unit noise (n >= 2), by Johnstone's centring and scaling.
double expected_largest_noise(std::int32_t n, std::int32_t q) {
  const double root_n = std::sqrt(static_cast<double>(std::max(n, q) - 1));
  const double root_q = std::sqrt(static_cast<double>(std::min(n, q)));
  const double a = root_n + root_q;
  return a * a + a * std::cbrt(1 / root_n + 1 / root_q) * kTracyWidomMean;
}

// The continued fraction of the incomplete beta function, by the modified
// Lentz method (W. J. Lentz, Applied Optics 15, 1976; the fraction is
// Abramowitz and Stegun's 26.5.8).
double beta_fraction(double a, double b, double x) {
  constexpr double kTiny = 1e-300, kEpsilon = 1e-15;
  double c = 1, d = 1 - (a + b) * x / (a + 1);
  if (std::fabs(d) < kTiny) d = kTiny;
  d = 1 / d;
  double h = d;
  for (int m = 1; m <= 10000; ++m) {
    const double m2 = 2.0 * m;
    double term = m * (b - m) * x / ((a + m2 - 1) * (a + m2));
    d = 1 + term * d;
    if (std::fabs(d) < kTiny) d = kTiny;
    c = 1 + term / c;
    if (std::fabs(c) < kTiny) c = kTiny;
    d = 1 / d;
    h *= d * c;
    term = -(a + m) * (a + b + m) * x / ((a + m2) * (a + m2 + 1));
    d = 1 + term * d;
    if (std::fabs(d) < kTiny) d = kTiny;
    c = 1 + term / c;
    if (std::fabs(c) < kTiny) c = kTiny;
    d = 1 / d;
    const double step = d * c;
    h *= step;
    if (std::fabs(step - 1) < kEpsilon) break;
  }
  return h;
}

// The regularised incomplete beta function I_x(a, b).
double incomplete_beta(double a, double b, double x) {
  if (!(x > 0)) return 0;
  if (!(x < 1)) return 1;
  const double front = std::exp(std::lgamma(a + b) - std::lgamma(a) - std::lgamma(b) + a * std::log(x) +
                                b * std::log1p(-x));
  if (x < (a + 1) / (a + b + 2)) return front * beta_fraction(a, b, x) / a;
  return 1 - front * beta_fraction(b, a, 1 - x) / b;
}

}  // namespace

double f_tail(double x, double d1, double d2) {
  if (std::isnan(x)) return 1;
  if (!(x > 0)) return 1;
  if (std::isinf(x)) return 0;
  return incomplete_beta(d2 / 2, d1 / 2, d2 / (d2 + d1 * x));
}

FaberKowalski faber_kowalski_count(const std::vector<REAL>& eigenvalues, std::int32_t N, std::int32_t M) {
  const std::int32_t n = std::max(N, M), p = std::min(N, M);
  FaberKowalski f;
  f.P.assign(static_cast<std::size_t>(std::max(p, 1)), 1.0);
  if (p < 2 || !(eigenvalues[1] > 0)) return f;
  // In units of the largest, where double holds every eigenvalue in range.
  std::vector<double> l(static_cast<std::size_t>(p) + 1, 0);
  for (std::int32_t j = 1; j <= p; ++j) l[j] = static_cast<double>(eigenvalues[j] / eigenvalues[1]);
  double rest = 0;  // the eigenvalues past k, summed from the smallest
  for (std::int32_t k = p - 1; k >= 1; --k) {
    rest += l[k + 1];
    const double nu1 = expected_largest_noise(n - k + 1, p - k + 1);
    const double nu2 = static_cast<double>(n - k + 1) * static_cast<double>(p - k + 1) - nu1;
    const double F = rest > 0 ? (l[k] / nu1) / (rest / nu2) : (l[k] > 0 ? std::numeric_limits<double>::infinity() : 0);
    f.P[k] = f_tail(F, nu1, nu2);
  }
  for (std::int32_t k = p - 1; k >= 1; --k)
    if (f.P[k] < kFaberKowalskiLevel) {
      f.count = k;
      break;
    }
  return f;
}

double faber_kowalski_tail(const FaberKowalski& f, std::int32_t k) {
  return k >= 1 && k < static_cast<std::int32_t>(f.P.size()) ? f.P[static_cast<std::size_t>(k)] : 1.0;
}

std::int32_t malinowski_count(const std::vector<REAL>& eigenvalues, std::int32_t N, std::int32_t M) {
  const std::int32_t n = std::max(N, M), p = std::min(N, M);
  if (p < 2 || !(eigenvalues[1] > 0)) return 0;
  double rest = 0;  // the eigenvalues past k, in units of the largest, summed from the smallest
  std::vector<double> indicator(static_cast<std::size_t>(p), 0);
  for (std::int32_t k = p - 1; k >= 1; --k) {
    rest += static_cast<double>(eigenvalues[k + 1] / eigenvalues[1]);
    const double left = static_cast<double>(p - k);
    indicator[static_cast<std::size_t>(k)] = std::sqrt(rest / (static_cast<double>(n) * left)) / (left * left);
  }
  std::int32_t best = 1;
  for (std::int32_t k = 2; k <= p - 1; ++k)
    if (indicator[static_cast<std::size_t>(k)] < indicator[static_cast<std::size_t>(best)]) best = k;
  return best;
}

namespace {

// The data in double, the longer side down the rows (n x p, row-major), in
// units of the largest element, where double holds every element in range.
std::vector<double> data_in_double(const MATRIX& A, std::int32_t N, std::int32_t M) {
  const bool rows_long = N >= M;
  const std::int32_t n = rows_long ? N : M, p = rows_long ? M : N;
  REAL largest = 0;
  for (std::int32_t i = 1; i <= N; ++i)
    for (std::int32_t j = 1; j <= M; ++j) largest = std::max(largest, std::fabs(A[i][j]));
  std::vector<double> X(static_cast<std::size_t>(n) * p, 0);
  if (largest == 0) return X;
  for (std::int32_t a = 0; a < n; ++a)
    for (std::int32_t b = 0; b < p; ++b)
      X[static_cast<std::size_t>(a) * p + b] =
          static_cast<double>((rows_long ? A[a + 1][b + 1] : A[b + 1][a + 1]) / largest);
  return X;
}

// The loadings are kept by component: L[c p + b] is loading b of component
// c, so that every loop over b runs along memory. The fits below keep every
// value's operations and their order; only the loops are nested to suit
// that layout.

// Two doubles side by side: each lane's product and sum round as a lone
// double's would, so the fits' values keep their operations and their order.
typedef double Pair __attribute__((vector_size(16)));

Pair load_pair(const double* x) {
  Pair v;
  std::memcpy(&v, x, sizeof v);
  return v;
}

void store_pair(double* x, Pair v) { std::memcpy(x, &v, sizeof v); }

// Modified Gram-Schmidt on the r components of L; a component that
// vanishes stays zero. Each dot product sums over b in order, a chain of
// adds as long as a loading: G components take their steps against the
// components before them side by side, G chains at once, and then against
// each other in turn. Each component receives the same steps in the same
// order as one at a time.
double dot(const double* x, const double* y, std::int32_t p) {
  double s = 0;
  for (std::int32_t b = 0; b < p; ++b) s += x[b] * y[b];
  return s;
}

void normalise(double* l, std::int32_t p) {
  const double norm = std::sqrt(dot(l, l, p));
  if (!(norm > 0)) {
    std::fill(l, l + p, 0.0);
    return;
  }
  const Pair nn = {norm, norm};
  std::int32_t b = 0;
  for (; b + 2 <= p; b += 2) store_pair(l + b, load_pair(l + b) / nn);
  for (; b < p; ++b) l[b] /= norm;
}

template <int G>
void orthonormalise_group(std::vector<double>& L, std::int32_t p, std::int32_t c) {
  double* l[G];
#pragma GCC unroll 4
  for (int g = 0; g < G; ++g) l[g] = &L[static_cast<std::size_t>(c + g) * p];
  for (std::int32_t d = 0; d < c; ++d) {
    const double* k = &L[static_cast<std::size_t>(d) * p];
    double s[G] = {};
    for (std::int32_t b = 0; b < p; ++b)
#pragma GCC unroll 4
      for (int g = 0; g < G; ++g) s[g] += l[g][b] * k[b];
#pragma GCC unroll 4
    for (int g = 0; g < G; ++g)
      for (std::int32_t b = 0; b < p; ++b) l[g][b] -= s[g] * k[b];
  }
  for (int g = 0; g < G; ++g) {
    for (int e = 0; e < g; ++e) {
      const double s = dot(l[g], l[e], p);
      for (std::int32_t b = 0; b < p; ++b) l[g][b] -= s * l[e][b];
    }
    normalise(l[g], p);
  }
}

void orthonormalise(std::vector<double>& L, std::int32_t p, std::int32_t r) {
  std::int32_t c = 0;
  for (; c + 4 <= r; c += 4) orthonormalise_group<4>(L, p, c);
  for (; c < r; ++c) orthonormalise_group<1>(L, p, c);
}

constexpr int kMostRounds = 300;
constexpr double kSettled = 1e-16;

// The elements of each segment, row by row, with their row and column (a
// division per element would cost as much as the fit's products of it).
struct Element {
  std::size_t at;
  std::int32_t row, column;
};
using Segments = std::vector<std::vector<Element>>;

Segments diagonal_segments(std::int32_t n, std::int32_t p) {
  Segments s(kFolds);
  for (std::int32_t a = 0; a < n; ++a)
    for (std::int32_t b = 0; b < p; ++b)
      s[static_cast<std::size_t>(((a - b) % kFolds + kFolds) % kFolds)].push_back(
          {static_cast<std::size_t>(a) * p + b, a, b});
  return s;
}

struct FoldFit {
  const std::vector<double>& X;
  const std::vector<double>& start;  // p x r0 of the short side's vectors
  const Segments& segments;
  std::int32_t n, p, r0;
};

// The loadings by loading, K[b r + c] = L[c p + b], for the loops over c.
void loadings_by_loading(const std::vector<double>& L, std::vector<double>& K, std::int32_t p, std::int32_t r) {
  for (std::int32_t c = 0; c < r; ++c)
    for (std::int32_t b = 0; b < p; ++b) K[static_cast<std::size_t>(b) * r + c] = L[static_cast<std::size_t>(c) * p + b];
}

// The scores of R rows (R a side by side) for four components c .. c + 3,
// or for component c alone (Four false). Each W[a][c] sums its products
// over b in order, as a dot product would; the R x 4 sums advance side by
// side, enough of them to hide the adds' latency.
template <int R, bool Four>
void score_block(const double* y, std::int32_t p, const double* K, std::int32_t r, std::int32_t c, double* w) {
  constexpr int kPairs = Four ? 2 : 1;
  Pair s[R][kPairs] = {};
  double t[R] = {};
  for (std::int32_t b = 0; b < p; ++b) {
    const double* k = &K[static_cast<std::size_t>(b) * r + c];
    if constexpr (Four) {
      const Pair k01 = load_pair(k), k23 = load_pair(k + 2);
#pragma GCC unroll 4
      for (int i = 0; i < R; ++i) {
        const double v = y[static_cast<std::size_t>(i) * p + b];
        const Pair yb = {v, v};
        s[i][0] += yb * k01;
        s[i][1] += yb * k23;
      }
    } else {
#pragma GCC unroll 4
      for (int i = 0; i < R; ++i) t[i] += y[static_cast<std::size_t>(i) * p + b] * k[0];
    }
  }
#pragma GCC unroll 4
  for (int i = 0; i < R; ++i) {
    if constexpr (Four) {
      store_pair(w + static_cast<std::size_t>(i) * r + c, s[i][0]);
      store_pair(w + static_cast<std::size_t>(i) * r + c + 2, s[i][1]);
    } else {
      w[static_cast<std::size_t>(i) * r + c] = t[i];
    }
  }
}

// Where the processor has AVX, four doubles side by side: each lane's
// product and sum round as a lone double's would (AVX alone brings no fused
// multiply-add), so the values are the same bit for bit as with Pair.
#if defined(__x86_64__) || defined(__i386__)
#define QOR_FOUR_LANES 1
typedef double Quad __attribute__((vector_size(32)));

bool four_lanes() {
  static const bool has = __builtin_cpu_supports("avx");
  return has;
}

// The scores of R rows for eight components c .. c + 7, as score_block.
template <int R>
__attribute__((target("avx"))) void score_block_wide(const double* y, std::int32_t p, const double* K, std::int32_t r,
                                                     std::int32_t c, double* w) {
  Quad s[R][2] = {};
  for (std::int32_t b = 0; b < p; ++b) {
    const double* k = &K[static_cast<std::size_t>(b) * r + c];
    Quad k0, k1;
    std::memcpy(&k0, k, sizeof k0);
    std::memcpy(&k1, k + 4, sizeof k1);
#pragma GCC unroll 4
    for (int i = 0; i < R; ++i) {
      const double v = y[static_cast<std::size_t>(i) * p + b];
      const Quad yb = {v, v, v, v};
      s[i][0] += yb * k0;
      s[i][1] += yb * k1;
    }
  }
#pragma GCC unroll 4
  for (int i = 0; i < R; ++i) {
    std::memcpy(w + static_cast<std::size_t>(i) * r + c, &s[i][0], sizeof s[i][0]);
    std::memcpy(w + static_cast<std::size_t>(i) * r + c + 4, &s[i][1], sizeof s[i][1]);
  }
}

// Loadings b .. b + 7 of components c .. c + C - 1, as loading_block.
template <int C>
__attribute__((target("avx"))) void loading_block_wide(const std::vector<double>& Y, const std::vector<double>& W,
                                                       std::vector<double>& L, std::int32_t n, std::int32_t p,
                                                       std::int32_t r, std::int32_t c, std::int32_t b) {
  Quad s[C][2] = {};
  for (std::int32_t a = 0; a < n; ++a) {
    const double* y = &Y[static_cast<std::size_t>(a) * p + b];
    const double* w = &W[static_cast<std::size_t>(a) * r + c];
    Quad y0, y1;
    std::memcpy(&y0, y, sizeof y0);
    std::memcpy(&y1, y + 4, sizeof y1);
#pragma GCC unroll 4
    for (int i = 0; i < C; ++i) {
      const Quad ww = {w[i], w[i], w[i], w[i]};
      s[i][0] += y0 * ww;
      s[i][1] += y1 * ww;
    }
  }
#pragma GCC unroll 4
  for (int i = 0; i < C; ++i) {
    double* l = &L[static_cast<std::size_t>(c + i) * p + b];
    std::memcpy(l, &s[i][0], sizeof s[i][0]);
    std::memcpy(l + 4, &s[i][1], sizeof s[i][1]);
  }
}
#endif

template <int R>
void score_rows(const double* y, std::int32_t p, const double* K, std::int32_t r, double* w) {
  std::int32_t c = 0;
#ifdef QOR_FOUR_LANES
  if (four_lanes())
    for (; c + 8 <= r; c += 8) score_block_wide<R>(y, p, K, r, c, w);
#endif
  for (; c + 4 <= r; c += 4) score_block<R, true>(y, p, K, r, c, w);
  for (; c < r; ++c) score_block<R, false>(y, p, K, r, c, w);
}

// The scores W = Y L^T (n x r) from K, four rows at a time.
void fit_scores(const std::vector<double>& Y, const std::vector<double>& K, std::vector<double>& W, std::int32_t n,
                std::int32_t p, std::int32_t r) {
  std::int32_t a = 0;
  for (; a + 4 <= n; a += 4)
    score_rows<4>(&Y[static_cast<std::size_t>(a) * p], p, K.data(), r, &W[static_cast<std::size_t>(a) * r]);
  for (; a < n; ++a)
    score_rows<1>(&Y[static_cast<std::size_t>(a) * p], p, K.data(), r, &W[static_cast<std::size_t>(a) * r]);
}

// The left-out elements take the model's values W L (L from K); returns false when
// they have settled (never in the first round). Each value sums over the
// components in order, a chain of adds: four elements' chains advance side
// by side, and their changes and sizes add up element by element.
bool refill_left_out(std::vector<double>& Y, const std::vector<double>& W, const std::vector<double>& K,
                     const std::vector<Element>& left_out, std::int32_t r, bool first) {
  double change = 0, size = 0;
  const std::size_t count = left_out.size();
  std::size_t i = 0;
  for (; i < count; i += 4) {
    const int m = static_cast<int>(std::min<std::size_t>(4, count - i));
    const double* w[4];
    const double* k[4];
    double z[4] = {0, 0, 0, 0};
    for (int j = 0; j < 4; ++j) {
      const Element& x = left_out[i + static_cast<std::size_t>(j < m ? j : 0)];
      w[j] = &W[static_cast<std::size_t>(x.row) * r];
      k[j] = &K[static_cast<std::size_t>(x.column) * r];
    }
    for (std::int32_t c = 0; c < r; ++c)
#pragma GCC unroll 4
      for (int j = 0; j < 4; ++j) z[j] += w[j][c] * k[j][c];
    for (int j = 0; j < m; ++j) {
      const std::size_t e = left_out[i + static_cast<std::size_t>(j)].at;
      change += (z[j] - Y[e]) * (z[j] - Y[e]);
      size += z[j] * z[j];
      Y[e] = z[j];
    }
  }
  return first || !(change <= kSettled * size);
}

// Loadings b .. b + 3 (B = 4), b, b + 1 (B = 2) or b alone (B = 1) of
// components c .. c + C - 1: each sums y[a][b] W[a][c] over a in order, as
// row by row; the C x B sums advance side by side, down the rows.
template <int C, int B>
void loading_block(const std::vector<double>& Y, const std::vector<double>& W, std::vector<double>& L, std::int32_t n,
                   std::int32_t p, std::int32_t r, std::int32_t c, std::int32_t b) {
  constexpr int kPairs = B / 2;
  Pair s[C][kPairs > 0 ? kPairs : 1] = {};
  double t[C] = {};
  for (std::int32_t a = 0; a < n; ++a) {
    const double* y = &Y[static_cast<std::size_t>(a) * p + b];
    const double* w = &W[static_cast<std::size_t>(a) * r + c];
    if constexpr (B >= 2) {
      Pair yy[kPairs];
#pragma GCC unroll 2
      for (int j = 0; j < kPairs; ++j) yy[j] = load_pair(y + 2 * j);
#pragma GCC unroll 4
      for (int i = 0; i < C; ++i) {
        const Pair ww = {w[i], w[i]};
#pragma GCC unroll 2
        for (int j = 0; j < kPairs; ++j) s[i][j] += yy[j] * ww;
      }
    } else {
#pragma GCC unroll 4
      for (int i = 0; i < C; ++i) t[i] += y[0] * w[i];
    }
  }
#pragma GCC unroll 4
  for (int i = 0; i < C; ++i) {
    double* l = &L[static_cast<std::size_t>(c + i) * p + b];
    if constexpr (B >= 2) {
#pragma GCC unroll 2
      for (int j = 0; j < kPairs; ++j) store_pair(l + 2 * j, s[i][j]);
    } else {
      l[0] = t[i];
    }
  }
}

template <int C>
void loading_components(const std::vector<double>& Y, const std::vector<double>& W, std::vector<double>& L,
                        std::int32_t n, std::int32_t p, std::int32_t r, std::int32_t c) {
  std::int32_t b = 0;
#ifdef QOR_FOUR_LANES
  if (four_lanes())
    for (; b + 8 <= p; b += 8) loading_block_wide<C>(Y, W, L, n, p, r, c, b);
#endif
  for (; b + 4 <= p; b += 4) loading_block<C, 4>(Y, W, L, n, p, r, c, b);
  for (; b + 2 <= p; b += 2) loading_block<C, 2>(Y, W, L, n, p, r, c, b);
  for (; b < p; ++b) loading_block<C, 1>(Y, W, L, n, p, r, c, b);
}

// The loadings L = W^T Y, orthonormalised.
void fit_loadings(const std::vector<double>& Y, const std::vector<double>& W, std::vector<double>& L, std::int32_t n,
                  std::int32_t p, std::int32_t r) {
  std::int32_t c = 0;
  for (; c + 4 <= r; c += 4) loading_components<4>(Y, W, L, n, p, r, c);
  for (; c < r; ++c) loading_components<1>(Y, W, L, n, p, r, c);
  orthonormalise(L, p, r);
}

// PRESS of r components for one segment: the fit's rounds alternate the
// scores, the left-out elements' values from the scores and loadings, and
// the loadings. False when the budget runs out.
bool fold_press(const FoldFit& f, std::int32_t fold, std::int32_t r, double& press, std::int64_t& work,
                std::int64_t budget) {
  const std::int32_t n = f.n, p = f.p;
  const std::vector<Element>& left_out = f.segments[static_cast<std::size_t>(fold)];
  std::vector<double> Y = f.X, L(static_cast<std::size_t>(p) * std::max(r, 1)), K(L.size()),
      W(static_cast<std::size_t>(n) * std::max(r, 1));
  for (std::int32_t c = 0; c < r; ++c)
    for (std::int32_t b = 0; b < p; ++b) L[static_cast<std::size_t>(c) * p + b] = f.start[static_cast<std::size_t>(b) * f.r0 + c];
  // The left-out elements start at the fit of the whole data.
  const std::int64_t round_work = 2 * static_cast<std::int64_t>(n) * p * std::max(r, 1);
  for (int round = 0; r > 0 && round < kMostRounds; ++round) {
    if (work + round_work > budget) return false;
    work += round_work;
    loadings_by_loading(L, K, p, r);
    fit_scores(Y, K, W, n, p, r);
    if (!refill_left_out(Y, W, K, left_out, r, round == 0)) break;
    fit_loadings(Y, W, L, n, p, r);
  }
  press = 0;
  for (const Element& x : left_out) {
    const std::size_t e = x.at;
    const double predicted = r > 0 ? Y[e] : 0;
    press += (f.X[e] - predicted) * (f.X[e] - predicted);
  }
  return true;
}

// PRESS of r components summed over the segments, appended to cv. The
// segments' PRESS values are at least 0, so their sum only grows: once it
// reaches the least PRESS of a count before r, r cannot be the count of
// least PRESS (ties go to the smaller), and its remaining segments are not
// fitted. False when the budget runs out.
bool add_count_press(const FoldFit& fit, std::int32_t r, CrossValidation& cv, std::int64_t budget) {
  const bool bound = cv.best >= 0;
  const double least = bound ? cv.press[static_cast<std::size_t>(cv.best - cv.from)] : 0;
  double total = 0;
  bool whole = true;
  for (std::int32_t fold = 0; fold < kFolds; ++fold) {
    if (bound && total >= least) {
      whole = false;
      break;
    }
    double press = 0;
    if (!fold_press(fit, fold, r, press, cv.work, budget)) return false;
    total += press;
  }
  cv.press.push_back(total);
  cv.whole.push_back(whole);
  if (!bound || total < least) cv.best = r;
  return true;
}

}  // namespace

std::int32_t most_components_to_cross_validate(std::int32_t N, std::int32_t M) {
  const std::int64_t n = std::max(N, M), p = std::min(N, M);
  const std::int64_t kept = n * p - (n * p + kFolds - 1) / kFolds;
  std::int32_t r = 0;
  while (r + 1 < p && (r + 1) * (n + p - r - 1) < kept) ++r;
  return r;
}

CrossValidation cross_validate(const MATRIX& A, const MATRIX& T, std::int32_t N, std::int32_t M, std::int32_t from,
                               std::int32_t to, std::int64_t budget) {
  CrossValidation cv;
  cv.from = from;
  const std::int32_t n = std::max(N, M), p = std::min(N, M);
  if (from > to || to >= p) return cv;
  const std::vector<double> X = data_in_double(A, N, M);
  const std::int32_t r0 = std::max(to, 1);
  std::vector<double> start(static_cast<std::size_t>(p) * r0, 0);
  for (std::int32_t b = 0; b < p; ++b)
    for (std::int32_t c = 0; c < to; ++c) start[static_cast<std::size_t>(b) * r0 + c] = static_cast<double>(T[b + 1][c + 1]);
  const Segments segments = diagonal_segments(n, p);
  const FoldFit fit{X, start, segments, n, p, r0};
  for (std::int32_t r = from; r <= to; ++r)
    if (!add_count_press(fit, r, cv, budget)) {
      cv.best = -1;
      return cv;
    }
  cv.complete = true;
  return cv;
}

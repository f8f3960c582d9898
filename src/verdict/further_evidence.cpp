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

// Modified Gram-Schmidt on the r components of L; a component that
// vanishes stays zero.
void orthonormalise(std::vector<double>& L, std::int32_t p, std::int32_t r) {
  for (std::int32_t c = 0; c < r; ++c) {
    double* l = &L[static_cast<std::size_t>(c) * p];
    for (std::int32_t d = 0; d < c; ++d) {
      const double* k = &L[static_cast<std::size_t>(d) * p];
      double dot = 0;
      for (std::int32_t b = 0; b < p; ++b) dot += l[b] * k[b];
      for (std::int32_t b = 0; b < p; ++b) l[b] -= dot * k[b];
    }
    double norm = 0;
    for (std::int32_t b = 0; b < p; ++b) norm += l[b] * l[b];
    norm = std::sqrt(norm);
    for (std::int32_t b = 0; b < p; ++b) l[b] = norm > 0 ? l[b] / norm : 0;
  }
}

constexpr int kMostRounds = 300;
constexpr double kSettled = 1e-16;

// The elements of each segment, row by row.
using Segments = std::vector<std::vector<std::size_t>>;

Segments diagonal_segments(std::int32_t n, std::int32_t p) {
  Segments s(kFolds);
  for (std::int32_t a = 0; a < n; ++a)
    for (std::int32_t b = 0; b < p; ++b)
      s[static_cast<std::size_t>(((a - b) % kFolds + kFolds) % kFolds)].push_back(static_cast<std::size_t>(a) * p + b);
  return s;
}

struct FoldFit {
  const std::vector<double>& X;
  const std::vector<double>& start;  // p x r0 of the short side's vectors
  const Segments& segments;
  std::int32_t n, p, r0;
};

// Two doubles side by side: each lane's product and sum round as a lone
// double's would, so the fits' values keep their operations and their order.
typedef double Pair __attribute__((vector_size(16)));

Pair load_pair(const double* x) {
  Pair v;
  std::memcpy(&v, x, sizeof v);
  return v;
}

void store_pair(double* x, Pair v) { std::memcpy(x, &v, sizeof v); }

// The loadings by loading, K[b r + c] = L[c p + b], for the loops over c.
void loadings_by_loading(const std::vector<double>& L, std::vector<double>& K, std::int32_t p, std::int32_t r) {
  for (std::int32_t c = 0; c < r; ++c)
    for (std::int32_t b = 0; b < p; ++b) K[static_cast<std::size_t>(b) * r + c] = L[static_cast<std::size_t>(c) * p + b];
}

// The scores W = Y L^T (n x r) from K. Each W[a][c] sums its products over
// b in order, as a dot product would; eight such sums (four columns of two
// rows) advance side by side, enough to keep the adds' latency hidden.
void fit_scores(const std::vector<double>& Y, const std::vector<double>& K, std::vector<double>& W, std::int32_t n,
                std::int32_t p, std::int32_t r) {
  std::int32_t a = 0;
  for (; a + 2 <= n; a += 2) {
    const double* y0 = &Y[static_cast<std::size_t>(a) * p];
    const double* y1 = y0 + p;
    double* w0 = &W[static_cast<std::size_t>(a) * r];
    double* w1 = w0 + r;
    std::int32_t c = 0;
    for (; c + 4 <= r; c += 4) {
      Pair s01 = {0, 0}, s23 = {0, 0}, t01 = {0, 0}, t23 = {0, 0};
      for (std::int32_t b = 0; b < p; ++b) {
        const double* k = &K[static_cast<std::size_t>(b) * r + c];
        const Pair k01 = load_pair(k), k23 = load_pair(k + 2);
        const Pair yb = {y0[b], y0[b]}, zb = {y1[b], y1[b]};
        s01 += yb * k01;
        s23 += yb * k23;
        t01 += zb * k01;
        t23 += zb * k23;
      }
      store_pair(w0 + c, s01);
      store_pair(w0 + c + 2, s23);
      store_pair(w1 + c, t01);
      store_pair(w1 + c + 2, t23);
    }
    for (; c < r; ++c) {
      double s0 = 0, t0 = 0;
      for (std::int32_t b = 0; b < p; ++b) {
        const double k = K[static_cast<std::size_t>(b) * r + c];
        s0 += y0[b] * k;
        t0 += y1[b] * k;
      }
      w0[c] = s0;
      w1[c] = t0;
    }
  }
  for (; a < n; ++a) {
    const double* y = &Y[static_cast<std::size_t>(a) * p];
    double* w = &W[static_cast<std::size_t>(a) * r];
    std::int32_t c = 0;
    for (; c + 4 <= r; c += 4) {
      Pair s01 = {0, 0}, s23 = {0, 0};
      for (std::int32_t b = 0; b < p; ++b) {
        const double* k = &K[static_cast<std::size_t>(b) * r + c];
        const Pair yb = {y[b], y[b]};
        s01 += yb * load_pair(k);
        s23 += yb * load_pair(k + 2);
      }
      store_pair(w + c, s01);
      store_pair(w + c + 2, s23);
    }
    for (; c < r; ++c) {
      double s0 = 0;
      for (std::int32_t b = 0; b < p; ++b) s0 += y[b] * K[static_cast<std::size_t>(b) * r + c];
      w[c] = s0;
    }
  }
}

// The left-out elements take the model's values W L (L from K); returns false when
// they have settled (never in the first round).
bool refill_left_out(std::vector<double>& Y, const std::vector<double>& W, const std::vector<double>& K,
                     const std::vector<std::size_t>& left_out, std::int32_t p, std::int32_t r, bool first) {
  double change = 0, size = 0;
  for (const std::size_t e : left_out) {
    const double* w = &W[e / static_cast<std::size_t>(p) * r];
    const double* k = &K[e % static_cast<std::size_t>(p) * r];
    double z = 0;
    for (std::int32_t c = 0; c < r; ++c) z += w[c] * k[c];
    change += (z - Y[e]) * (z - Y[e]);
    size += z * z;
    Y[e] = z;
  }
  return first || !(change <= kSettled * size);
}

// The loadings L = W^T Y, orthonormalised; each sums over a in order. Two
// rows are taken at once: each loading adds row a's product, then row
// a + 1's, as row by row, with half the loads and stores of L.
void fit_loadings(const std::vector<double>& Y, const std::vector<double>& W, std::vector<double>& L, std::int32_t n,
                  std::int32_t p, std::int32_t r) {
  std::fill(L.begin(), L.end(), 0.0);
  std::int32_t a = 0;
  for (; a + 2 <= n; a += 2) {
    const double* y0 = &Y[static_cast<std::size_t>(a) * p];
    const double* y1 = y0 + p;
    for (std::int32_t c = 0; c < r; ++c) {
      const double v0 = W[static_cast<std::size_t>(a) * r + c], v1 = W[static_cast<std::size_t>(a + 1) * r + c];
      const Pair vv0 = {v0, v0}, vv1 = {v1, v1};
      double* l = &L[static_cast<std::size_t>(c) * p];
      std::int32_t b = 0;
      for (; b + 2 <= p; b += 2) store_pair(l + b, (load_pair(l + b) + load_pair(y0 + b) * vv0) + load_pair(y1 + b) * vv1);
      for (; b < p; ++b) l[b] = (l[b] + y0[b] * v0) + y1[b] * v1;
    }
  }
  for (; a < n; ++a) {
    const double* y = &Y[static_cast<std::size_t>(a) * p];
    for (std::int32_t c = 0; c < r; ++c) {
      const double w = W[static_cast<std::size_t>(a) * r + c];
      const Pair ww = {w, w};
      double* l = &L[static_cast<std::size_t>(c) * p];
      std::int32_t b = 0;
      for (; b + 2 <= p; b += 2) store_pair(l + b, load_pair(l + b) + load_pair(y + b) * ww);
      for (; b < p; ++b) l[b] += y[b] * w;
    }
  }
  orthonormalise(L, p, r);
}

// PRESS of r components for one segment: the fit's rounds alternate the
// scores, the left-out elements' values from the scores and loadings, and
// the loadings. False when the budget runs out.
bool fold_press(const FoldFit& f, std::int32_t fold, std::int32_t r, double& press, std::int64_t& work,
                std::int64_t budget) {
  const std::int32_t n = f.n, p = f.p;
  const std::vector<std::size_t>& left_out = f.segments[static_cast<std::size_t>(fold)];
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
    if (!refill_left_out(Y, W, K, left_out, p, r, round == 0)) break;
    fit_loadings(Y, W, L, n, p, r);
  }
  press = 0;
  for (const std::size_t e : left_out) {
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

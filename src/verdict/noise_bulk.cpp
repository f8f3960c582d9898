#include "verdict/noise_bulk.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

// The share of the Marchenko-Pastur law of ratio gamma = q / n' (0 < gamma
// <= 1) below x, in units of its mean: density sqrt((b - x)(x - a)) / (2 pi
// gamma x) on a..b = (1 -+ sqrt(gamma))^2 (V. A. Marchenko and L. A. Pastur,
// "Distribution of eigenvalues for some sets of random matrices",
// Mathematics of the USSR-Sbornik 1, 1967). With x = a + (b - a)(1 - cos t) / 2
// the integrand ((b - a) / 2)^2 sin^2 t / (2 pi gamma x) stays finite also at
// the hard edge a = 0 of square matrices, so Simpson's rule on t converges.
REAL marchenko_pastur_share_below(REAL x, REAL gamma) {
  const REAL root = std::sqrt(gamma);
  const REAL a = (1 - root) * (1 - root), b = (1 + root) * (1 + root);
  if (x <= a) return 0;
  if (x >= b) return 1;
  const REAL half = (b - a) / 2;
  const REAL end = std::acos(1 - (x - a) / half);
  constexpr int kSteps = 128;  // even
  const REAL h = end / kSteps;
  const auto f = [&](REAL t) {
    const REAL at = a + half * (1 - std::cos(t));
    const REAL sine = std::sin(t);
    return at > 0 ? half * half * sine * sine / (2 * std::numbers::pi_v<REAL> * gamma * at) : half / (std::numbers::pi_v<REAL> * gamma);
  };
  REAL sum = f(0) + f(end);
  for (int i = 1; i < kSteps; ++i) sum = sum + (i % 2 == 1 ? 4 : 2) * f(i * h);
  return std::min(REAL(1), sum * h / 3);
}

// The smallest values past k components against the Marchenko-Pastur law
// of noise of one level on the remaining (n - k) x q dimensions, its
// variance from their sum: the most values found at or below one of them
// beyond the count the law expects there. Components hidden among the
// remaining values inflate the variance and crowd the noise's own values
// near zero, also at the hard edge of square matrices where the smallest
// value's own law says little; uneven noise spreads values there too. The
// eigenvalues of noise repel one another, so their counts vary less than a
// Poisson count of the same mean; the limit takes that Poisson count's
// 3 standard deviations beyond 1 value: the smallest alone may stray below
// the law's lower edge by its own fluctuation, the next one above it
// seldom does. So two values far below the edge, where the law puts none,
// are too many: what the last two dimensions of a matrix of rank MIN - 2
// leave when the components before them pass for the noise.
LowTail low_tail_excess(const std::vector<REAL>& eigenvalues, std::int32_t n, std::int32_t k) {
  LowTail worst;
  const std::int32_t p = static_cast<std::int32_t>(eigenvalues.size()) - 1;
  const std::int32_t q = p - k;
  if (q < 4 || !(eigenvalues[k + 1] > 0)) return worst;
  const REAL unit = eigenvalues[k + 1];
  REAL sum = 0;
  for (std::int32_t j = k + 1; j <= p; ++j) sum = sum + eigenvalues[j] / unit;
  const REAL mean = sum / q;
  const REAL gamma = static_cast<REAL>(q) / static_cast<REAL>(n - k);
  for (std::int32_t found = 1; found <= q / 2; ++found) {
    const REAL expected = q * marchenko_pastur_share_below(eigenvalues[p + 1 - found] / unit / mean, gamma);
    const REAL beyond = found - expected - 3 * std::sqrt(expected);
    if (beyond > worst.found - worst.expected - 3 * std::sqrt(worst.expected)) worst = LowTail{found, expected};
  }
  return worst;
}

// The smallest of the q = p - k values past k components against the lower
// edge of noise of one level on the remaining (n - k) x q dimensions, its
// variance estimated from their sum as the residual test does (sum over the
// (n - k) q residual elements). For q < n - k the smallest eigenvalue of such
// noise, in units of the variance, lies near mu = (sqrt(n' - 1/2) - sqrt(q - 1/2))^2
// and scaled by s = (sqrt(n' - 1/2) - sqrt(q - 1/2)) (1/sqrt(q - 1/2) - 1/sqrt(n' - 1/2))^(1/3)
// follows a reflected TW1 law (Z. Ma, "Accuracy of the Tracy-Widom limits for
// the extreme eigenvalues in white Wishart matrices", Bernoulli 18, 2012).
// Components hidden among the remaining values inflate the variance and so
// leave the smallest far below that edge, where noise of one level never
// reaches; uneven noise spreads it below too. Returns (value - mu) / s, or 0
// where the edge does not apply (fewer than two values, or q >= n').
REAL lowest_value_statistic(const std::vector<REAL>& eigenvalues, std::int32_t n, std::int32_t k) {
  const std::int32_t p = static_cast<std::int32_t>(eigenvalues.size()) - 1;
  if (p - k < 2 || n - k <= p - k || !(eigenvalues[k + 1] > 0)) return 0;
  const REAL unit = eigenvalues[k + 1];
  REAL sum = 0;
  for (std::int32_t j = k + 1; j <= p; ++j) sum = sum + eigenvalues[j] / unit;
  const REAL samples = static_cast<REAL>(n - k), q = static_cast<REAL>(p - k);
  const REAL variance = sum / (samples * q);
  const REAL root_n = std::sqrt(samples - 0.5L), root_q = std::sqrt(q - 0.5L);
  const REAL gap = root_n - root_q;
  const REAL scale = gap * std::cbrt(1 / root_q - 1 / root_n);
  return (eigenvalues[p] / unit / variance - gap * gap) / scale;
}

// John's test of sphericity, U = q sum mu^2 / (sum mu)^2 - 1 over the q = p - k
// eigenvalues mu past k components, which stays valid when the dimension is
// of the order of the sample count: n' U - q tends to N(1, 4) (O. Ledoit and
// M. Wolf, "Some hypothesis tests for the covariance matrix when the
// dimension is large compared to the sample size", Annals of Statistics 30,
// 2002). The remaining noise is taken on n' = n - k samples. U does not depend
// on the noise level and, for Gaussian noise, not on the trace either, so its
// exact mean (q + 2)(q - 1) / (n' q + 2) follows from the Wishart moments
// E tr W = n' q, E (tr W)^2 = n' q (n' q + 2), E tr W^2 = n' q (n' + q + 1); the
// standard deviation is the limit's 2 / n'.
REAL spread_statistic(const std::vector<REAL>& eigenvalues, std::int32_t n, std::int32_t k) {
  const std::int32_t p = static_cast<std::int32_t>(eigenvalues.size()) - 1;
  const REAL q = static_cast<REAL>(p - k);
  const REAL samples = static_cast<REAL>(n - k);
  if (p - k < 2 || !(eigenvalues[k + 1] > 0)) return 0;
  // In units of the largest remaining value, where no square can overflow.
  const REAL unit = eigenvalues[k + 1];
  REAL sum = 0, squares = 0;
  for (std::int32_t j = k + 1; j <= p; ++j) {
    const REAL mu = eigenvalues[j] / unit;
    sum = sum + mu;
    squares = squares + mu * mu;
  }
  const REAL U = q * squares / (sum * sum) - 1;
  const REAL mean = (q + 2) * (q - 1) / (samples * q + 2);
  return (U - mean) * samples / 2;
}

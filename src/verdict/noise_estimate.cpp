#include "verdict/noise_estimate.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "verdict/combined_evidence.h"

// The point of the largest noise eigenvalue's law (largest_noise_law) at
// the quantile of TW1. Needs n >= 2.
REAL tracy_widom_point(std::int32_t n, std::int32_t q, REAL quantile) {
  const LargestNoiseLaw law = largest_noise_law(n, q);
  return law.centre + law.scale * quantile;
}

namespace {

// Which noise a component is measured against. Kritchman and Nadler's
// sequential test: the noise variance estimated under the c - 1 components
// before it, and the Tracy-Widom point of (n, p - c + 1) noise, which keeps
// all n samples and so lies high once many components are taken out. The
// upper end asks whether component c could be real: the variance estimated
// with c taken for a signal too, so that its own energy does not raise the
// noise it is measured against, and the point of the noise left on the
// (n - c + 1) x (p - c + 1) dimensions once the c - 1 before it are taken
// out of both sides.
enum class CountNull { sequential, could_be_real };

// Components c = 1, 2, ... in turn; the count ends at the first whose
// eigenvalue does not stand above the noise variance times the point.
std::int32_t count_components(const std::vector<REAL>& eigenvalues, std::int32_t n, std::int32_t p, REAL quantile,
                              CountNull null) {
  if (n < 2) return 0;
  const bool could_be_real = null == CountNull::could_be_real;
  std::int32_t k = 0;
  for (std::int32_t c = 1; c <= p; ++c) {
    const std::int32_t signals = could_be_real ? c : c - 1;
    if (signals >= p) break;  // nothing left to estimate the noise from
    const REAL variance = noise_variance(eigenvalues, n, signals);
    const std::int32_t samples = could_be_real ? n - c + 1 : n;  // >= 2, as c < p <= n
    if (!(eigenvalues[c] > variance * tracy_widom_point(samples, p - c + 1, quantile))) break;
    k = c;
  }
  return k;
}

}  // namespace

// The noise variance under k signals, from the eigenvalues L_j of the product
// matrix (n = the longer side, p = MIN): with l_j = L_j / n, the plain mean
// of the p - k smallest is biased low, as each signal eigenvalue l_j also
// holds noise beyond its population value rho_j. Kritchman and Nadler solve
//   sigma^2 = (sum over j > k of l_j + sum over j <= k of (l_j - rho_j)) / (p - k),
//   rho_j = (b + sqrt(b^2 - 4 l_j sigma^2)) / 2,  b = l_j + sigma^2 - sigma^2 (p - k) / n,
// by a short fixed-point iteration from the plain mean (S. Kritchman and B.
// Nadler, "Determining the number of components in a factor model from
// limited noisy data", Chemometrics and Intelligent Laboratory Systems 94,
// 2008). Below the detection limit b^2 < 4 l_j sigma^2; rho_j is then taken
// at b / 2, where the two branches meet. The equations are homogeneous, so
// they are solved in units of the largest eigenvalue, where no square can
// overflow, and the result is scaled back.
REAL noise_variance(const std::vector<REAL>& eigenvalues, std::int32_t n, std::int32_t k) {
  constexpr int kIterations = 50;
  const std::int32_t p = static_cast<std::int32_t>(eigenvalues.size()) - 1;
  const REAL unit = eigenvalues[1] > 0 ? eigenvalues[1] : REAL(1);
  const REAL scale = static_cast<REAL>(n);
  REAL rest = 0;
  for (std::int32_t j = k + 1; j <= p; ++j) rest = rest + eigenvalues[j] / unit / scale;
  const REAL left = static_cast<REAL>(p - k);
  const REAL gamma = left / scale;
  REAL variance = rest / left;
  for (int iteration = 0; iteration < kIterations; ++iteration) {
    REAL sum = rest;
    for (std::int32_t j = 1; j <= k; ++j) {
      const REAL l = eigenvalues[j] / unit / scale;
      const REAL b = l + variance - gamma * variance;
      const REAL discriminant = b * b - 4 * l * variance;
      const REAL rho = discriminant > 0 ? (b + std::sqrt(discriminant)) / 2 : b / 2;
      sum = sum + (l - rho);
    }
    const REAL next = std::max(sum / left, REAL(0));
    if (next == variance) break;
    variance = next;
  }
  return variance * unit;
}

// The lower end of the range is Kritchman and Nadler's count at the 99 %
// level. The upper end asks of each further component whether it could be
// real: whether it stands out at the 90 % level from the noise it would
// leave (CountNull::could_be_real). A range that leaves fewer than two
// dimensions or kFewestElementsForEstimate elements to estimate the noise
// from reaches up to the smaller dimension: the data cannot say more.
NoiseEstimate estimate_rank(const std::vector<REAL>& eigenvalues, std::int32_t N, std::int32_t M) {
  NoiseEstimate e;
  const std::int32_t n = std::max(N, M);
  const std::int32_t p = std::min(N, M);
  if (p < 1 || eigenvalues[1] == 0) return e;  // a zero matrix: rank 0, no noise
  e.low = count_components(eigenvalues, n, p, kTracyWidom99, CountNull::sequential);
  e.possible = std::max(e.low, count_components(eigenvalues, n, p, kTracyWidom90, CountNull::could_be_real));
  e.high = e.possible;
  e.sigma = e.low < p ? std::sqrt(noise_variance(eigenvalues, n, e.low)) : 0;
  e.elements_left = static_cast<std::int64_t>(N - e.possible) * (M - e.possible);
  if (e.elements_left < kFewestElementsForEstimate || p - e.possible < 2) {
    e.too_small = true;
    e.high = p;
    return e;
  }
  // The count assumes that what lies past it is noise of one level; signals
  // hidden in it (an estimate inflated by many components) or uneven noise
  // spread the values otherwise, and the data then bound the rank no better.
  e.spread = spread_statistic(eigenvalues, n, e.possible);
  e.lowest = lowest_value_statistic(eigenvalues, n, e.possible);
  e.low_tail = low_tail_excess(eigenvalues, n, e.possible);
  if (std::fabs(e.spread) > kSpreadLimit) {
    e.misfit = NoiseMisfit::spread;
  } else if (e.lowest < -kTracyWidom99) {
    e.misfit = NoiseMisfit::lowest;
  } else if (e.low_tail.excess()) {
    e.misfit = NoiseMisfit::low_tail;
  }
  if (e.misfit != NoiseMisfit::none) {
    e.not_noise = true;
    e.high = p;
  }
  return e;
}

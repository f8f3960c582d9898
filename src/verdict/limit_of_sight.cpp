#include "verdict/limit_of_sight.h"

#include <algorithm>
#include <cmath>

#include "verdict/combined_evidence.h"

REAL signal_seen_at(REAL t, REAL sigma, std::int32_t N, std::int32_t M) {
  // In units of sigma, where no square can overflow for any data in range.
  const REAL n = static_cast<REAL>(N), m = static_cast<REAL>(M);
  const REAL ratio = t / sigma;
  const REAL b = ratio * ratio - (n + m);
  const REAL discriminant = b * b - 4 * n * m;
  if (!(b > 0) || !(discriminant > 0)) return sigma * std::sqrt(std::sqrt(n * m));
  return sigma * std::sqrt((b + std::sqrt(discriminant)) / 2);
}

LimitOfSight limit_of_sight(REAL sigma, std::int32_t N, std::int32_t M, REAL quantile) {
  LimitOfSight limit;
  if (!(sigma > 0) || std::min(N, M) < 2) return limit;
  const LargestNoiseLaw law = largest_noise_law(std::max(N, M), std::min(N, M));
  limit.unseen = sigma * std::sqrt(std::sqrt(static_cast<REAL>(N) * static_cast<REAL>(M)));
  limit.clear = signal_seen_at(sigma * std::sqrt(law.centre + law.scale * quantile), sigma, N, M);
  return limit;
}

#include "verdict/combined_evidence.h"

#include <algorithm>
#include <cmath>

#include "numeric/gamma.h"

LargestNoiseLaw largest_noise_law(std::int32_t n, std::int32_t q) {
  const REAL root_n = std::sqrt(static_cast<REAL>(n - 1));
  const REAL root_q = std::sqrt(static_cast<REAL>(q));
  const REAL a = root_n + root_q;
  return {a * a, a * std::cbrt(1 / root_n + 1 / root_q)};
}

REAL tracy_widom_tail(REAL x, Pause& pause) {
  constexpr REAL kShape = 46.446L, kScale = 0.186054L, kShift = 9.84801L;
  if (std::isnan(x)) return 1;
  if (!(x > -kShift)) return 1;
  if (std::isinf(x)) return 0;
  return GAMMQ(kShape, (x + kShift) / kScale, pause);
}

REAL largest_noise_tail(REAL s, REAL sigma, std::int32_t n, std::int32_t q, Pause& pause) {
  if (!(sigma > 0)) return s > 0 ? 0 : 1;
  const LargestNoiseLaw law = largest_noise_law(n, q);
  const REAL ratio = s / sigma;
  return tracy_widom_tail((ratio * ratio - law.centre) / law.scale, pause);
}

REAL fisher_combination(REAL p1, REAL p2) {
  const REAL product = p1 * p2;
  if (!(product > 0)) return 0;
  return std::min(REAL(1), product * (1 - std::log(product)));
}

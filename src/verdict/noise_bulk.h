#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "common/real.h"

// Whether the eigenvalues past a count look like noise of one level: their
// spread, their smallest value and their lowest tail against what such
// noise gives on the dimensions that remain.

// John's sphericity statistic of the eigenvalues past k components, standardised
// for noise of one level on the remaining (n - k) x (p - k) dimensions; beyond
// kSpreadLimit either way the remaining values do not look like such noise.
inline constexpr REAL kSpreadLimit = 3.29L;  // two-sided 99.9 % point of N(0, 1)
REAL spread_statistic(const std::vector<REAL>& eigenvalues, std::int32_t n, std::int32_t k);
// The smallest eigenvalue past k components against the lower edge of such
// noise, in units of that edge's Tracy-Widom scale; below -kTracyWidom99 the
// remaining values do not look like noise of one level.
REAL lowest_value_statistic(const std::vector<REAL>& eigenvalues, std::int32_t n, std::int32_t k);
// The Marchenko-Pastur law of ratio gamma (0 < gamma <= 1): its share below
// x, x in units of its mean.
REAL marchenko_pastur_share_below(REAL x, REAL gamma);
// The most of the smallest values past k components found at or below one of
// them, against the count that noise of one level puts there; too many
// when found > expected + 1 + 3 sqrt(expected).
struct LowTail {
  std::int32_t found = 0;
  REAL expected = 0;
  bool excess() const { return found > expected + 1 + 3 * std::sqrt(expected); }
};
LowTail low_tail_excess(const std::vector<REAL>& eigenvalues, std::int32_t n, std::int32_t k);
// Which look at the values past the count says they are not noise of one level.
enum class NoiseMisfit { none, spread, lowest, low_tail };


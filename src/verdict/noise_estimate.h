#pragma once

#include <cstdint>
#include <vector>

#include "common/real.h"
#include "verdict/noise_bulk.h"

// Without the error: how many components stand out from noise of one
// level, and that level, estimated from the eigenvalues of the product
// matrix.

// Upper quantiles of the Tracy-Widom law TW1.
inline constexpr REAL kTracyWidom90 = 0.4501L;
inline constexpr REAL kTracyWidom95 = 0.9793L;
inline constexpr REAL kTracyWidom99 = 2.0234L;
// Residual elements below which an estimated noise level is too unsure for a
// firm verdict: the variance estimated from D elements has a relative
// standard error of about sqrt(2 / D), 26 % at 30.
inline constexpr std::int64_t kFewestElementsForEstimate = 30;

// The point of the largest noise eigenvalue's law of an n x q matrix of
// unit noise (n >= q) at a quantile of TW1. Needs n >= 2.
REAL tracy_widom_point(std::int32_t n, std::int32_t q, REAL quantile);

// No error: the rank range and the noise standard deviation estimated from
// the eigenvalues of the product matrix (decreasing, [1..MIN]).
struct NoiseEstimate {
  std::int32_t low = 0;       // components at the 99 % level
  std::int32_t possible = 0;  // components that may be real (90 % level)
  std::int32_t high = 0;      // possible, or MIN when too_small
  REAL sigma = 0;             // the estimate under `low` components
  bool too_small = false;
  bool not_noise = false;  // the values past `possible` do not look like noise of one level
  REAL spread = 0, lowest = 0;
  LowTail low_tail;
  NoiseMisfit misfit = NoiseMisfit::none;
  std::int64_t elements_left = 0;
};
NoiseEstimate estimate_rank(const std::vector<REAL>& eigenvalues, std::int32_t N, std::int32_t M);
// Kritchman and Nadler's noise variance under k signals (exposed for tests).
REAL noise_variance(const std::vector<REAL>& eigenvalues, std::int32_t n, std::int32_t k);


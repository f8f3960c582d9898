#pragma once

#include <cstdint>

#include "common/real.h"

class Pause;

// The evidence of the two tests of the rank verdict with the error, taken
// together. The noise edge looks at the next singular value, the residual
// test at everything the components leave; each alone errs now and then
// (the residual test, by its own level, in one matrix of twenty where noise
// is all that is left). Taken as two probabilities they combine into one.

// Johnstone's centring and scaling of the largest eigenvalue of the product
// matrix of an n x q matrix (n >= q >= 1, n >= 2) of unit-variance Gaussian
// noise: the eigenvalue is close in law to centre + scale TW1 (I. M.
// Johnstone, "On the distribution of the largest eigenvalue in principal
// components analysis", Annals of Statistics 29, 2001).
struct LargestNoiseLaw {
  REAL centre, scale;
};
LargestNoiseLaw largest_noise_law(std::int32_t n, std::int32_t q);

// The upper tail P(TW1 > x) of the Tracy-Widom law of real matrices, by
// Chiani's shifted gamma law, TW1 ~ Gamma(46.446, 0.186054) - 9.84801: at the
// law's 90, 95 and 99 % points its tail is 0.1004, 0.0500 and 0.0098 (M.
// Chiani, "Distribution of the largest eigenvalue for real Wishart and
// Gaussian random matrices and a simple approximation for the Tracy-Widom
// distribution", Journal of Multivariate Analysis 129, 2014).
REAL tracy_widom_tail(REAL x, Pause& pause);

// How often noise of deviation sigma alone puts the largest singular value
// of an n x q matrix above s.
REAL largest_noise_tail(REAL s, REAL sigma, std::int32_t n, std::int32_t q, Pause& pause);

// Fisher's combination of two independent probabilities (R. A. Fisher,
// "Statistical methods for research workers", 1932, section 21.1): under
// both nulls -2 ln(p1 p2) is chi-square with 4 degrees of freedom, whose
// tail beyond it is p1 p2 (1 - ln(p1 p2)).
REAL fisher_combination(REAL p1, REAL p2);

// The level below which the two together show another component.
inline constexpr REAL kCombinedLevel = 0.01L;

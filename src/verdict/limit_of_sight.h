#pragma once

#include <cstdint>

#include "common/real.h"

// How strong a component must be to be seen above noise of one level: the
// phase transition of low-rank signals in rectangular noise. For a signal
// s u v^T (s its singular value without the noise) plus noise of deviation
// sigma on an N x M matrix, as N and M grow in proportion, the data's
// largest singular value leaves the noise only when s > sigma (N M)^(1/4);
// there it lies near sqrt((s^2 + sigma^2 N)(s^2 + sigma^2 M)) / s, and below
// it at the noise edge sigma (sqrt(N) + sqrt(M)), where nothing tells it
// from the noise (F. Benaych-Georges and R. R. Nadakuditi, "The singular
// values and vectors of low rank perturbations of large rectangular random
// matrices", Journal of Multivariate Analysis 111, 2012: the rectangular
// form of the transition of J. Baik, G. Ben Arous and S. Peche, Annals of
// Probability 33, 2005). Each further component of a low rank has the same
// limit.
struct LimitOfSight {
  REAL unseen = 0;  // below this s a component does not show at all
  REAL clear = 0;   // the s whose singular value lies at the given point of the noise
};

// For the largest noise eigenvalue's point `quantile` of the Tracy-Widom law
// (Johnstone's centring and scaling of the whole N x M matrix); 0 and 0 for
// sigma = 0 or a matrix of one row or column.
LimitOfSight limit_of_sight(REAL sigma, std::int32_t N, std::int32_t M, REAL quantile);

// The s whose singular value lies near t (the inverse of the location
// above): the larger root of s^4 - (t^2 - sigma^2 (N + M)) s^2 + sigma^4 N M,
// and the limit sigma (N M)^(1/4) itself for t at or below the noise edge.
REAL signal_seen_at(REAL t, REAL sigma, std::int32_t N, std::int32_t M);

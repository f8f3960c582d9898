#pragma once

#include <cstdint>
#include <vector>

#include "common/real.h"
#include "verdict/rank_verdict.h"

// With the error given: the counts of the two tests (components above the
// noise edge, the first residual test that fits) and how they combine.

// Error given: test (a), the number of leading components each above the
// edge of the noise left after the components before it: component k
// against sigma (sqrt(N - k + 1) + sqrt(M - k + 1)), the edge of the
// (N - k + 1) x (M - k + 1) residual, as Faber and Kowalski judge it
// (N. M. Faber and B. R. Kowalski, "Propagation of measurement errors for
// the validation of predictions obtained by principal component regression
// and partial least squares", Journal of Chemometrics 11, 1997); and the
// leading components whose squares stand above a point (the upper quantile
// of TW1) of the largest eigenvalue's law of that residual's noise of
// standard deviation sigma. With unequal errors (`of_residual` false) the
// noise left after the components is not that of one level on fewer
// dimensions: the noisiest elements stay in it. Every component then meets
// the whole matrix's edge and the largest noise of n x (p - k + 1).
std::int32_t count_above_edge(const std::vector<REAL>& singular, REAL sigma, std::int32_t N, std::int32_t M,
                              bool of_residual = true);
std::int32_t count_above_noise(const std::vector<REAL>& singular, REAL sigma, std::int32_t N, std::int32_t M,
                               REAL quantile, bool of_residual = true);
// Test (b): the smallest r with Q[r] >= 0.05, or -1 when Q holds none.
std::int32_t first_fitting(const std::vector<REAL>& Q);
// Combines the three counts (Q must reach the first r that fits and the
// count above the edge). Where the two tests differ, each component between
// them is judged by both together: the probability that noise alone puts
// its singular value where it lies (v.tail) and the residual test before
// it, combined by Fisher's rule; below kCombinedLevel they show it.
void decide_with_error(RankVerdict& v);


// The evidence for component r + 1 after r: how often noise alone puts its
// singular value where it lies, and the residual test after r, combined by
// Fisher's rule (1 past the last component).
REAL evidence_after(const RankVerdict& v, std::int32_t r);

#pragma once

#include <cstdint>
#include <vector>

#include "common/real.h"
#include "verdict/rank_verdict.h"

// With the error given: the counts of the two tests (components above the
// noise edge, the first residual test that fits) and how they combine.

// Error given: test (a), the number of leading singular values above the
// edge; and the leading components whose squares stand above a point (the
// upper quantile of TW1) of the largest noise eigenvalue's law for noise of
// standard deviation sigma.
std::int32_t count_above_edge(const std::vector<REAL>& singular, REAL edge);
std::int32_t count_above_noise(const std::vector<REAL>& singular, REAL sigma, std::int32_t N, std::int32_t M,
                               REAL quantile);
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

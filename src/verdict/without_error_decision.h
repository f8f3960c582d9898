#pragma once

#include <vector>

#include "common/matrix.h"
#include "common/real.h"
#include "verdict/noise_estimate.h"
#include "verdict/rank_verdict.h"

class Pause;
class Workers;

// How the verdict without the error narrows the range of its estimate
// (noise_estimate.h), each step where the one before leaves it open. Each
// step notes why it decided in the verdict's cases, for its explanation.

// The random-sign draws: the lower end where the values past the estimate's
// count are not noise of one level or too few, or where the count's last
// component does not stand above the draws.
void judge_by_signflips(RankVerdict& v, const NoiseEstimate& e, const RankSample& x, const MATRIX& T, Pause& pause,
                        Workers& workers);
// The F-test of Faber and Kowalski with the noise estimated, Malinowski's
// indicator function and the element-wise cross-validation of the counts in
// the range.
void weigh_further_evidence(RankVerdict& v, const NoiseEstimate& e, const RankSample& x,
                            const std::vector<REAL>& eigenvalues, const MATRIX& T);
// The data scaled by row and column to noise of one level (even_noise.h).
void weigh_evened_noise(RankVerdict& v, const RankSample& x, const MATRIX& T, Pause& pause, Workers& workers);

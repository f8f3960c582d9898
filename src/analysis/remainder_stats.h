#pragma once

#include <cstdint>

struct AnalysisRun;

// Mean, standard deviation, normalised skewness and kurtosis of the
// remainder rows I..N, columns I..M of A (signed values into AR[1..4][I],
// absolute values into AR[5..8][I]). A one-element remainder gives -1 in all
// eight; a standard deviation of exactly 0 gives -1 for that half's skewness
// and kurtosis.
void remainder_statistics(AnalysisRun& s, std::int32_t I);

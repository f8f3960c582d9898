#pragma once

#include <cstdint>
#include <vector>

#include "common/matrix.h"
#include "common/real.h"
#include "verdict/further_evidence.h"
#include "verdict/noise_estimate.h"
#include "verdict/signflip.h"

class Pause;
class Workers;

// Without the error, where the noise differs in level from row to row or
// from column to column: the data scaled by row and by column so that the
// noise becomes of one level, and judged by the tests of such noise. A
// scaling of rows and columns keeps the rank.
//
// Biwhitening (B. Landa, T. T. C. K. Zhang and Y. Kluger, "Biwhitening
// reveals the rank of a count matrix", SIAM Journal on Mathematics of Data
// Science 4, 2022): with x_i and y_j found by Sinkhorn's alternate scaling
// so that the noise variances x_i V_ij y_j have the mean 1 in every row and
// every column, the scaled noise's spectrum follows the Marchenko-Pastur law
// of noise of one level. Here the variances are not known: they are taken
// from the residual R after k components, each R_ij^2 divided by
// ((1 - h_i)(1 - g_j))^2, h_i and g_j the leverages of row i and column j.
// A fit takes out of each element the share (1 - h_i)(1 - g_j) of its
// variance on average; the square over-corrects where the fit took up noise
// as components (the jackknife's correction, as in signflip.h), so that a
// count which fits noisy rows does not lower their variance and so confirm
// itself. The count k is the fixed point of k -> the 99 % count of the data
// scaled from the residual after k.

// Bartlett's test of equal variances (M. S. Bartlett, "Properties of
// sufficiency and statistical tests", Proceedings of the Royal Society A
// 160, 1937) of the residual after k components, row by row and column by
// column: row i's sum of squares S_i with (1 - h_i)(M - k) degrees of
// freedom, T = D ln(sum S / D) - sum d_i ln(S_i / d_i), D = sum d_i, over
// C = 1 + (sum 1 / d_i - 1 / D) / (3 (n - 1)), chi-square with n - 1
// degrees of freedom for n rows. Rows or columns with at most half a degree
// of freedom, or with no residual, say nothing and are left out.
struct LevelsTest {
  REAL rows = 1, columns = 1;  // P of equal levels
  REAL least() const { return rows < columns ? rows : columns; }
};
LevelsTest residual_levels(const FlipData& d, std::int32_t k, Pause& pause, Workers& workers);

// The scales x_i, y_j (from index 1) of the noise left after k components,
// and the data scaled by their square roots, sqrt(x_i) A_ij sqrt(y_j).
struct EvenedData {
  std::vector<REAL> rows, columns;
  MATRIX scaled;
  std::int32_t rounds = 0;  // Sinkhorn's rounds
};
inline constexpr int kMostSinkhornRounds = 200;
EvenedData even_out(const FlipData& d, std::int32_t k, Workers& workers);

// The fixed point from `from`: the scaled data's eigenvalues, their
// estimate and F-test at it. Each count's scaling is paid from the budget
// before it is made (counted, not timed); none is found where the counts
// leave 1 .. MIN - 2, return to one already tried, or outrun the budget.
inline constexpr std::int32_t kMostEvenedCounts = 12;
inline constexpr std::int64_t kEvenedNoiseBudget = std::int64_t(1) << 28;
struct EvenedCount {
  bool found = false;
  bool complete = true;  // within the budget
  std::int32_t count = 0;
  std::vector<std::int32_t> tried;  // the counts whose residual scaled the data, in turn
  std::vector<REAL> eigenvalues;    // of the scaled data at the fixed point, [1..MIN]
  NoiseEstimate estimate;
  FaberKowalski faber_kowalski;
};
// Multiply-adds of one count's scaling and decomposition, at most.
std::int64_t evened_count_work(std::int32_t N, std::int32_t M, std::int32_t k);
EvenedCount evened_count(const FlipData& d, std::int32_t from, std::int64_t budget, Pause& pause, Workers& workers);

// Whether the scaled data's tests settle the fixed point: the values past it
// look like noise of one level and no further component stands out at the
// 90 % level; or the F-test with the noise estimated names it too, where the
// 90 % level names more, and where the values past it are not noise of one
// level it clears it at 0.1 % and puts the next within the noise in one case
// of five or more.
bool evened_count_settles(const EvenedCount& c, std::int32_t N, std::int32_t M);

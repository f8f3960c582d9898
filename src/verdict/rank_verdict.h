#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/data_table.h"
#include "common/element_errors.h"
#include "common/matrix.h"
#include "common/real.h"
#include "analysis/eigen_analysis.h"
#include "analysis/noise_edge.h"
#include "verdict/even_noise.h"
#include "verdict/further_evidence.h"
#include "verdict/limit_of_sight.h"
#include "verdict/noise_estimate.h"
#include "verdict/signflip.h"
#include "verdict/weighted_fit.h"

class Pause;
class Workers;

// The rank verdict (",RANK", key V): one answer, a rank or a range of ranks,
// with the evidence behind it, from the singular values of the data matrix
// and the residual tests of the data rebuilt from the leading components.

// What the verdict judges: the matrix the run analyses (after the selections
// and the reference row or column), and the error the user gave. The
// elimination reduces that matrix in place, so it is copied before; the
// eigenvalue mode leaves it as it is, and the verdict reads the run's own.
struct RankSample {
  MATRIX copy;                    // rows 1..N, columns 1..M, when taken before an elimination
  const MATRIX* shared = nullptr; // otherwise the run's matrix
  std::int32_t N = 0, M = 0;
  REAL ER = 0, ERPR = 0;  // absolute error, relative error as a fraction
  // Errors given element by element in the data's order (the table's), in
  // place of ER (ERPR).
  const MATRIX* absolute = nullptr;
  const MATRIX* relative = nullptr;
  // Multiply-adds of the fits weighted by unequal errors at most; the
  // residual tests beyond are of the plain components.
  std::int64_t weighted_fit_budget = kWeightedFitBudget;
  // Multiply-adds of the random-sign draws at most (signflip.h).
  std::int64_t sign_draw_budget = kSignflipBudget;
  // Multiply-adds of the cross-validation at most (further_evidence.h).
  std::int64_t cross_validation_budget = kCrossValidationBudget;
  // Multiply-adds of the data scaled to noise of one level at most (even_noise.h).
  std::int64_t evened_noise_budget = kEvenedNoiseBudget;
  const MATRIX& A() const { return shared != nullptr ? *shared : copy; }
  ElementErrors errors() const { return ElementErrors{ER, ERPR, absolute, relative}; }
};

// The matrix the verdict judges, with the error the user gave: shared with
// an analysis that leaves it unchanged (the eigenvalue mode), else copied
// before an elimination reduces it.
RankSample take_rank_sample(const DataTable& d, bool unchanged, const ElementErrors& errors);
// The same with one error for every element.
inline RankSample take_rank_sample(const DataTable& d, bool unchanged, REAL ER, REAL ERPR) {
  return take_rank_sample(d, unchanged, ElementErrors{ER, ERPR});
}

// Confidence levels. With the error given, the residual test fits at
// Q >= 0.05; a component below the noise edge may still be real when it
// stands above the 95 % point of the largest noise component. Without the
// error, a component counts when it stands out from the estimated noise at
// the 99 % point of that law, and may count at the 90 % point.
inline constexpr REAL kResidualFitQ = 0.05L;
// Why a verdict says what it says; the text lines come from these.
enum class VerdictCase {
  zero_matrix,
  no_matrix,         // the reference row or column took the last one
  agreement,         // error given: both tests agree
  disagreement,      // error given: the noise edge and the residual test differ
  near_noise,        // a component below the edge, yet above nearly all noise
  within_noise,      // a component above the edge, yet within the noise's reach
  estimated,         // no error: both confidence levels agree
  estimated_levels,  // no error: the two levels differ
  too_small,         // no error: too few elements left to estimate the noise
  not_noise,         // no error: the values past the range do not spread as noise of one level
  // The two tests with the error taken together (combined_evidence.h):
  misfit_alone,      // the residuals do not fit, but with the next value they show no further component
  edge_alone,        // a component above the edge that the two together do not show
  shown_together,    // a component the two together show, though the residuals fit before it
  // Without the error, random-sign draws (signflip.h):
  signflip_lower_end,   // the lower end from them, as the values past the count are not noise of one level
  signflip_doubt,       // the count's last component does not stand above them
  signflip_too_costly,  // the check of the count would take too long
  // Without the error, the further counts inside the range (further_evidence.h):
  evidence_decides,     // the F-test and the cross-validation name the same count
  evidence_differs,     // they name different counts: the range between them
  evidence_at_lower_end,  // they name the lower end of a range from the two levels: it stays
  evidence_above_uneven,  // they name a count above the lower end of noise not of one level: the upper end
  evidence_differs_uneven,  // they differ above the lower end of noise not of one level: the larger, the upper end
  fewer_by_cross_validation,  // the F-test names more without clearing them at 0.1 %: the cross-validation's count
  hedge_shown,          // the F-test shows the component that stood out at the 90 % level only
  hedge_within_noise,   // the F-test names the lower end, and the next component lies within the noise
  evidence_agrees,      // the F-test and Malinowski's indicator function name the same count
  clear_then_noise,     // the F-test clears its count, and the next component lies within the noise
  cross_validation_too_costly,  // the cross-validation would take too long
  clear_without_cross_validation,  // it would, and the F-test clears its count with the next within the noise
  too_few_to_cross_validate,    // no two counts of the range can be fitted to the elements a segment keeps
  cannot_tell,          // the range still spans every count
  // Without the error, the data scaled by row and column to noise of one level (even_noise.h):
  evened_noise,         // the residuals' levels differ, and the scaled data settle the count
};

struct RankVerdict {
  std::int32_t low = 0, high = 0;  // the rank lies in low..high; confident when equal
  std::int32_t N = 0, M = 0;
  bool error_given = false;
  bool equal_errors = true;  // every element carries the same error
  REAL sigma = 0;            // the given errors' root mean square, or the estimate
  REAL edge = 0;             // the noise edge
  std::vector<REAL> singular;  // singular values, [1..MIN], decreasing; [0] unused
  std::vector<REAL> Q;         // Q[r]: residual test after r components, r = 0..
  // Unequal errors: Q[1] .. Q[weighted_to - 1] are of fits weighted by the
  // errors (0: none are).
  std::int32_t weighted_to = 0;
  // The evidence: components above the noise edge, the first r whose
  // residuals fit, the components that may be real (above the 95 % point of
  // the noise), those clear of it (above the 99 % point); for an estimate the
  // counts at the 99 % and the 90 % level.
  std::int32_t above_edge = 0, residual_fit = 0, possible = 0, clear = 0;
  std::vector<VerdictCase> cases;
  // Without the error: the estimate the range comes from, with the checks of
  // the values past its count.
  NoiseEstimate estimate;
  // With unequal errors: the noise edge drawn with the elements' errors, or
  // (too costly) their bound.
  bool edge_drawn = false;
  // With the error: tail[c], how often noise alone puts its largest
  // singular value above singular value c ([1..MIN]; [0] unused; missing
  // ones count as 1), and the count the two tests together show.
  std::vector<REAL> tail;
  std::int32_t shown = 0;
  // Without the error: the components the random-sign draws confirmed, and
  // whether their count ran to its end within the budget.
  SignflipCount flips;
  // Without the error, where the range is not one count: the F-test of
  // Faber and Kowalski with the noise estimated and the element-wise
  // cross-validation over the counts of the range.
  bool further = false;
  FaberKowalski faber_kowalski;
  std::int32_t malinowski = 0;  // the count of least indicator function
  CrossValidation cross_validation;
  // Without the error, where the residuals after the count `evened_from`
  // differ in level between rows or columns: their test, and the count of
  // the data scaled to noise of one level.
  std::int32_t evened_from = 0;
  bool evened_from_range = false;  // the count was the lower end of a range
  LevelsTest levels;
  REAL levels_limit = 0;           // the P below which they differ
  EvenedCount evened;
  // Below `unseen` (the signal's singular value without the noise) no
  // component shows at this size; 0 when not stated (the noise not of one level).
  LimitOfSight limit;
  // The same for a component past the first `limit_after` (the verdict's
  // lowest rank), against the noise they leave, (N - r) x (M - r); 0 when
  // not stated (no component counted, or fewer than two rows or columns left).
  std::int32_t limit_after = 0;
  LimitOfSight residual_limit;
};

// Singular values, residual tests and the decision, in REAL with the
// program's routines (the workers share their loops out, with the results of
// one thread); overflow stops the run with status 67.
// `variances`, when given, are the element variances of the sample's own
// matrix with its error, as the analysis formed them; otherwise the verdict
// forms them itself.
// What one pass over a matrix too large to hold gives the verdict: the
// eigenvalues of its product matrix, the summary of its element variances
// and, after r = 0, 1, ... components, the chi-square sum with the given
// errors and the sum of the squared residuals (for the Q column of an
// estimated sigma).
struct RankSums {
  std::int32_t N = 0, M = 0;
  REAL ER = 0, ERPR = 0;
  bool errors_by_element = false;  // the blocks' errors came element by element
  bool errors_given() const { return errors_known(ER, ERPR) || errors_by_element; }
  std::vector<REAL> eigenvalues;  // [1..min(N, M)], decreasing; [0] unused
  NoiseEdge variances;            // with the error
  std::vector<ResidualTest> tests;  // [r], r = 0..
  std::vector<REAL> squares;        // [r]
};

// The verdict from such sums. What needs the data themselves is left out
// and said so in the block: the random-sign draws (the noise edge of unequal
// errors is their bound, the count without the error is not checked), and
// the fits weighted by unequal errors (the residual tests are of the plain
// components). Without the error the Q column divides the sum of squares by
// the estimated variance, where a run of the program divides each square.
RankVerdict judge_rank_from_sums(const RankSums& sums, Pause& pause);

// Singular value k in units of the noise edge (0 without an edge).
inline REAL noise_edges(const RankVerdict& v, std::int32_t k) { return v.edge > 0 ? v.singular[k] / v.edge : 0; }

// The edge of unit noise left after k - 1 components of an N x M matrix,
// the (N - k + 1) x (M - k + 1) residual's: sqrt(N - k + 1) + sqrt(M - k + 1).
REAL residual_edge_per_sigma(std::int32_t N, std::int32_t M, std::int32_t k);
// The noise edge component k is judged against: that of the noise left
// after the k - 1 before it, at the level of the verdict's edge.
REAL residual_edge(const RankVerdict& v, std::int32_t k);

RankVerdict judge_rank(const RankSample& sample, Pause& pause, Workers& workers, const MATRIX* variances = nullptr);


#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "analysis/limit_of_sight.h"
#include "analysis/signflip.h"
#include "analysis/noise_edge.h"
#include "analysis/weighted_fit.h"
#include "common/matrix.h"
#include "common/real.h"

class Pause;
class Workers;
class TextWriter;
struct RunState;

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
  // Multiply-adds of the fits weighted by unequal errors at most; the
  // residual tests beyond are of the plain components.
  std::int64_t weighted_fit_budget = kWeightedFitBudget;
  // Multiply-adds of the random-sign draws at most (signflip.h).
  std::int64_t sign_draw_budget = kSignflipBudget;
  const MATRIX& A() const { return shared != nullptr ? *shared : copy; }
};

RankSample take_rank_sample(const RunState& s, REAL ER, REAL ERPR);

// Confidence levels. With the error given, the residual test fits at
// Q >= 0.05; a component below the noise edge may still be real when it
// stands above the 95 % point of the largest noise component. Without the
// error, a component counts when it stands out from the estimated noise at
// the 99 % point of that law, and may count at the 90 % point.
inline constexpr REAL kResidualFitQ = 0.05L;
// Upper quantiles of the Tracy-Widom law TW1.
inline constexpr REAL kTracyWidom90 = 0.4501L;
inline constexpr REAL kTracyWidom95 = 0.9793L;
inline constexpr REAL kTracyWidom99 = 2.0234L;
// Residual elements below which an estimated noise level is too unsure for a
// firm verdict: the variance estimated from D elements has a relative
// standard error of about sqrt(2 / D), 26 % at 30.
inline constexpr std::int64_t kFewestElementsForEstimate = 30;

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
};

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
  std::int64_t elements_left = 0;  // too_small: residual elements beyond high
  // Without the error: the spread statistic of the values past the 90 % count
  // (0 when too few are left), and whether it says they are not noise of one level.
  REAL spread = 0;
  REAL lowest = 0;  // the lowest-value statistic past the 90 % count
  LowTail low_tail;
  NoiseMisfit misfit = NoiseMisfit::none;
  bool not_noise = false;
  // ---- second round: random-sign draws, the combined tests, the limit of sight
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
  // Below `unseen` (the signal's singular value without the noise) no
  // component shows at this size; 0 when not stated (the noise not of one level).
  LimitOfSight limit;
};

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

// Singular values, residual tests and the decision, in REAL with the
// program's routines (the workers share their loops out, with the results of
// one thread); overflow stops the run with status 67.
// `variances`, when given, are the element variances of the sample's own
// matrix with its error, as the analysis formed them; otherwise the verdict
// forms them itself.
RankVerdict judge_rank(const RankSample& sample, Pause& pause, Workers& workers, const MATRIX* variances = nullptr);

// The block: "Rank verdict", "Rank: r" or "Rank: r1 to r2 (uncertain)", the
// component lines, sigma, the noise edge and the reasons. Plain ASCII.
void write_rank_verdict(TextWriter& out, const RankVerdict& v);

// How the verdict's noise edge was found, and its formula in the words of
// the block, for every output that states it.
NoiseEdgeKind noise_edge_kind(const RankVerdict& v);
std::string verdict_noise_edge_formula(const RankVerdict& v);

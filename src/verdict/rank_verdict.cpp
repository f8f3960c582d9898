#include "verdict/rank_verdict.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "analysis/eigen_analysis.h"
#include "analysis/noise_edge.h"
#include "analysis/qor.h"
#include "common/run_error.h"
#include "common/analysis_workspace.h"
#include "common/workers.h"
#include "numeric/eigen.h"
#include "numeric/gamma.h"
#include "verdict/combined_evidence.h"
#include "verdict/verdict_step.h"
#include "verdict/without_error_decision.h"
#include "verdict/weighted_fit.h"
#include "verdict/with_error_decision.h"
#include "verdict/noise_estimate.h"

namespace {

// The residual test's probability: GAMMQ with (N - r)(M - r) degrees of
// freedom. Elements with variance 0 are left out of the chi-square sum, as
// in the eigenvalue mode; the residuals' degrees of freedom spread evenly
// over the elements, so the elements left out take their share with them.
REAL residual_probability(const ResidualTest& t, std::int32_t N, std::int32_t M, std::int32_t r,
                          std::int64_t included, Pause& pause) {
  const std::int64_t total = static_cast<std::int64_t>(N) * M;
  const std::int64_t rest = static_cast<std::int64_t>(N - r) * (M - r);
  const REAL dof = included == total ? static_cast<REAL>(rest)
                                     : static_cast<REAL>(rest) * static_cast<REAL>(included) / static_cast<REAL>(total);
  return GAMMQ(dof / 2, t.G / 2, pause);
}

bool holds_nonzero(const RankSample& x) {
  for (std::int32_t i = 1; i <= x.N; ++i)
    for (std::int32_t j = 1; j <= x.M; ++j)
      if (x.A()[i][j] != 0) return true;
  return false;
}

// Eigenvalues of the product matrix, decreasing, [1..MIN], and its
// eigenvectors in the columns of T.
std::vector<REAL> decompose_product(const RankSample& x, MATRIX& T, Pause& pause, Workers& workers) {
  const std::int32_t p = std::min(x.N, x.M);
  as_verdict_step([&] { product_matrix(ProductInputs{x.A(), nullptr, x.N, x.M}, T, nullptr, workers); });
  MATRIX D(p + 1, 2), E(p + 1, 2), RO(p + 1, 2);
  for (std::int32_t i = 1; i <= p; ++i) RO[i][1] = i;
  if (!TRED2(T, D, E, p, workers))
    verdict_overflow("the tridiagonal reduction of the product matrix overflows", "scale the data down");
  if (!TQLI(T, D, E, p, pause, workers).finite)
    verdict_overflow("the QL iteration for the eigenvalues of the product matrix overflows", "scale the data down");
  EIGENSORT(T, E, RO, D, p, false);
  if (D[1][1] == 0 && holds_nonzero(x))
    throw RunError(kOverflow,
                   std::string(kInTheVerdict) +
                       "the product matrix underflows the range of the 80-bit type (its elements would lie below "
                       "3.6E-4951); scale the data up.",
                   RunError::Kind::data);
  std::vector<REAL> eigenvalues(static_cast<std::size_t>(p) + 1);
  // A product matrix has no negative eigenvalue; rounding can leave a tiny one.
  for (std::int32_t i = 1; i <= p; ++i) eigenvalues[i] = std::max(D[i][1], REAL(0));
  return eigenvalues;
}

// The noise edge of the element variances, which stops the verdict when
// their sums overflow.
NoiseEdge verdict_noise_edge(const MATRIX& SD, std::int32_t N, std::int32_t M) {
  const NoiseEdge v = noise_edge_of_variances(SD, N, M);
  if (!std::isfinite(v.edge))
    verdict_overflow("the sum of the element variances overflows", "give a smaller error or scale the data down");
  return v;
}

// Residual tests after r = 0, 1, ... components, computed only as far as
// asked: each call to reach(r) fills Q up to r.
class ResidualSeries {
 public:
  ResidualSeries(const RankSample& x, const MATRIX& SD, const MATRIX& T, std::int64_t included, Pause& pause,
                 Workers& workers)
      : x_(x),
        tester_(ResidualInputs{x.A(), SD, T, x.N, x.M, std::min(x.N, x.M), workers}, 0),
        included_(included),
        pause_(pause) {}

  void reach(std::int32_t r, std::vector<REAL>& Q) {
    const std::int32_t p = std::min(x_.N, x_.M);
    for (std::int32_t k = static_cast<std::int32_t>(Q.size()); k <= r; ++k) {
      // Ahead by as many as were tested before, at least two: the passes over
      // the data then share their work, and forming the rebuilt values of
      // the earlier tests again costs no more than the tests themselves.
      tester_.extend_to(std::min(p, std::max(k + 2, 2 * k)));
      const ResidualTest t = tester_.test(k);
      if (!std::isfinite(t.G))
        verdict_overflow("the chi-square sum after " + std::to_string(k) + " components overflows",
                         "the error is far too small for these data: give a larger one");
      Q.push_back(residual_probability(t, x_.N, x_.M, k, included_, pause_));
    }
  }

 private:
  const RankSample& x_;
  ResidualTester tester_;
  std::int64_t included_;
  Pause& pause_;
};

// The residual tests of the verdict with the error. With unequal errors,
// after r = 1 .. p - 1 components, of the fit weighted by the errors while
// the fits' work stays within the sample's budget; otherwise (equal errors,
// r = 0 with nothing fitted, r = p with an exact fit either way, and beyond
// the budget) of the plain components.
class WithErrorSeries {
 public:
  WithErrorSeries(const RankSample& x, const MATRIX& SD, const MATRIX& T, std::int64_t included, bool weighted,
                 Pause& pause, Workers& workers)
      : x_(x), SD_(SD), T_(T), included_(included), pause_(pause), workers_(workers),
        plain_(x, SD, T, included, pause, workers), over_budget_(!weighted) {}

  // Fills Q up to r; Q[k] for k in 1..weighted_to - 1 comes from a weighted fit.
  void reach(std::int32_t r, std::vector<REAL>& Q, std::int32_t& weighted_to) {
    const std::int32_t p = std::min(x_.N, x_.M);
    for (std::int32_t k = static_cast<std::int32_t>(Q.size()); k <= r; ++k) {
      if (!fit_allowed(k, p)) {
        plain_.reach(k, plain_Q_);
        Q.push_back(plain_Q_[static_cast<std::size_t>(k)]);
        continue;
      }
      ResidualTest t;
      t.G = weighted_fit_chi_square(WeightedFitInputs{x_.A(), SD_, T_, x_.N, x_.M, x_.errors()}, k, workers_);
      if (!std::isfinite(t.G))
        verdict_overflow("the chi-square sum of the weighted fit of " + std::to_string(k) + " components overflows",
                         "the error is far too small for these data: give a larger one");
      Q.push_back(residual_probability(t, x_.N, x_.M, k, included_, pause_));
      weighted_to = k + 1;
    }
  }

 private:
  bool fit_allowed(std::int32_t k, std::int32_t p) {
    if (k < 1 || k >= p || over_budget_) return false;
    spent_ += weighted_fit_work(x_.N, x_.M, k);
    over_budget_ = spent_ > x_.weighted_fit_budget;
    return !over_budget_;
  }

  const RankSample& x_;
  const MATRIX& SD_;
  const MATRIX& T_;
  std::int64_t included_;
  Pause& pause_;
  Workers& workers_;
  ResidualSeries plain_;
  std::vector<REAL> plain_Q_;
  std::int64_t spent_ = 0;
  bool over_budget_ = false;
};

// The noise edge of unit errors: sqrt(N) + sqrt(M).
REAL edge_per_sigma(std::int32_t N, std::int32_t M) {
  return std::sqrt(static_cast<REAL>(N)) + std::sqrt(static_cast<REAL>(M));
}

std::vector<REAL> singular_values(const std::vector<REAL>& eigenvalues) {
  std::vector<REAL> s(eigenvalues.size());
  for (std::size_t i = 1; i < s.size(); ++i) s[i] = std::sqrt(eigenvalues[i]);
  return s;
}

// With unequal errors the bound of the noise edge lies well above the
// largest singular value such noise gives (3 to 35 % in our study); drawn
// with the elements' own errors the edge follows the noise itself, where
// the draws fit the budget.
void draw_the_noise_edge(RankVerdict& v, const RankSample& x, const MATRIX& SD, Pause& pause, Workers& workers) {
  if (kSignflipDraws * sign_draw_work(x.N, x.M) > x.sign_draw_budget) return;
  as_verdict_step([&] { v.edge = drawn_noise_edge(SD, x.N, x.M, pause, workers); });
  v.edge_drawn = true;
}

// A 1 x 1 noise matrix has no Tracy-Widom law: its value squared over
// sigma^2 is chi-square with one degree of freedom.
REAL single_noise_tail(REAL s, REAL sigma, Pause& pause) {
  if (!(sigma > 0)) return s > 0 ? 0 : 1;
  const REAL ratio = s / sigma;
  return GAMMQ(REAL(0.5), ratio * ratio / 2, pause);
}

// tail[c]: how often noise of deviation sigma alone puts the largest
// singular value of the (n - c + 1) x (MIN - c + 1) noise left after the
// c - 1 components before it above singular value c.
// With unequal errors (`of_residual` false) of the n x (MIN - c + 1) noise
// (with_error_decision.h).
std::vector<REAL> noise_tails(const std::vector<REAL>& singular, REAL sigma, std::int32_t N, std::int32_t M,
                              bool of_residual, Pause& pause) {
  const std::int32_t n = std::max(N, M), p = std::min(N, M);
  std::vector<REAL> tail(singular.size(), 1);
  if (n < 2) return tail;
  for (std::int32_t c = 1; c <= p; ++c) {
    const std::int32_t rows = of_residual ? n - c + 1 : n;
    tail[c] = rows < 2 ? single_noise_tail(singular[c], sigma, pause)
                       : largest_noise_tail(singular[c], sigma, rows, p - c + 1, pause);
  }
  return tail;
}

// The verdict's noise edge from the elements' variances.
void take_noise_edge(RankVerdict& v, const NoiseEdge& variances) {
  v.sigma = variances.rms;
  v.edge = variances.edge;
  v.equal_errors = variances.equal;
  v.weighted_to = v.equal_errors ? 0 : 1;
}

// The counts of singular values above the edge and above the noise of the
// equal error whose edge it is (for equal errors sigma itself); returns that
// error.
REAL count_against_edge(RankVerdict& v) {
  const REAL sigma_of_edge = v.edge / edge_per_sigma(v.N, v.M);
  v.above_edge = count_above_edge(v.singular, sigma_of_edge, v.N, v.M, v.equal_errors);
  v.possible = count_above_noise(v.singular, sigma_of_edge, v.N, v.M, kTracyWidom95, v.equal_errors);
  v.clear = count_above_noise(v.singular, sigma_of_edge, v.N, v.M, kTracyWidom99, v.equal_errors);
  return sigma_of_edge;
}

// Without the error: the range and the noise edge from the estimate.
void take_estimate(RankVerdict& v, const NoiseEstimate& e) {
  v.low = e.low;
  v.high = e.high;
  v.above_edge = e.low;
  v.possible = e.possible;
  v.sigma = e.sigma;
  v.edge = noise_edge_of_sigma(e.sigma, v.N, v.M);
  v.estimate = e;
}

// The cases of the estimate; false for a matrix of zeros, which has no more.
bool note_estimate_cases(RankVerdict& v, const NoiseEstimate& e, REAL largest_eigenvalue) {
  if (largest_eigenvalue == 0) {
    v.cases.push_back(VerdictCase::zero_matrix);
    return false;
  }
  if (e.too_small) {
    v.cases.push_back(VerdictCase::too_small);
  } else {
    v.cases.push_back(e.low == e.possible ? VerdictCase::estimated : VerdictCase::estimated_levels);
    if (e.not_noise) v.cases.push_back(VerdictCase::not_noise);
  }
  return true;
}

void judge_with_error(RankVerdict& v, const RankSample& x, const MATRIX& T, Pause& pause, Workers& workers,
                      const MATRIX* formed) {
  MATRIX own;
  if (formed == nullptr) {
    own = MATRIX(x.N + 1, x.M + 1);
    as_verdict_step([&] { element_variances(x.A(), own, x.N, x.M, x.errors(), workers); });
  }
  const MATRIX& SD = formed != nullptr ? *formed : own;
  const NoiseEdge variances = verdict_noise_edge(SD, x.N, x.M);
  take_noise_edge(v, variances);
  if (!v.equal_errors) draw_the_noise_edge(v, x, SD, pause, workers);
  const REAL sigma_of_edge = count_against_edge(v);
  const std::int32_t p = std::min(x.N, x.M);
  WithErrorSeries series(x, SD, T, variances.included, !v.equal_errors, pause, workers);
  // Q = 1 at r = p, so the search ends there at the latest.
  while (first_fitting(v.Q) < 0) series.reach(static_cast<std::int32_t>(v.Q.size()), v.Q, v.weighted_to);
  // The two tests together read the tails, and Q up to the edge's count.
  v.tail = noise_tails(v.singular, sigma_of_edge, x.N, x.M, v.equal_errors, pause);
  series.reach(std::min(p, v.above_edge), v.Q, v.weighted_to);
  decide_with_error(v);
  series.reach(std::min(p, v.high + 2), v.Q, v.weighted_to);
}

void judge_without_error(RankVerdict& v, const RankSample& x, const std::vector<REAL>& eigenvalues, const MATRIX& T,
                         Pause& pause, Workers& workers) {
  const NoiseEstimate e = estimate_rank(eigenvalues, x.N, x.M);
  take_estimate(v, e);
  if (note_estimate_cases(v, e, eigenvalues[1])) {
    judge_by_signflips(v, e, x, T, pause, workers);
    weigh_further_evidence(v, e, x, eigenvalues, T);
    weigh_evened_noise(v, x, T, pause, workers);
    if (v.high == std::min(x.N, x.M) && v.low <= 1 && v.low < v.high) v.cases.push_back(VerdictCase::cannot_tell);
  }
  // The Q column with the estimated error: what a rerun with it would show.
  MATRIX SD(x.N + 1, x.M + 1);
  const REAL variance = e.sigma * e.sigma;
  for (std::int32_t i = 1; i <= x.N; ++i)
    for (std::int32_t j = 1; j <= x.M; ++j) SD[i][j] = variance;
  const std::int64_t included = variance > 0 ? static_cast<std::int64_t>(x.N) * x.M : 0;
  ResidualSeries series(x, SD, T, included, pause, workers);
  series.reach(std::min(std::min(x.N, x.M), v.high + 2), v.Q);
}

// A verdict on N x M begun: true when the matrix has no element, and then
// the verdict says so and is complete.
bool begin_verdict(RankVerdict& v, std::int32_t N, std::int32_t M, bool error_given) {
  v.N = N;
  v.M = M;
  v.error_given = error_given;
  if (std::min(N, M) >= 1) return false;
  v.Q.push_back(1);
  v.cases.push_back(VerdictCase::no_matrix);
  return true;
}

// The limit of sight of noise of one level, with the error given of the
// equal error whose noise edge is the verdict's; and no singular value may
// overflow in noise edges.
void finish_verdict(RankVerdict& v) {
  if (!v.estimate.not_noise && v.edge > 0) {
    const REAL sigma_of_edge = v.edge / edge_per_sigma(v.N, v.M);
    v.limit = limit_of_sight(sigma_of_edge, v.N, v.M, kTracyWidom99);
    const std::int32_t r = v.low;
    if (v.equal_errors && r > 0 && std::min(v.N, v.M) - r >= 2) {
      v.limit_after = r;
      v.residual_limit = limit_of_sight(sigma_of_edge, v.N - r, v.M - r, kTracyWidom99);
    }
  }
  for (std::int32_t k = 1; k <= std::min(v.N, v.M); ++k)
    if (!std::isfinite(noise_edges(v, k)))
      verdict_overflow("a singular value divided by the noise edge overflows",
                       "the error is far too small for these data: give a larger one");
}

}  // namespace

REAL residual_edge_per_sigma(std::int32_t N, std::int32_t M, std::int32_t k) {
  return edge_per_sigma(N - k + 1, M - k + 1);
}

REAL residual_edge(const RankVerdict& v, std::int32_t k) {
  if (!v.equal_errors) return v.edge;
  return v.edge / edge_per_sigma(v.N, v.M) * residual_edge_per_sigma(v.N, v.M, k);
}

RankSample take_rank_sample(const DataTable& d, bool unchanged, const ElementErrors& errors) {
  RankSample x;
  x.N = d.N;
  x.M = d.M;
  x.ER = errors.ER;
  x.ERPR = errors.ERPR;
  x.absolute = errors.absolute;
  x.relative = errors.relative;
  if (unchanged) {
    x.shared = &d.A;
    return x;
  }
  x.copy = MATRIX(d.N + 1, d.M + 1);
  for (std::int32_t i = 1; i <= d.N; ++i)
    for (std::int32_t j = 1; j <= d.M; ++j) x.copy[i][j] = d.A[i][j];
  return x;
}

RankVerdict judge_rank(const RankSample& x, Pause& pause, Workers& workers, const MATRIX* variances) {
  RankVerdict v;
  if (begin_verdict(v, x.N, x.M, x.errors().known())) return v;
  const std::int32_t p = std::min(x.N, x.M);
  MATRIX T(p + 1, p + 1);
  const std::vector<REAL> eigenvalues = decompose_product(x, T, pause, workers);
  v.singular = singular_values(eigenvalues);
  if (v.error_given) {
    judge_with_error(v, x, T, pause, workers, variances);
  } else {
    judge_without_error(v, x, eigenvalues, T, pause, workers);
  }
  finish_verdict(v);
  return v;
}

namespace {

// Q after r components from the sums: with the error their chi-square sums,
// without it the squares over the estimated variance.
REAL sums_probability(const RankSums& x, std::int32_t r, REAL variance, std::int64_t included, Pause& pause) {
  ResidualTest t = x.tests[static_cast<std::size_t>(r)];
  if (!x.errors_given()) t.G = variance > 0 ? x.squares[static_cast<std::size_t>(r)] / variance : 0;
  if (!std::isfinite(t.G))
    verdict_overflow("the chi-square sum after " + std::to_string(r) + " components overflows",
                     "the error is far too small for these data: give a larger one");
  return residual_probability(t, x.N, x.M, r, included, pause);
}

void reach_from_sums(const RankSums& x, std::int32_t r, std::vector<REAL>& Q, REAL variance, std::int64_t included,
                     Pause& pause) {
  const auto last = static_cast<std::int32_t>(x.tests.size()) - 1;
  for (std::int32_t k = static_cast<std::int32_t>(Q.size()); k <= std::min(r, last); ++k)
    Q.push_back(sums_probability(x, k, variance, included, pause));
}

}  // namespace

RankVerdict judge_rank_from_sums(const RankSums& x, Pause& pause) {
  RankVerdict v;
  if (begin_verdict(v, x.N, x.M, x.errors_given())) return v;
  const std::int32_t p = std::min(x.N, x.M);
  v.singular = singular_values(x.eigenvalues);
  const std::int64_t all = static_cast<std::int64_t>(x.N) * x.M;
  if (v.error_given) {
    take_noise_edge(v, x.variances);
    const REAL sigma_of_edge = count_against_edge(v);
    reach_from_sums(x, p, v.Q, 0, x.variances.included, pause);
    v.tail = noise_tails(v.singular, sigma_of_edge, x.N, x.M, v.equal_errors, pause);
    decide_with_error(v);
    v.Q.resize(static_cast<std::size_t>(std::min(p, v.high + 2)) + 1);
  } else {
    const NoiseEstimate e = estimate_rank(x.eigenvalues, x.N, x.M);
    take_estimate(v, e);
    // The random-sign copies need the data in one place.
    if (note_estimate_cases(v, e, x.eigenvalues[1]) && e.low > 0 && !e.not_noise && !e.too_small)
      v.cases.push_back(VerdictCase::signflip_too_costly);
    const REAL variance = e.sigma * e.sigma;
    reach_from_sums(x, std::min(p, v.high + 2), v.Q, variance, variance > 0 ? all : 0, pause);
  }
  finish_verdict(v);
  return v;
}

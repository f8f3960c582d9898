#include "analysis/rank_verdict.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "analysis/combined_evidence.h"
#include "analysis/eigen_analysis.h"
#include "analysis/noise_edge.h"
#include "analysis/qor.h"
#include "analysis/weighted_fit.h"
#include "common/run_error.h"
#include "common/run_state.h"
#include "common/text.h"
#include "common/text_writer.h"
#include "common/workers.h"
#include "numeric/eigen.h"
#include "numeric/gamma.h"
#include "report/number_text.h"

namespace {

// Every stop of the verdict says that it was the verdict's arithmetic that
// overflowed, as the analysis may have run without trouble.
constexpr const char* kInTheVerdict = "for the rank verdict, ";

[[noreturn]] void verdict_overflow(const std::string& what, const std::string& advice) {
  throw_overflow(kInTheVerdict + what, beyond_real("a value"), advice);
}

// A stage the verdict shares with the analysis.
template <typename Stage>
void as_verdict_step(Stage stage) {
  try {
    stage();
  } catch (const RunError& e) {
    throw RunError(e.number(), kInTheVerdict + std::string(e.what()), e.kind());
  }
}

// The point of the largest noise eigenvalue's law (largest_noise_law) at
// the quantile of TW1. Needs n >= 2.
REAL tracy_widom_point(std::int32_t n, std::int32_t q, REAL quantile) {
  const LargestNoiseLaw law = largest_noise_law(n, q);
  return law.centre + law.scale * quantile;
}

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
      t.G = weighted_fit_chi_square(WeightedFitInputs{x_.A(), SD_, T_, x_.N, x_.M, x_.ER, x_.ERPR}, k, workers_);
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

// ---- second round: the random-sign draws (signflip.h) and the tails

// With unequal errors the bound of the noise edge lies well above the
// largest singular value such noise gives (3 to 35 % in our study); drawn
// with the elements' own errors the edge follows the noise itself, where
// the draws fit the budget.
void draw_the_noise_edge(RankVerdict& v, const RankSample& x, const MATRIX& SD, Pause& pause, Workers& workers) {
  if (kSignflipDraws * sign_draw_work(x.N, x.M) > x.sign_draw_budget) return;
  as_verdict_step([&] { v.edge = drawn_noise_edge(SD, x.N, x.M, pause, workers); });
  v.edge_drawn = true;
}

// tail[c]: how often noise of deviation sigma alone puts the largest
// singular value of the (n, MIN - c + 1) noise the counts measure component
// c against above it.
std::vector<REAL> noise_tails(const std::vector<REAL>& singular, REAL sigma, std::int32_t N, std::int32_t M,
                              Pause& pause) {
  const std::int32_t n = std::max(N, M), p = std::min(N, M);
  std::vector<REAL> tail(singular.size(), 1);
  if (n < 2) return tail;
  for (std::int32_t c = 1; c <= p; ++c) tail[c] = largest_noise_tail(singular[c], sigma, n, p - c + 1, pause);
  return tail;
}

// Without the error the count assumes noise of one level. Where the values
// past it say otherwise, or too few are left past it to tell, the lower end
// is the count of components that stand above copies of the data with the
// residual's signs flipped, which holds whatever each element's variance.
// Elsewhere the count's last component must stand above such copies too (of
// the even scale, which noise of one level gives exactly); where it does
// not, noise that differs from element to element may pass for it, and the
// lower end is their count.
void judge_by_signflips(RankVerdict& v, const NoiseEstimate& e, const RankSample& x, const MATRIX& T, Pause& pause,
                        Workers& workers) {
  const FlipData d{x.A(), T, v.singular, x.N, x.M};
  std::int64_t budget = x.sign_draw_budget;
  if (e.too_small && std::min(x.N, x.M) < 2) return;  // nothing to test
  if (e.not_noise || e.too_small) {
    as_verdict_step([&] { v.flips = signflip_count(d, std::min(x.N, x.M) - 1, budget, pause, workers); });
    v.low = v.flips.complete ? v.flips.count : std::max(v.flips.count, e.low);
    v.cases.push_back(VerdictCase::signflip_lower_end);
    return;
  }
  if (e.low == 0) return;
  const std::int64_t check = signflip_test_work(x.N, x.M, e.low - 1);
  if (check > budget) {
    v.cases.push_back(VerdictCase::signflip_too_costly);
    return;
  }
  budget -= check;
  bool stands = false;
  as_verdict_step([&] { stands = stands_above_signflips(d, e.low - 1, ResidualScale::even, pause, workers); });
  if (stands) return;
  as_verdict_step([&] { v.flips = signflip_count(d, e.low, budget, pause, workers); });
  if (v.flips.count < e.low) {
    v.low = v.flips.count;
    v.cases.push_back(VerdictCase::signflip_doubt);
  }
}

// ---- end of the random-sign draws

void judge_with_error(RankVerdict& v, const RankSample& x, const MATRIX& T, Pause& pause, Workers& workers,
                      const MATRIX* formed) {
  MATRIX own;
  if (formed == nullptr) {
    own = MATRIX(x.N + 1, x.M + 1);
    as_verdict_step([&] { element_variances(x.A(), own, x.N, x.M, x.ER, x.ERPR, workers); });
  }
  const MATRIX& SD = formed != nullptr ? *formed : own;
  const NoiseEdge variances = verdict_noise_edge(SD, x.N, x.M);
  v.sigma = variances.rms;
  v.edge = variances.edge;
  v.equal_errors = variances.equal;
  if (!v.equal_errors) draw_the_noise_edge(v, x, SD, pause, workers);
  v.above_edge = count_above_edge(v.singular, v.edge);
  // The equal error whose noise edge is this one: for equal errors sigma itself.
  const REAL sigma_of_edge = v.edge / edge_per_sigma(x.N, x.M);
  v.possible = count_above_noise(v.singular, sigma_of_edge, x.N, x.M, kTracyWidom95);
  v.clear = count_above_noise(v.singular, sigma_of_edge, x.N, x.M, kTracyWidom99);
  const std::int32_t p = std::min(x.N, x.M);
  v.weighted_to = v.equal_errors ? 0 : 1;
  WithErrorSeries series(x, SD, T, variances.included, !v.equal_errors, pause, workers);
  // Q = 1 at r = p, so the search ends there at the latest.
  while (first_fitting(v.Q) < 0) series.reach(static_cast<std::int32_t>(v.Q.size()), v.Q, v.weighted_to);
  // The two tests together read the tails, and Q up to the edge's count.
  v.tail = noise_tails(v.singular, sigma_of_edge, x.N, x.M, pause);
  series.reach(std::min(p, v.above_edge), v.Q, v.weighted_to);
  decide_with_error(v);
  series.reach(std::min(p, v.high + 2), v.Q, v.weighted_to);
}

void judge_without_error(RankVerdict& v, const RankSample& x, const std::vector<REAL>& eigenvalues, const MATRIX& T,
                         Pause& pause, Workers& workers) {
  const NoiseEstimate e = estimate_rank(eigenvalues, x.N, x.M);
  v.low = e.low;
  v.high = e.high;
  v.above_edge = e.low;
  v.possible = e.possible;
  v.sigma = e.sigma;
  v.edge = noise_edge_of_sigma(e.sigma, x.N, x.M);
  v.elements_left = e.elements_left;
  v.spread = e.spread;
  v.lowest = e.lowest;
  v.low_tail = e.low_tail;
  v.misfit = e.misfit;
  v.not_noise = e.not_noise;
  if (eigenvalues[1] == 0) {
    v.cases.push_back(VerdictCase::zero_matrix);
  } else if (e.too_small) {
    v.cases.push_back(VerdictCase::too_small);
    judge_by_signflips(v, e, x, T, pause, workers);
  } else {
    v.cases.push_back(e.low == e.possible ? VerdictCase::estimated : VerdictCase::estimated_levels);
    if (e.not_noise) v.cases.push_back(VerdictCase::not_noise);
    judge_by_signflips(v, e, x, T, pause, workers);
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

// Which noise a component is measured against. Kritchman and Nadler's
// sequential test: the noise variance estimated under the c - 1 components
// before it, and the Tracy-Widom point of (n, p - c + 1) noise, which keeps
// all n samples and so lies high once many components are taken out. The
// upper end asks whether component c could be real: the variance estimated
// with c taken for a signal too, so that its own energy does not raise the
// noise it is measured against, and the point of the noise left on the
// (n - c + 1) x (p - c + 1) dimensions once the c - 1 before it are taken
// out of both sides.
enum class CountNull { sequential, could_be_real };

// Components c = 1, 2, ... in turn; the count ends at the first whose
// eigenvalue does not stand above the noise variance times the point.
std::int32_t count_components(const std::vector<REAL>& eigenvalues, std::int32_t n, std::int32_t p, REAL quantile,
                              CountNull null) {
  if (n < 2) return 0;
  const bool could_be_real = null == CountNull::could_be_real;
  std::int32_t k = 0;
  for (std::int32_t c = 1; c <= p; ++c) {
    const std::int32_t signals = could_be_real ? c : c - 1;
    if (signals >= p) break;  // nothing left to estimate the noise from
    const REAL variance = noise_variance(eigenvalues, n, signals);
    const std::int32_t samples = could_be_real ? n - c + 1 : n;  // >= 2, as c < p <= n
    if (!(eigenvalues[c] > variance * tracy_widom_point(samples, p - c + 1, quantile))) break;
    k = c;
  }
  return k;
}

std::string count_text(std::int64_t n, const char* singular, const char* plural) {
  return std::to_string(n) + " " + (n == 1 ? singular : plural);
}

std::string q_text(REAL Q) {
  const std::string t(RS(Q, 10).view());
  return t.substr(t.find_first_not_of(' '));
}

// Singular value k in units of the noise edge (0 without an edge).
REAL noise_edges(const RankVerdict& v, std::int32_t k) { return v.edge > 0 ? v.singular[k] / v.edge : 0; }

std::string edges_text(const RankVerdict& v, std::int32_t k) {
  return fixed_text(noise_edges(v, k), 0, 2) + " noise edges";
}

void write_line(TextWriter& out, const std::string& text) {
  out.write(text);
  out.line_end();
}

// A sentence in lines of at most 79 characters, broken at blanks, the
// continuation lines indented by two, so that the block reads on an
// 80-column console.
void write_wrapped(TextWriter& out, const std::string& text) {
  for (const std::string& line : wrap_words(text, 79, "  ")) write_line(out, line);
}

void write_components(TextWriter& out, const RankVerdict& v) {
  const std::int32_t p = std::min(v.N, v.M);
  out.write("Component");
  out.write_right("Singular value", 16);
  out.write_right("Noise edges", 13);
  out.write_right("Q after it", 12);
  out.line_end();
  const std::int32_t last = std::min(p, v.high + 2);
  for (std::int32_t k = 0; k <= last; ++k) {
    write_integer(out, k, 9);
    if (k == 0) {
      out.write_blanks(29);
    } else {
      out.write_right(RS(v.singular[k], 12).view(), 16);
      out.write(fixed_text(noise_edges(v, k), 13, 2));
    }
    out.write_right(RS(v.Q[k], 10).view(), 12);
    out.line_end();
  }
}

// Which Q come from fits weighted by the errors (unequal errors only).
void write_weighted_fit(TextWriter& out, const RankVerdict& v) {
  const std::int32_t p = std::min(v.N, v.M);
  if (p < 2) return;  // nothing between no fit and an exact one
  const std::string weighted = "residuals of the fit weighted by the elements' errors (maximum likelihood PCA)";
  if (v.weighted_to > std::min(p, v.high + 2) || v.weighted_to == p) {
    write_wrapped(out, "Q: " + weighted + ".");
  } else if (v.weighted_to <= 1) {
    write_wrapped(out, "Q: residuals of the plain components; a fit weighted by the elements' errors would take "
                       "too long for this matrix.");
  } else {
    write_wrapped(out, "Q: " + weighted + " up to component " + std::to_string(v.weighted_to - 1) +
                           "; from component " + std::to_string(v.weighted_to) +
                           " on, of the plain components, as the weighted fit would take too long.");
  }
}

void write_sigma(TextWriter& out, const RankVerdict& v) {
  const std::string sigma(RS(v.sigma, 12).view());
  const std::string edge = "Noise edge:" + std::string(RS(v.edge, 12).view()) + " = " + verdict_noise_edge_formula(v);
  const std::string origin = sigma_origin(v.error_given, v.equal_errors);
  if (!v.error_given) {
    write_wrapped(out, "Sigma:" + sigma + " (" + origin + "; the Q column uses it)");
    write_line(out, edge);
  } else if (v.equal_errors) {
    write_line(out, "Sigma:" + sigma + " (" + origin + ")");
    write_line(out, edge);
  } else {
    write_wrapped(out, "Sigma:" + sigma + " (" + origin + ")");
    write_wrapped(out, edge + (v.edge_drawn ? "" : " (drawing the noise would take too long for this matrix)"));
    write_weighted_fit(out, v);
  }
}

// ---- second round: the reasons of the tests together and of the random-sign draws

REAL evidence_after(const RankVerdict& v, std::int32_t r);

// A share of matrices as a percentage: "31 %", "4.1 %", "0.35 %", or "less
// than 0.01 %".
std::string share_text(REAL share) {
  if (share < 0.0001L) return "less than 0.01 %";
  const int decimals = share >= 0.1L ? 0 : share >= 0.01L ? 1 : 2;
  return fixed_text(100 * share, 0, decimals) + " %";
}

// "component c lies at X noise edges, where noise alone reaches in Y % of
// matrices of this size"
std::string where_noise_reaches(const RankVerdict& v, std::int32_t c) {
  const REAL tail = c < static_cast<std::int32_t>(v.tail.size()) ? v.tail[c] : 1;
  return "component " + std::to_string(c) + " lies at " + edges_text(v, c) + ", where noise alone reaches in " +
         share_text(tail) + " of matrices of this size";
}

std::string together_text(const RankVerdict& v, std::int32_t r, bool shows) {
  return std::string("the two together ") + (shows ? "show" : "do not show") + " it at the 1 % level (Fisher's " +
         "combination: " + q_text(evidence_after(v, r)) + ")";
}

std::string flip_copies(std::int32_t after) {
  return "all of " + std::to_string(kSignflipDraws) + " copies of the data" +
         (after > 0 ? " whose residuals after " + count_text(after, "component", "components") + " have"
                    : " with") +
         " their signs flipped at random (signflip parallel analysis)";
}

std::string second_round_reason(const RankVerdict& v, VerdictCase c) {
  switch (c) {
    case VerdictCase::misfit_alone:
      return count_text(v.above_edge, "component stands", "components stand") +
             " above the noise edge. The residuals after " + std::to_string(v.above_edge) +
             " do not fit the error at the 5 % level (Q = " + q_text(v.Q[v.above_edge]) + "), but " +
             where_noise_reaches(v, v.above_edge + 1) + "; " + together_text(v, v.above_edge, false) + ".";
    case VerdictCase::edge_alone: {
      const std::int32_t c = v.shown + 1;
      const REAL tail = c < static_cast<std::int32_t>(v.tail.size()) ? v.tail[c] : 1;
      const std::string which = c == v.above_edge ? "Component " + std::to_string(c) + " lies above the noise edge"
                                                  : "Components " + std::to_string(c) + " to " +
                                                        std::to_string(v.above_edge) + " lie above the noise edge";
      return which + ", but noise alone reaches the " + edges_text(v, c) + " of component " + std::to_string(c) +
             " in " + share_text(tail) + " of matrices of this size, and the residuals after " +
             std::to_string(v.shown) + " fit the error (Q = " + q_text(v.Q[v.shown]) + "): " +
             together_text(v, v.shown, false) + ".";
    }
    case VerdictCase::shown_together:
      return "The residuals after " + count_text(v.shown - 1, "component", "components") +
             " fit the error (Q = " + q_text(v.Q[v.shown - 1]) + "), but " + where_noise_reaches(v, v.shown) +
             "; " + together_text(v, v.shown - 1, true) + ".";
    case VerdictCase::signflip_lower_end:
      if (!v.flips.complete && v.low > v.flips.count)
        return "The lower end is the count at the 99 % level, which assumes noise of one level: copies of the "
               "data with their residuals' signs flipped at random, which hold under uneven noise, confirmed " +
               count_text(v.flips.count, "component", "components") +
               " before they would take too long for this matrix.";
      if (!v.flips.complete)
        return "The lower end holds under uneven noise: " + count_text(v.flips.count, "component stands",
                                                                        "components stand") +
               " above copies of the data with their residuals' signs flipped at random (signflip parallel "
               "analysis); further copies would take too long for this matrix.";
      if (v.flips.count == 0)
        return "The lower end holds under uneven noise: component 1 does not stand above " + flip_copies(0) + ".";
      return "The lower end holds under uneven noise: " +
             std::string(v.flips.count == 1 ? "component 1 stands" :
                                               "components 1 to " + std::to_string(v.flips.count) + " each stand") +
             " above all of " + std::to_string(kSignflipDraws) +
             " copies of the data whose residuals after the components before have their signs flipped at random "
             "(signflip parallel analysis); component " + std::to_string(v.flips.count + 1) + " does not.";
    case VerdictCase::signflip_doubt:
      return "Uncertain: component " + std::to_string(v.above_edge) + " does not stand above " +
             flip_copies(v.above_edge - 1) +
             ": noise that differs from element to element may pass for it; such copies confirm " +
             count_text(v.flips.count, "component", "components") +
             (v.flips.complete ? "." : " before further ones would take too long for this matrix.");
    case VerdictCase::signflip_too_costly:
      return "The count assumes noise of one level: checking component " + std::to_string(v.above_edge) +
             " against copies of the data with random signs would take too long for this matrix.";
    default:
      return {};
  }
}

// The limit of sight, in the data's units and in noise edges.
void write_limit_of_sight(TextWriter& out, const RankVerdict& v) {
  if (!(v.limit.unseen > 0) || !(v.edge > 0)) return;
  const auto value = [&](REAL s) {
    const std::string t(RS(s, 10).view());
    return t.substr(t.find_first_not_of(' ')) + " (" + fixed_text(s / v.edge, 0, 2) + " noise edges)";
  };
  write_wrapped(out, "Limit of sight: a component whose singular value without the noise lies below " +
                         value(v.limit.unseen) + " would not be seen at this size; one of " + value(v.limit.clear) +
                         " would stand only at the 99 % point of the noise.");
}

// ---- end of the second round's reasons

std::string reason_text(const RankVerdict& v, VerdictCase c) {
  switch (c) {
    case VerdictCase::zero_matrix:
      return "The matrix is zero: it holds no component.";
    case VerdictCase::no_matrix:
      return "No row or no column is left once the reference is removed: nothing to judge.";
    case VerdictCase::agreement:
      return "Both tests give " + std::to_string(v.residual_fit) + ": " +
             count_text(v.above_edge, "component stands", "components stand") +
             " above the noise edge, and the residuals after " + std::to_string(v.residual_fit) +
             " fit the error (Q = " + q_text(v.Q[v.residual_fit]) + ").";
    case VerdictCase::disagreement:
      if (v.above_edge > v.residual_fit)
        return "Uncertain: component " + std::to_string(v.above_edge) + " lies at " + edges_text(v, v.above_edge) +
               ", but the residuals after " + count_text(v.residual_fit, "component", "components") +
               " fit the error (Q = " + q_text(v.Q[v.residual_fit]) + ").";
      return "Uncertain: the residuals after " + count_text(v.residual_fit - 1, "component", "components") +
             " do not fit the error (Q = " + q_text(v.Q[v.residual_fit - 1]) + "), but component " +
             std::to_string(v.residual_fit) + " lies at " + edges_text(v, v.residual_fit) + ".";
    case VerdictCase::near_noise:
      return "Uncertain: component " + std::to_string(v.possible) + " lies at " + edges_text(v, v.possible) +
             ", where noise alone reaches in less than 5 % of matrices of this size.";
    case VerdictCase::within_noise:
      return "Uncertain: component " + std::to_string(v.low + 1) + " lies at " + edges_text(v, v.low + 1) +
             ", where noise alone still reaches in more than 1 % of matrices of this size.";
    // above_edge holds the count at the 99 % level (low may have moved).
    case VerdictCase::estimated:
      if (v.above_edge == 0) return "No component stands out from the estimated noise, even at the 90 % level.";
      return (v.above_edge == 1 ? std::string("Component 1 stands")
                                : "Components 1 to " + std::to_string(v.above_edge) + " stand") +
             " out from the estimated noise at the 99 % level; component " + std::to_string(v.above_edge + 1) +
             " does not even at the 90 % level.";
    case VerdictCase::estimated_levels: {
      const std::string which = v.possible == v.above_edge + 1
                                    ? "component " + std::to_string(v.possible) + " stands"
                                    : "components " + std::to_string(v.above_edge + 1) + " to " +
                                          std::to_string(v.possible) + " stand";
      return "Uncertain: " + which + " out from the estimated noise at the 90 % level, but not at the 99 % level.";
    }
    case VerdictCase::not_noise:
      if (v.misfit == NoiseMisfit::low_tail)
        return "Uncertain: the values past component " + std::to_string(v.possible) +
               " do not look like noise of one level (the smallest " + std::to_string(v.low_tail.found) +
               " lie where such noise would put " + fixed_text(v.low_tail.expected, 0, 1) +
               "): more components or uneven noise may hide there; give the measurement error for a sharper "
               "answer.";
      if (v.misfit == NoiseMisfit::lowest)
        return "Uncertain: the values past component " + std::to_string(v.possible) +
               " do not look like noise of one level (the smallest lies " + fixed_text(-v.lowest, 0, 1) +
               " scales below the lower edge of such noise): more components or uneven noise may hide there; give "
               "the measurement error for a sharper answer.";
      return "Uncertain: the values past component " + std::to_string(v.possible) +
             " do not look like noise of one level (their spread lies " + fixed_text(std::fabs(v.spread), 0, 1) +
             " standard deviations " + (v.spread > 0 ? "above" : "below") +
             " that of such noise): more components or uneven noise may hide there; give the measurement error "
             "for a sharper answer.";
    case VerdictCase::too_small:
      return "Uncertain: beyond " + count_text(v.possible, "component", "components") + " only " +
             count_text(v.elements_left, "element is", "elements are") +
             " left to estimate the noise from, too few for a firm verdict; give the error.";
    case VerdictCase::misfit_alone:
    case VerdictCase::edge_alone:
    case VerdictCase::shown_together:
    case VerdictCase::signflip_lower_end:
    case VerdictCase::signflip_doubt:
    case VerdictCase::signflip_too_costly:
      return second_round_reason(v, c);
  }
  return {};
}

// ---- the two tests with the error taken together (combined_evidence.h)

// The evidence for component r + 1 after r: how often noise alone puts its
// singular value where it lies, and the residual test after r, combined.
REAL evidence_after(const RankVerdict& v, std::int32_t r) {
  const std::int32_t p = static_cast<std::int32_t>(v.singular.size()) - 1;
  if (r >= p) return 1;
  const REAL tail = r + 1 < static_cast<std::int32_t>(v.tail.size()) ? v.tail[r + 1] : 1;
  const REAL q = r < static_cast<std::int32_t>(v.Q.size()) ? v.Q[r] : 1;
  return fisher_combination(tail, q);
}

// Where the edge and the residual test differ, the components between
// them by both together. Residuals that do not fit after the edge's count,
// while the next value lies where noise alone puts it now and then, are
// the residual test's own false alarm as often as its level says: the
// count stands unless the two together show the next component. A
// component above the edge whose residuals fit without it counts only
// where the two together show it. Residuals that plainly do not fit show
// the next component together with any value, and the range stays.
void judge_tests_together(RankVerdict& v) {
  if (v.residual_fit > v.above_edge) {
    if (evidence_after(v, v.above_edge) >= kCombinedLevel) {
      v.shown = v.low = v.high = v.above_edge;
      v.cases.push_back(VerdictCase::misfit_alone);
    } else {
      v.cases.push_back(VerdictCase::disagreement);
    }
    return;
  }
  std::int32_t c = v.above_edge;
  while (c > v.residual_fit && evidence_after(v, c - 1) >= kCombinedLevel) --c;
  v.shown = v.low = v.high = c;
  if (c < v.above_edge) v.cases.push_back(VerdictCase::edge_alone);
  if (c > v.residual_fit) v.cases.push_back(VerdictCase::shown_together);
}

// ---- end of the two tests together

}  // namespace

RankSample take_rank_sample(const RunState& s, REAL ER, REAL ERPR) {
  RankSample x;
  x.N = s.N;
  x.M = s.M;
  x.ER = ER;
  x.ERPR = ERPR;
  if (s.JEV) {
    x.shared = &s.A;
    return x;
  }
  x.copy = MATRIX(s.N + 1, s.M + 1);
  for (std::int32_t i = 1; i <= s.N; ++i)
    for (std::int32_t j = 1; j <= s.M; ++j) x.copy[i][j] = s.A[i][j];
  return x;
}

std::int32_t count_above_edge(const std::vector<REAL>& singular, REAL edge) {
  std::int32_t k = 0;
  while (k + 1 < static_cast<std::int32_t>(singular.size()) && singular[k + 1] > edge) ++k;
  return k;
}

namespace {

// A 1 x 1 matrix has no Tracy-Widom law: its one noise value squared is
// sigma^2 times a chi-square variable of one degree of freedom, whose upper
// points 3.8415 (95 %) and 6.6349 (99 %) are the squares of the normal law's
// two-sided points 1.9600 and 2.5758; the level is that of the Tracy-Widom
// point asked for.
REAL single_value_point(REAL quantile) {
  return quantile == kTracyWidom99 ? 6.634896601021214L : 3.841458820694124L;
}

}  // namespace

std::int32_t count_above_noise(const std::vector<REAL>& singular, REAL sigma, std::int32_t N, std::int32_t M,
                               REAL quantile) {
  const std::int32_t n = std::max(N, M);
  const std::int32_t p = std::min(N, M);
  if (n < 1 || !(sigma > 0)) return 0;
  if (n < 2) return singular[1] * singular[1] > sigma * sigma * single_value_point(quantile) ? 1 : 0;
  std::int32_t k = 0;
  const REAL variance = sigma * sigma;
  for (std::int32_t c = 1; c <= p; ++c) {
    const REAL s = singular[c];
    if (!(s * s > variance * tracy_widom_point(n, p - c + 1, quantile))) break;
    k = c;
  }
  return k;
}

std::int32_t first_fitting(const std::vector<REAL>& Q) {
  for (std::size_t r = 0; r < Q.size(); ++r)
    if (Q[r] >= kResidualFitQ) return static_cast<std::int32_t>(r);
  return -1;
}

void decide_with_error(RankVerdict& v) {
  v.residual_fit = first_fitting(v.Q);
  v.low = std::min(v.above_edge, v.residual_fit);
  v.high = std::max(v.above_edge, v.residual_fit);
  v.shown = v.low;
  v.cases.clear();
  if (v.singular.size() < 2 || v.singular[1] == 0) {
    v.cases.push_back(VerdictCase::zero_matrix);
    return;
  }
  if (v.low == v.high) {
    v.cases.push_back(VerdictCase::agreement);
  } else {
    judge_tests_together(v);
  }
  // Near the edge the two tests see the same noise: its largest component
  // can pass the edge and raise the residuals at once. A component below the
  // edge that still stands above nearly all noise may be a real one too weak
  // to show, and one just above the edge that noise alone reaches now and
  // then may be noise: the range reaches to either.
  if (v.possible > v.high) {
    v.high = v.possible;
    v.cases.push_back(VerdictCase::near_noise);
  }
  if (v.low > v.clear) {
    --v.low;
    v.cases.push_back(VerdictCase::within_noise);
  }
}

// The noise variance under k signals, from the eigenvalues L_j of the product
// matrix (n = the longer side, p = MIN): with l_j = L_j / n, the plain mean
// of the p - k smallest is biased low, as each signal eigenvalue l_j also
// holds noise beyond its population value rho_j. Kritchman and Nadler solve
//   sigma^2 = (sum over j > k of l_j + sum over j <= k of (l_j - rho_j)) / (p - k),
//   rho_j = (b + sqrt(b^2 - 4 l_j sigma^2)) / 2,  b = l_j + sigma^2 - sigma^2 (p - k) / n,
// by a short fixed-point iteration from the plain mean (S. Kritchman and B.
// Nadler, "Determining the number of components in a factor model from
// limited noisy data", Chemometrics and Intelligent Laboratory Systems 94,
// 2008). Below the detection limit b^2 < 4 l_j sigma^2; rho_j is then taken
// at b / 2, where the two branches meet. The equations are homogeneous, so
// they are solved in units of the largest eigenvalue, where no square can
// overflow, and the result is scaled back.
REAL noise_variance(const std::vector<REAL>& eigenvalues, std::int32_t n, std::int32_t k) {
  constexpr int kIterations = 50;
  const std::int32_t p = static_cast<std::int32_t>(eigenvalues.size()) - 1;
  const REAL unit = eigenvalues[1] > 0 ? eigenvalues[1] : REAL(1);
  const REAL scale = static_cast<REAL>(n);
  REAL rest = 0;
  for (std::int32_t j = k + 1; j <= p; ++j) rest = rest + eigenvalues[j] / unit / scale;
  const REAL left = static_cast<REAL>(p - k);
  const REAL gamma = left / scale;
  REAL variance = rest / left;
  for (int iteration = 0; iteration < kIterations; ++iteration) {
    REAL sum = rest;
    for (std::int32_t j = 1; j <= k; ++j) {
      const REAL l = eigenvalues[j] / unit / scale;
      const REAL b = l + variance - gamma * variance;
      const REAL discriminant = b * b - 4 * l * variance;
      const REAL rho = discriminant > 0 ? (b + std::sqrt(discriminant)) / 2 : b / 2;
      sum = sum + (l - rho);
    }
    const REAL next = std::max(sum / left, REAL(0));
    if (next == variance) break;
    variance = next;
  }
  return variance * unit;
}

// The lower end of the range is Kritchman and Nadler's count at the 99 %
// level. The upper end asks of each further component whether it could be
// real: whether it stands out at the 90 % level from the noise it would
// leave (CountNull::could_be_real). A range that leaves fewer than two
// dimensions or kFewestElementsForEstimate elements to estimate the noise
// from reaches up to the smaller dimension: the data cannot say more.
NoiseEstimate estimate_rank(const std::vector<REAL>& eigenvalues, std::int32_t N, std::int32_t M) {
  NoiseEstimate e;
  const std::int32_t n = std::max(N, M);
  const std::int32_t p = std::min(N, M);
  if (p < 1 || eigenvalues[1] == 0) return e;  // a zero matrix: rank 0, no noise
  e.low = count_components(eigenvalues, n, p, kTracyWidom99, CountNull::sequential);
  e.possible = std::max(e.low, count_components(eigenvalues, n, p, kTracyWidom90, CountNull::could_be_real));
  e.high = e.possible;
  e.sigma = e.low < p ? std::sqrt(noise_variance(eigenvalues, n, e.low)) : 0;
  e.elements_left = static_cast<std::int64_t>(N - e.possible) * (M - e.possible);
  if (e.elements_left < kFewestElementsForEstimate || p - e.possible < 2) {
    e.too_small = true;
    e.high = p;
    return e;
  }
  // The count assumes that what lies past it is noise of one level; signals
  // hidden in it (an estimate inflated by many components) or uneven noise
  // spread the values otherwise, and the data then bound the rank no better.
  e.spread = spread_statistic(eigenvalues, n, e.possible);
  e.lowest = lowest_value_statistic(eigenvalues, n, e.possible);
  e.low_tail = low_tail_excess(eigenvalues, n, e.possible);
  if (std::fabs(e.spread) > kSpreadLimit) {
    e.misfit = NoiseMisfit::spread;
  } else if (e.lowest < -kTracyWidom99) {
    e.misfit = NoiseMisfit::lowest;
  } else if (e.low_tail.excess()) {
    e.misfit = NoiseMisfit::low_tail;
  }
  if (e.misfit != NoiseMisfit::none) {
    e.not_noise = true;
    e.high = p;
  }
  return e;
}

// The share of the Marchenko-Pastur law of ratio gamma = q / n' (0 < gamma
// <= 1) below x, in units of its mean: density sqrt((b - x)(x - a)) / (2 pi
// gamma x) on a..b = (1 -+ sqrt(gamma))^2 (V. A. Marchenko and L. A. Pastur,
// "Distribution of eigenvalues for some sets of random matrices",
// Mathematics of the USSR-Sbornik 1, 1967). With x = a + (b - a)(1 - cos t) / 2
// the integrand ((b - a) / 2)^2 sin^2 t / (2 pi gamma x) stays finite also at
// the hard edge a = 0 of square matrices, so Simpson's rule on t converges.
REAL marchenko_pastur_share_below(REAL x, REAL gamma) {
  const REAL root = std::sqrt(gamma);
  const REAL a = (1 - root) * (1 - root), b = (1 + root) * (1 + root);
  if (x <= a) return 0;
  if (x >= b) return 1;
  const REAL half = (b - a) / 2;
  const REAL end = std::acos(1 - (x - a) / half);
  constexpr int kSteps = 128;  // even
  const REAL h = end / kSteps;
  const auto f = [&](REAL t) {
    const REAL at = a + half * (1 - std::cos(t));
    const REAL sine = std::sin(t);
    return at > 0 ? half * half * sine * sine / (2 * std::numbers::pi_v<REAL> * gamma * at) : half / (std::numbers::pi_v<REAL> * gamma);
  };
  REAL sum = f(0) + f(end);
  for (int i = 1; i < kSteps; ++i) sum = sum + (i % 2 == 1 ? 4 : 2) * f(i * h);
  return std::min(REAL(1), sum * h / 3);
}

// The smallest values past k components against the Marchenko-Pastur law
// of noise of one level on the remaining (n - k) x q dimensions, its
// variance from their sum: the most values found at or below one of them
// beyond the count the law expects there. Components hidden among the
// remaining values inflate the variance and crowd the noise's own values
// near zero, also at the hard edge of square matrices where the smallest
// value's own law says little; uneven noise spreads values there too. The
// eigenvalues of noise repel one another, so their counts vary less than a
// Poisson count of the same mean; the limit takes that Poisson count's
// 3 standard deviations beyond 1 value: the smallest alone may stray below
// the law's lower edge by its own fluctuation, the next one above it
// seldom does. So two values far below the edge, where the law puts none,
// are too many: what the last two dimensions of a matrix of rank MIN - 2
// leave when the components before them pass for the noise.
LowTail low_tail_excess(const std::vector<REAL>& eigenvalues, std::int32_t n, std::int32_t k) {
  LowTail worst;
  const std::int32_t p = static_cast<std::int32_t>(eigenvalues.size()) - 1;
  const std::int32_t q = p - k;
  if (q < 4 || !(eigenvalues[k + 1] > 0)) return worst;
  const REAL unit = eigenvalues[k + 1];
  REAL sum = 0;
  for (std::int32_t j = k + 1; j <= p; ++j) sum = sum + eigenvalues[j] / unit;
  const REAL mean = sum / q;
  const REAL gamma = static_cast<REAL>(q) / static_cast<REAL>(n - k);
  for (std::int32_t found = 1; found <= q / 2; ++found) {
    const REAL expected = q * marchenko_pastur_share_below(eigenvalues[p + 1 - found] / unit / mean, gamma);
    const REAL beyond = found - expected - 3 * std::sqrt(expected);
    if (beyond > worst.found - worst.expected - 3 * std::sqrt(worst.expected)) worst = LowTail{found, expected};
  }
  return worst;
}

// The smallest of the q = p - k values past k components against the lower
// edge of noise of one level on the remaining (n - k) x q dimensions, its
// variance estimated from their sum as the residual test does (sum over the
// (n - k) q residual elements). For q < n - k the smallest eigenvalue of such
// noise, in units of the variance, lies near mu = (sqrt(n' - 1/2) - sqrt(q - 1/2))^2
// and scaled by s = (sqrt(n' - 1/2) - sqrt(q - 1/2)) (1/sqrt(q - 1/2) - 1/sqrt(n' - 1/2))^(1/3)
// follows a reflected TW1 law (Z. Ma, "Accuracy of the Tracy-Widom limits for
// the extreme eigenvalues in white Wishart matrices", Bernoulli 18, 2012).
// Components hidden among the remaining values inflate the variance and so
// leave the smallest far below that edge, where noise of one level never
// reaches; uneven noise spreads it below too. Returns (value - mu) / s, or 0
// where the edge does not apply (fewer than two values, or q >= n').
REAL lowest_value_statistic(const std::vector<REAL>& eigenvalues, std::int32_t n, std::int32_t k) {
  const std::int32_t p = static_cast<std::int32_t>(eigenvalues.size()) - 1;
  if (p - k < 2 || n - k <= p - k || !(eigenvalues[k + 1] > 0)) return 0;
  const REAL unit = eigenvalues[k + 1];
  REAL sum = 0;
  for (std::int32_t j = k + 1; j <= p; ++j) sum = sum + eigenvalues[j] / unit;
  const REAL samples = static_cast<REAL>(n - k), q = static_cast<REAL>(p - k);
  const REAL variance = sum / (samples * q);
  const REAL root_n = std::sqrt(samples - 0.5L), root_q = std::sqrt(q - 0.5L);
  const REAL gap = root_n - root_q;
  const REAL scale = gap * std::cbrt(1 / root_q - 1 / root_n);
  return (eigenvalues[p] / unit / variance - gap * gap) / scale;
}

// John's test of sphericity, U = q sum mu^2 / (sum mu)^2 - 1 over the q = p - k
// eigenvalues mu past k components, which stays valid when the dimension is
// of the order of the sample count: n' U - q tends to N(1, 4) (O. Ledoit and
// M. Wolf, "Some hypothesis tests for the covariance matrix when the
// dimension is large compared to the sample size", Annals of Statistics 30,
// 2002). The remaining noise is taken on n' = n - k samples. U does not depend
// on the noise level and, for Gaussian noise, not on the trace either, so its
// exact mean (q + 2)(q - 1) / (n' q + 2) follows from the Wishart moments
// E tr W = n' q, E (tr W)^2 = n' q (n' q + 2), E tr W^2 = n' q (n' + q + 1); the
// standard deviation is the limit's 2 / n'.
REAL spread_statistic(const std::vector<REAL>& eigenvalues, std::int32_t n, std::int32_t k) {
  const std::int32_t p = static_cast<std::int32_t>(eigenvalues.size()) - 1;
  const REAL q = static_cast<REAL>(p - k);
  const REAL samples = static_cast<REAL>(n - k);
  if (p - k < 2 || !(eigenvalues[k + 1] > 0)) return 0;
  // In units of the largest remaining value, where no square can overflow.
  const REAL unit = eigenvalues[k + 1];
  REAL sum = 0, squares = 0;
  for (std::int32_t j = k + 1; j <= p; ++j) {
    const REAL mu = eigenvalues[j] / unit;
    sum = sum + mu;
    squares = squares + mu * mu;
  }
  const REAL U = q * squares / (sum * sum) - 1;
  const REAL mean = (q + 2) * (q - 1) / (samples * q + 2);
  return (U - mean) * samples / 2;
}

RankVerdict judge_rank(const RankSample& x, Pause& pause, Workers& workers, const MATRIX* variances) {
  RankVerdict v;
  v.N = x.N;
  v.M = x.M;
  v.error_given = errors_known(x.ER, x.ERPR);
  const std::int32_t p = std::min(x.N, x.M);
  if (p < 1) {
    v.Q.push_back(1);
    v.cases.push_back(VerdictCase::no_matrix);
    return v;
  }
  MATRIX T(p + 1, p + 1);
  const std::vector<REAL> eigenvalues = decompose_product(x, T, pause, workers);
  v.singular = singular_values(eigenvalues);
  if (v.error_given) {
    judge_with_error(v, x, T, pause, workers, variances);
  } else {
    judge_without_error(v, x, eigenvalues, T, pause, workers);
  }
  // The limit of sight of noise of one level, with the error given of the
  // equal error whose noise edge is the verdict's.
  if (!v.not_noise && v.edge > 0)
    v.limit = limit_of_sight(v.edge / edge_per_sigma(x.N, x.M), x.N, x.M, kTracyWidom99);
  for (std::int32_t k = 1; k <= p; ++k)
    if (!std::isfinite(noise_edges(v, k)))
      verdict_overflow("a singular value divided by the noise edge overflows",
                       "the error is far too small for these data: give a larger one");
  return v;
}

NoiseEdgeKind noise_edge_kind(const RankVerdict& v) {
  if (v.equal_errors) return NoiseEdgeKind::equal_errors;
  return v.edge_drawn ? NoiseEdgeKind::drawn : NoiseEdgeKind::row_column_bound;
}

std::string verdict_noise_edge_formula(const RankVerdict& v) {
  return noise_edge_formula(noise_edge_kind(v), v.N, v.M, kSignflipDraws);
}

void write_rank_verdict(TextWriter& out, const RankVerdict& v) {
  const std::int32_t p = std::min(v.N, v.M);
  write_line(out, "Rank verdict");
  if (v.low == v.high) {
    write_line(out, "Rank: " + std::to_string(v.low));
  } else {
    write_line(out, "Rank: " + std::to_string(v.low) + " to " + std::to_string(v.high) + " (uncertain)");
  }
  write_components(out, v);
  if (p > 0) write_sigma(out, v);
  for (VerdictCase c : v.cases) write_wrapped(out, reason_text(v, c));
  write_limit_of_sight(out, v);
  const bool too_small = std::find(v.cases.begin(), v.cases.end(), VerdictCase::too_small) != v.cases.end();
  if (v.high == p && !too_small && p > 0)
    write_wrapped(out, "The verdict reaches the smaller dimension (" + std::to_string(p) +
                           "): no residual is left to test the noise on.");
  if (!v.error_given && v.sigma > 0) {
    const std::string sigma(RS(v.sigma, 10).view());
    write_wrapped(out, "Rerun with the error" + sigma + " (parameter 4) to see the significance of every pivot.");
  }
}

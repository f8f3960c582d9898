#include "verdict/verdict_text.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "common/text.h"
#include "common/text_writer.h"
#include "common/number_text.h"
#include "verdict/with_error_decision.h"

namespace {

std::string count_text(std::int64_t n, const char* singular, const char* plural) {
  return std::to_string(n) + " " + (n == 1 ? singular : plural);
}

std::string q_text(REAL Q) {
  const std::string t(RS(Q, 10).view());
  return t.substr(t.find_first_not_of(' '));
}

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

std::string faber_kowalski_text(const RankVerdict& v) {
  const std::int32_t f = v.faber_kowalski.count;
  const std::string test = "the F-test of Faber and Kowalski with the noise estimated, from the smallest eigenvalue up, ";
  if (f == 0) return test + "shows no component at the 1 % level";
  return test + "shows component " + std::to_string(f) + " at the 1 % level (P = " +
         q_text(static_cast<REAL>(v.faber_kowalski.P[static_cast<std::size_t>(f)])) + ")";
}

std::string cross_validation_text(const RankVerdict& v) {
  const CrossValidation& cv = v.cross_validation;
  const auto to = cv.from + static_cast<std::int32_t>(cv.press.size()) - 1;
  return "element-wise cross-validation (" + std::to_string(kFolds) +
         " segments) predicts the left-out elements best with " +
         count_text(cv.best, "component", "components") + " of " + std::to_string(cv.from) + " to " +
         std::to_string(to) + " tried";
}

std::string malinowski_text(const RankVerdict& v) {
  return "Malinowski's indicator function has its least value at " + std::to_string(v.malinowski);
}

// Which of the residuals' levels differ, and the test's P.
std::string levels_text(const RankVerdict& v) {
  const bool rows = v.levels.rows < v.levels_limit, columns = v.levels.columns < v.levels_limit;
  const std::string which = rows && columns ? "from row to row and from column to column"
                            : rows          ? "from row to row"
                                            : "from column to column";
  return "the residuals after " + count_text(v.evened_from, "component", "components") + " differ in level " + which +
         " (Bartlett's test, P = " + q_text(v.levels.least()) + ")";
}

std::string evened_text(const RankVerdict& v) {
  const std::int32_t k = v.low;
  const EvenedCount& c = v.evened;
  std::string text = "Evened out, the data give " + std::to_string(k) +
                     (v.evened_from_range ? "" : ", not " + std::to_string(v.evened_from)) + ": " + levels_text(v) +
                     "; scaled by row and by column so that the noise " +
                     (k == 0 ? std::string("") : "left after " + count_text(k, "component", "components") + " ") +
                     "is of one level on average (biwhitening), they show " +
                     (k == 0 ? std::string("no component") : count_text(k, "component", "components")) +
                     " at the 99 % level";
  if (!c.estimate.not_noise && c.estimate.possible == c.estimate.low)
    text += " and no further one at the 90 % level";
  else
    text += ", and the F-test of Faber and Kowalski on them names " + std::to_string(k) + " too";
  if (!v.evened_from_range)
    text += "; the count " + std::to_string(v.evened_from) + " took noisy rows or columns for components";
  return text + ".";
}

std::string further_reason(const RankVerdict& v, VerdictCase c) {
  switch (c) {
    case VerdictCase::hedge_shown:
      return "Further evidence gives " + std::to_string(v.low) + ": " + faber_kowalski_text(v) + ", and " +
             malinowski_text(v) + ".";
    case VerdictCase::hedge_within_noise:
    case VerdictCase::clear_then_noise:
    case VerdictCase::clear_without_cross_validation: {
      const std::int32_t next = v.low + 1;
      return "Further evidence gives " + std::to_string(v.low) + ": " + faber_kowalski_text(v) + ", and puts " +
             "component " + std::to_string(next) + " where the noise left after " +
             count_text(v.low, "component", "components") + " reaches in " +
             share_text(static_cast<REAL>(faber_kowalski_tail(v.faber_kowalski, next))) + " of cases" +
             (c == VerdictCase::clear_without_cross_validation
                  ? "; element-wise cross-validation of the range would take too long for this matrix."
                  : ".");
    }
    case VerdictCase::evidence_agrees:
      return "Further evidence gives " + std::to_string(v.low) + ": " + faber_kowalski_text(v) + ", and " +
             malinowski_text(v) + " too.";
    case VerdictCase::evidence_decides:
      if (v.faber_kowalski.count != v.low)
        return "Further evidence gives " + std::to_string(v.low) + ": " + cross_validation_text(v) + ", and " +
               faber_kowalski_text(v) + ", " + (v.faber_kowalski.count < v.low ? "below" : "above") +
               " the range.";
      return "Further evidence gives " + std::to_string(v.low) + ": " + faber_kowalski_text(v) + ", and " +
             cross_validation_text(v) + ".";
    case VerdictCase::evidence_differs:
      return "Uncertain: the further evidence differs: " + faber_kowalski_text(v) + ", while " +
             cross_validation_text(v) + ".";
    case VerdictCase::evidence_at_lower_end:
      return "Further evidence gives " + std::to_string(v.low) + ": " + faber_kowalski_text(v) + ", and " +
             cross_validation_text(v) + "; but a component that stands out at the 90 % level lies this close to " +
             "the noise, where these tests miss real ones as often as noise passes the 90 % level, and the range stays.";
    case VerdictCase::too_few_to_cross_validate:
      return "Further evidence: " + faber_kowalski_text(v) +
             "; element-wise cross-validation cannot weigh the range, as a fit of more than " +
             count_text(most_components_to_cross_validate(v.N, v.M), "component", "components") +
             " has as many parameters as the elements it keeps.";
    case VerdictCase::fewer_by_cross_validation:
      return "Further evidence gives " + std::to_string(v.low) + ": " + cross_validation_text(v) + ", while " +
             faber_kowalski_text(v) + ", but not at the 0.1 % level, which noise of uneven level reaches.";
    case VerdictCase::evidence_differs_uneven:
      return "Uncertain: the further evidence differs: " + faber_kowalski_text(v) + ", while " +
             cross_validation_text(v) + "; where the noise is not of one level both may take noisy rows or " +
             "columns for components, and the range keeps its lower end.";
    case VerdictCase::evidence_above_uneven:
      return "Further evidence gives " + std::to_string(v.high) + ": " + faber_kowalski_text(v) + ", and " +
             cross_validation_text(v) + "; but where the noise is not of one level both may take noisy rows or " +
             "columns for components, and the range keeps its lower end.";
    case VerdictCase::cross_validation_too_costly:
      return "Further evidence: " + faber_kowalski_text(v) +
             "; element-wise cross-validation of the range would take too long for this matrix.";
    case VerdictCase::evened_noise:
      return evened_text(v);
    case VerdictCase::cannot_tell: {
      const bool too_small = std::find(v.cases.begin(), v.cases.end(), VerdictCase::too_small) != v.cases.end();
      return std::string("Cannot tell: the range spans every count, as ") +
             (too_small ? "too few elements are left past the count to estimate the noise"
                        : "the values past the count are not noise of one level") +
             ": give the error.";
    }
    default:
      return {};
  }
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

// "component 3 lies at 1.52 edges of the 10 x 18 noise left after 2
// (edge 1.2345E-02)"
std::string against_residual(const RankVerdict& v, std::int32_t k, bool first) {
  const REAL edge = residual_edge(v, k);
  const std::string t(RS(edge, 10).view());
  return "component " + std::to_string(k) + (first ? " lies at " : " at ") + fixed_text(edge > 0 ? v.singular[k] / edge : 0, 0, 2) +
         " edges of the " + std::to_string(v.N - k + 1) + " x " + std::to_string(v.M - k + 1) +
         " noise left after " + std::to_string(k - 1) + " (edge " + t.substr(t.find_first_not_of(' ')) + ")";
}

// With the error: the last component the edge counts and the first it does
// not, each against the noise the components before it leave. Component 1
// meets the whole matrix's edge, which the block states already.
void write_residual_edges(TextWriter& out, const RankVerdict& v) {
  const std::int32_t p = std::min(v.N, v.M);
  if (!v.error_given || !v.equal_errors || !(v.edge > 0)) return;
  std::vector<std::string> parts;
  for (std::int32_t k = std::max(2, v.above_edge); k <= std::min(p, v.above_edge + 1); ++k)
    parts.push_back(against_residual(v, k, parts.empty()));
  if (parts.empty()) return;
  std::string text = "Each component is judged against the edge of the noise left after the components before it: " +
                     parts[0];
  if (parts.size() > 1) text += ", " + parts[1];
  write_wrapped(out, text + ".");
}

// The limit of sight past the verdict's lowest rank, in the noise left
// after it.
void write_residual_limit(TextWriter& out, const RankVerdict& v) {
  if (v.limit_after < 1 || !(v.residual_limit.unseen > 0) || !(v.edge > 0)) return;
  const auto value = [&](REAL s) {
    const std::string t(RS(s, 10).view());
    return t.substr(t.find_first_not_of(' ')) + " (" + fixed_text(s / v.edge, 0, 2) + " noise edges)";
  };
  write_wrapped(out, "Past " + count_text(v.limit_after, "component", "components") + ", in the " +
                         std::to_string(v.N - v.limit_after) + " x " + std::to_string(v.M - v.limit_after) +
                         " noise they leave, a further one below " + value(v.residual_limit.unseen) +
                         " would not be seen; one of " + value(v.residual_limit.clear) +
                         " would stand only at the 99 % point of that noise.");
}

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
      if (v.estimate.misfit == NoiseMisfit::low_tail)
        return "Uncertain: the values past component " + std::to_string(v.possible) +
               " do not look like noise of one level (the smallest " + std::to_string(v.estimate.low_tail.found) +
               " lie where such noise would put " + fixed_text(v.estimate.low_tail.expected, 0, 1) +
               "): more components or uneven noise may hide there; give the measurement error for a sharper "
               "answer.";
      if (v.estimate.misfit == NoiseMisfit::lowest)
        return "Uncertain: the values past component " + std::to_string(v.possible) +
               " do not look like noise of one level (the smallest lies " + fixed_text(-v.estimate.lowest, 0, 1) +
               " scales below the lower edge of such noise): more components or uneven noise may hide there; give "
               "the measurement error for a sharper answer.";
      return "Uncertain: the values past component " + std::to_string(v.possible) +
             " do not look like noise of one level (their spread lies " + fixed_text(std::fabs(v.estimate.spread), 0, 1) +
             " standard deviations " + (v.estimate.spread > 0 ? "above" : "below") +
             " that of such noise): more components or uneven noise may hide there; give the measurement error "
             "for a sharper answer.";
    case VerdictCase::too_small:
      return "Uncertain: beyond " + count_text(v.possible, "component", "components") + " only " +
             count_text(v.estimate.elements_left, "element is", "elements are") +
             " left to estimate the noise from, too few for a firm verdict; give the error.";
    case VerdictCase::misfit_alone:
    case VerdictCase::edge_alone:
    case VerdictCase::shown_together:
    case VerdictCase::signflip_lower_end:
    case VerdictCase::signflip_doubt:
    case VerdictCase::signflip_too_costly:
      return second_round_reason(v, c);
    case VerdictCase::evidence_decides:
    case VerdictCase::evidence_differs:
    case VerdictCase::evidence_at_lower_end:
    case VerdictCase::evidence_above_uneven:
    case VerdictCase::evidence_differs_uneven:
    case VerdictCase::fewer_by_cross_validation:
    case VerdictCase::hedge_shown:
    case VerdictCase::hedge_within_noise:
    case VerdictCase::evidence_agrees:
    case VerdictCase::clear_then_noise:
    case VerdictCase::cross_validation_too_costly:
    case VerdictCase::clear_without_cross_validation:
    case VerdictCase::too_few_to_cross_validate:
    case VerdictCase::cannot_tell:
    case VerdictCase::evened_noise:
      return further_reason(v, c);
  }
  return {};
}

}  // namespace

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
  write_residual_edges(out, v);
  write_limit_of_sight(out, v);
  write_residual_limit(out, v);
  const bool too_small = std::find(v.cases.begin(), v.cases.end(), VerdictCase::too_small) != v.cases.end();
  if (v.high == p && !too_small && p > 0)
    write_wrapped(out, "The verdict reaches the smaller dimension (" + std::to_string(p) +
                           "): no residual is left to test the noise on.");
  if (!v.error_given && v.sigma > 0) {
    const std::string sigma(RS(v.sigma, 10).view());
    write_wrapped(out, "Rerun with the error" + sigma + " (parameter 4) to see the significance of every pivot.");
  }
}

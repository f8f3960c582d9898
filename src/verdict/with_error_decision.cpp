#include "verdict/with_error_decision.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "verdict/combined_evidence.h"

namespace {

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


}  // namespace

// The evidence for component r + 1 after r: how often noise alone puts its
// singular value where it lies, and the residual test after r, combined.
REAL evidence_after(const RankVerdict& v, std::int32_t r) {
  const std::int32_t p = static_cast<std::int32_t>(v.singular.size()) - 1;
  if (r >= p) return 1;
  const REAL tail = r + 1 < static_cast<std::int32_t>(v.tail.size()) ? v.tail[r + 1] : 1;
  const REAL q = r < static_cast<std::int32_t>(v.Q.size()) ? v.Q[r] : 1;
  return fisher_combination(tail, q);
}

std::int32_t count_above_edge(const std::vector<REAL>& singular, REAL sigma, std::int32_t N, std::int32_t M,
                              bool of_residual) {
  std::int32_t k = 0;
  while (k + 1 < static_cast<std::int32_t>(singular.size()) &&
         singular[k + 1] > sigma * residual_edge_per_sigma(N, M, of_residual ? k + 1 : 1))
    ++k;
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
                               REAL quantile, bool of_residual) {
  const std::int32_t n = std::max(N, M);
  const std::int32_t p = std::min(N, M);
  if (n < 1 || !(sigma > 0)) return 0;
  if (!of_residual && n < 2) return singular[1] * singular[1] > sigma * sigma * single_value_point(quantile) ? 1 : 0;
  std::int32_t k = 0;
  const REAL variance = sigma * sigma;
  for (std::int32_t c = 1; c <= p; ++c) {
    // The noise left after c - 1 components: (n - c + 1) x (p - c + 1).
    const std::int32_t rows = of_residual ? n - c + 1 : n, columns = p - c + 1;
    const REAL point = rows < 2 ? single_value_point(quantile) : tracy_widom_point(rows, columns, quantile);
    const REAL s = singular[c];
    if (!(s * s > variance * point)) break;
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

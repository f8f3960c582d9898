#include "analysis/analysis_results.h"

#include <cmath>

namespace {

// Root mean square of the elements' standard deviations over rows
// from..rows and columns from..columns of the variances. Each variance is
// divided by the count before it is added, so that the mean of variances
// near the top of the range stays finite.
REAL rms_error(const MATRIX& variances, std::int32_t from, std::int32_t rows, std::int32_t columns) {
  if (rows < from || columns < from) return 0;
  const REAL count = static_cast<REAL>(rows - from + 1) * static_cast<REAL>(columns - from + 1);
  REAL mean = 0;
  for (std::int32_t i = from; i <= rows; ++i)
    for (std::int32_t j = from; j <= columns; ++j) mean += variances[i][j] / count;
  return std::sqrt(mean);
}

const std::string* text_of(const std::vector<std::string>& texts, std::int64_t original) {
  return original > 0 && static_cast<std::size_t>(original) < texts.size() ? &texts[static_cast<std::size_t>(original)]
                                                                             : nullptr;
}

Label label_of(REAL original, REAL label, bool titled, const std::vector<std::string>& texts) {
  Label l;
  l.number = std::llround(original);
  l.titled = titled;
  l.title = label;
  if (const std::string* text = titled ? text_of(texts, l.number) : nullptr) l.text = *text;
  return l;
}

std::vector<PivotResult> pivots_of(const RunState& s, bool errors) {
  std::vector<PivotResult> pivots;
  for (std::int32_t i = 1; i <= s.MIN; ++i) {
    PivotResult& p = pivots.emplace_back();
    p.value = s.A[0][i];
    p.variance = errors ? s.SD[i][i] : 0;
    const REAL row = keeps_original_row_numbers(s) ? s.RW[i][1] : s.RO[i][1];
    const REAL column = keeps_original_column_numbers(s) ? s.CW[1][i] : s.CO[1][i];
    p.row = label_of(row, s.RO[i][1], s.settings.BTOR, s.row_title_texts);
    p.column = label_of(column, s.CO[1][i], s.settings.CTOC, s.column_title_texts);
  }
  return pivots;
}

std::vector<EigenvalueResult> eigenvalues_of(const RunState& s, bool errors) {
  std::vector<EigenvalueResult> eigenvalues;
  for (std::int32_t I = 1; I <= s.MIN; ++I) {
    EigenvalueResult& e = eigenvalues.emplace_back();
    e.position = std::llround(s.RO[I][1]);
    e.value = s.DE[I][1];
    e.variance = errors ? s.EE[I][1] : 0;
    if (static_cast<std::size_t>(I) <= s.eigen_tests.size()) e.test = s.eigen_tests[static_cast<std::size_t>(I - 1)];
  }
  return eigenvalues;
}

}  // namespace

AnalysisResults collect_analysis_results(const RunState& s) {
  AnalysisResults r;
  r.ran = s.NU != 0;
  r.eigenvalue_mode = s.JEV;
  r.product_matrix = s.settings.ITRN;
  // A run of a tall matrix's sums holds no element variances, yet its
  // eigenvalues have theirs and its tests were made with the error.
  r.errors = errors_known(s.MER, s.MERPR) && (s.SD.allocated() || s.given_tests != nullptr);
  r.table_steps = s.FTW;
  r.N = s.N;
  r.M = s.M;
  r.steps = s.NU;
  if (!r.ran) return r;
  if (!r.eigenvalue_mode) {
    r.pivots = pivots_of(s, r.errors);
    return r;
  }
  if (!s.DE.allocated()) return r;
  r.eigenvalues = eigenvalues_of(s, r.errors);
  r.eigenvalues_examined = static_cast<std::int32_t>(s.eigen_tests.size());
  if (r.errors && s.SD.allocated()) {
    r.noise = noise_edge_of_variances(s.SD, s.N, s.M);
    r.square_rms_error = rms_error(s.SD, 1, s.MIN, s.MIN);
  }
  return r;
}

HistogramResult collect_histogram(const RunState& s) {
  HistogramResult h;
  h.classes = s.GL;
  h.columns = s.GK;
  h.lowest_edge = s.GA;
  h.width = s.settings.RGAUSS;
  h.counts.assign(static_cast<std::size_t>(s.GL) + 1, std::vector<REAL>(static_cast<std::size_t>(s.GK) + 1));
  for (std::int32_t i = 1; i <= s.GL; ++i)
    for (std::int32_t j = 1; j <= s.GK; ++j) h.counts[i][j] = s.GB[i][j];
  h.largest = s.histogram_largest;
  h.remainder_error = s.remainder_errors;
  return h;
}

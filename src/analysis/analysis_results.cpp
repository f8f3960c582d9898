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

std::vector<PivotResult> pivots_of(const AnalysisRun& s, bool errors) {
  std::vector<PivotResult> pivots;
  for (std::int32_t i = 1; i <= s.work.MIN; ++i) {
    PivotResult& p = pivots.emplace_back();
    p.value = s.table.A[0][i];
    p.variance = errors ? s.work.SD[i][i] : 0;
    const REAL row = keeps_original_row_numbers(s.table) ? s.table.RW[i][1] : s.table.RO[i][1];
    const REAL column = keeps_original_column_numbers(s.table) ? s.table.CW[1][i] : s.table.CO[1][i];
    p.row = label_of(row, s.table.RO[i][1], s.table.row_titles, s.table.row_title_texts);
    p.column = label_of(column, s.table.CO[1][i], s.table.column_titles, s.table.column_title_texts);
  }
  return pivots;
}

std::vector<EigenvalueResult> eigenvalues_of(const AnalysisRun& s, bool errors) {
  std::vector<EigenvalueResult> eigenvalues;
  for (std::int32_t I = 1; I <= s.work.MIN; ++I) {
    EigenvalueResult& e = eigenvalues.emplace_back();
    e.position = std::llround(s.table.RO[I][1]);
    e.value = s.work.DE[I][1];
    e.variance = errors ? s.work.EE[I][1] : 0;
    if (static_cast<std::size_t>(I) <= s.work.eigen_tests.size()) e.test = s.work.eigen_tests[static_cast<std::size_t>(I - 1)];
  }
  return eigenvalues;
}

}  // namespace

AnalysisResults collect_analysis_results(const AnalysisRun& s) {
  AnalysisResults r;
  r.ran = s.plan.NU != 0;
  r.eigenvalue_mode = s.plan.JEV;
  r.product_matrix = s.plan.ITRN;
  // A run of a tall matrix's sums holds no element variances, yet its
  // eigenvalues have theirs and its tests were made with the error.
  r.errors = errors_known(s.plan) && (s.work.SD.allocated() || s.work.given_tests != nullptr);
  r.table_steps = s.plan.FTW;
  r.N = s.table.N;
  r.M = s.table.M;
  r.steps = s.plan.NU;
  if (!r.ran) return r;
  if (!r.eigenvalue_mode) {
    r.pivots = pivots_of(s, r.errors);
    return r;
  }
  if (!s.work.DE.allocated()) return r;
  r.eigenvalues = eigenvalues_of(s, r.errors);
  r.eigenvalues_examined = static_cast<std::int32_t>(s.work.eigen_tests.size());
  if (r.errors && s.work.SD.allocated()) {
    r.noise = noise_edge_of_variances(s.work.SD, s.table.N, s.table.M);
    r.square_rms_error = rms_error(s.work.SD, 1, s.work.MIN, s.work.MIN);
  }
  return r;
}

HistogramResult collect_histogram(const AnalysisRun& s) {
  HistogramResult h;
  h.classes = s.work.GL;
  h.columns = s.work.GK;
  h.lowest_edge = s.work.GA;
  h.width = s.plan.RGAUSS;
  h.counts.assign(static_cast<std::size_t>(s.work.GL) + 1, std::vector<REAL>(static_cast<std::size_t>(s.work.GK) + 1));
  for (std::int32_t i = 1; i <= s.work.GL; ++i)
    for (std::int32_t j = 1; j <= s.work.GK; ++j) h.counts[i][j] = s.work.GB[i][j];
  h.largest = s.work.histogram_largest;
  h.remainder_error = s.work.remainder_errors;
  return h;
}

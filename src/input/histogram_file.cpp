#include "input/histogram_file.h"

#include <cmath>
#include <string>

#include "analysis/histogram.h"
#include "common/run_error.h"
#include "common/program_run.h"
#include "common/text_writer.h"
#include "common/number_text.h"
#include "report/output_file.h"
#include "report/output_names.h"

namespace {

REAL largest_magnitude(const ProgramRun& s) {
  REAL largest = 0;
  for (std::int32_t i = 1; i <= s.table.N; ++i)
    for (std::int32_t j = 1; j <= s.table.M; ++j)
      if (std::fabs(s.table.A[i][j]) > largest) largest = std::fabs(s.table.A[i][j]);
  return largest;
}

// A class width far below the range of the elements would ask for millions
// of classes, gigabytes of memory and a histogram file to match.
void check_histogram_size(REAL RGAUSS, REAL largest, REAL half_bins, std::int32_t columns) {
  if (half_bins <= kMaxHistogramClasses / 2 && 2 * half_bins * (columns + 1) <= kMaxHistogramCells) return;
  throw RunError(kSettingOutOfRange,
                 "the histogram class width" + scientific_text(RGAUSS, 14) + " is too small for elements up to" +
                     scientific_text(largest, 14) + ": it would need " + fixed_text(2 * half_bins, 0, 0) +
                     " classes of " + std::to_string(columns) + " counts; at most " +
                     std::to_string(kMaxHistogramClasses) + " classes and " + std::to_string(kMaxHistogramCells) +
                     " counts in all are supported.",
                 RunError::Kind::data);
}

// A column that received no count keeps its zeros instead of 0/0.
void scale_histogram_columns(ProgramRun& s) {
  s.work.histogram_largest.assign(static_cast<std::size_t>(s.work.GK) + 1, 0);
  for (std::int32_t j = 1; j <= s.work.GK; ++j) {
    REAL largest = 0;
    for (std::int32_t i = 1; i <= s.work.GL; ++i)
      if (s.work.GB[i][j] > largest) largest = s.work.GB[i][j];
    s.work.histogram_largest[static_cast<std::size_t>(j)] = largest;
    if (largest == 0) continue;
    for (std::int32_t i = 1; i <= s.work.GL; ++i) s.work.GB[i][j] = s.work.GB[i][j] / largest;
  }
}

}  // namespace

void prepare_histogram(ProgramRun& s) {
  // GA holds the largest magnitude first, then the lower edge of bin 1.
  s.work.GA = largest_magnitude(s);
  const REAL half_bins = std::trunc(s.work.GA / s.settings.RGAUSS) + 1;
  const std::int32_t columns = s.plan.NU > 0 ? s.plan.NU + 1 : s.work.MIN + 1;
  check_histogram_size(s.settings.RGAUSS, s.work.GA, half_bins, columns);
  s.work.GL = 2 * static_cast<std::int32_t>(half_bins);
  s.work.GA = -(s.work.GL / 2) * s.settings.RGAUSS;
  s.work.GK = columns;
  s.work.GB = MATRIX(s.work.GL + 1, s.work.GK + 1);
  for (std::int32_t i = 1; i <= s.work.GL; ++i) s.work.GB[i][0] = (i - (s.work.GL + 1) / 2.0L) * s.settings.RGAUSS;
  for (std::int32_t i = 1; i <= s.table.N; ++i)
    for (std::int32_t j = 1; j <= s.table.M; ++j) {
      const std::int32_t b = input_histogram_bin(s.table.A[i][j], s.work.GA, s.settings.RGAUSS, s.work.GL);
      if (b != 0) s.work.GB[b][1] = s.work.GB[b][1] + 1;
    }
}

void write_histogram_file(ProgramRun& s) {
  scale_histogram_columns(s);
  TextWriter file = create_output_file(s, std::string(kHistogramFileName), "histogram file", OutputName::chosen);
  for (std::int32_t i = 1; i <= s.work.GL; ++i) {
    write_scientific(file, s.work.GB[i][0], s.settings.KW1 + 6);
    for (std::int32_t j = 1; j <= s.work.GK; ++j) write_fixed(file, s.work.GB[i][j], 10, 7);
    file.line_end();
  }
  for (std::int32_t j = 1; j <= s.work.GK; ++j) write_fixed(file, s.work.GB[1][j], 10, 7);
  file.line_end();
  file.close();
}

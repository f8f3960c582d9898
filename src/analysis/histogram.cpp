#include "analysis/histogram.h"

#include <cmath>
#include <string>
#include <vector>

#include "common/run_error.h"
#include "common/run_state.h"
#include "common/text_writer.h"
#include "report/number_text.h"
#include "report/output_file.h"
#include "report/output_names.h"

namespace {

REAL largest_magnitude(const RunState& s) {
  REAL largest = 0;
  for (std::int32_t i = 1; i <= s.N; ++i)
    for (std::int32_t j = 1; j <= s.M; ++j)
      if (std::fabs(s.A[i][j]) > largest) largest = std::fabs(s.A[i][j]);
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
void scale_histogram_columns(RunState& s) {
  s.histogram_largest.assign(static_cast<std::size_t>(s.GK) + 1, 0);
  for (std::int32_t j = 1; j <= s.GK; ++j) {
    REAL largest = 0;
    for (std::int32_t i = 1; i <= s.GL; ++i)
      if (s.GB[i][j] > largest) largest = s.GB[i][j];
    s.histogram_largest[static_cast<std::size_t>(j)] = largest;
    if (largest == 0) continue;
    for (std::int32_t i = 1; i <= s.GL; ++i) s.GB[i][j] = s.GB[i][j] / largest;
  }
}

// The class of v counted from 1 at the lower edge GA, before any range rule.
REAL class_index(REAL v, REAL GA, REAL RGAUSS) { return std::trunc((v - GA) / RGAUSS) + 1; }

}  // namespace

std::int32_t input_histogram_bin(REAL v, REAL GA, REAL RGAUSS, std::int32_t GL) {
  const REAL index = class_index(v, GA, RGAUSS);
  if (!(index >= 1) || !(index <= REAL(GL) + 1)) return 0;
  const auto b = static_cast<std::int32_t>(index);
  return b > GL ? GL : b;
}

std::int32_t remainder_histogram_bin(REAL v, REAL GA, REAL RGAUSS, std::int32_t GL) {
  const REAL index = class_index(v, GA, RGAUSS);
  if (!(index >= 1) || !(index <= REAL(GL))) return 0;
  return static_cast<std::int32_t>(index);
}

void prepare_histogram(RunState& s) {
  // GA holds the largest magnitude first, then the lower edge of bin 1.
  s.GA = largest_magnitude(s);
  const REAL half_bins = std::trunc(s.GA / s.settings.RGAUSS) + 1;
  const std::int32_t columns = s.NU > 0 ? s.NU + 1 : s.MIN + 1;
  check_histogram_size(s.settings.RGAUSS, s.GA, half_bins, columns);
  s.GL = 2 * static_cast<std::int32_t>(half_bins);
  s.GA = -(s.GL / 2) * s.settings.RGAUSS;
  s.GK = columns;
  s.GB = MATRIX(s.GL + 1, s.GK + 1);
  for (std::int32_t i = 1; i <= s.GL; ++i) s.GB[i][0] = (i - (s.GL + 1) / 2.0L) * s.settings.RGAUSS;
  for (std::int32_t i = 1; i <= s.N; ++i)
    for (std::int32_t j = 1; j <= s.M; ++j) {
      const std::int32_t b = input_histogram_bin(s.A[i][j], s.GA, s.settings.RGAUSS, s.GL);
      if (b != 0) s.GB[b][1] = s.GB[b][1] + 1;
    }
}

namespace {

// The root mean square of the remainder's propagated errors after step I,
// for the picture's normal curve of that remainder: each variance divided by
// the count before it is added, so that the mean stays finite near the top
// of the range.
void keep_remainder_error(RunState& s, std::int32_t I) {
  if (!s.settings.YPLOT || !s.SD.allocated() || I >= s.N || I >= s.M) return;
  const REAL count = static_cast<REAL>(s.N - I) * static_cast<REAL>(s.M - I);
  REAL mean = 0;
  for (std::int32_t J = I + 1; J <= s.N; ++J)
    for (std::int32_t K = I + 1; K <= s.M; ++K) mean += s.SD[J][K] / count;
  if (s.remainder_errors.size() <= static_cast<std::size_t>(I)) s.remainder_errors.resize(static_cast<std::size_t>(I) + 1);
  s.remainder_errors[static_cast<std::size_t>(I)] = std::sqrt(mean);
}

}  // namespace

void count_remainder_histogram(RunState& s, std::int32_t I) {
  const std::int32_t column = I + 1;
  if (column > s.GK) return;
  keep_remainder_error(s, I);
  // Finding an element's class costs a division; counting it, little. Each
  // part counts its rows into classes of its own, which are added to the
  // column afterwards. The counts are whole numbers far below 2^64, exact
  // in REAL, so adding a part's count at once gives the value that adding 1
  // for each element gives.
  const std::int64_t elements = static_cast<std::int64_t>(s.N - I) * (s.M - I);
  const std::int64_t classes = s.GL + 1;
  int parts = s.workers.parts_for(4 * elements, s.N - I);
  if (parts > 1 && classes * parts > elements) parts = 1;
  if (parts == 1) {
    for (std::int32_t J = I + 1; J <= s.N; ++J)
      for (std::int32_t K = I + 1; K <= s.M; ++K) {
        const std::int32_t L = remainder_histogram_bin(s.A[J][K], s.GA, s.settings.RGAUSS, s.GL);
        if (L != 0) s.GB[L][column] = s.GB[L][column] + 1;
      }
    return;
  }
  std::vector<std::int64_t> counts(static_cast<std::size_t>(classes * parts));
  s.workers.run(parts, [&](int part) {
    std::int64_t* count = counts.data() + classes * part;
    const PartRange rows = part_range(I + 1, s.N, parts, part);
    for (std::int32_t J = rows.from; J <= rows.to; ++J)
      for (std::int32_t K = I + 1; K <= s.M; ++K) ++count[remainder_histogram_bin(s.A[J][K], s.GA, s.settings.RGAUSS, s.GL)];
  });
  for (std::int32_t L = 1; L <= s.GL; ++L) {
    std::int64_t total = 0;
    for (int part = 0; part < parts; ++part) total += counts[static_cast<std::size_t>(classes * part + L)];
    if (total != 0) s.GB[L][column] = s.GB[L][column] + static_cast<REAL>(total);
  }
}

void write_histogram_file(RunState& s) {
  scale_histogram_columns(s);
  TextWriter file = create_output_file(s, std::string(kHistogramFileName), "histogram file", OutputName::chosen);
  for (std::int32_t i = 1; i <= s.GL; ++i) {
    write_scientific(file, s.GB[i][0], s.settings.KW1 + 6);
    for (std::int32_t j = 1; j <= s.GK; ++j) write_fixed(file, s.GB[i][j], 10, 7);
    file.line_end();
  }
  for (std::int32_t j = 1; j <= s.GK; ++j) write_fixed(file, s.GB[1][j], 10, 7);
  file.line_end();
  file.close();
}

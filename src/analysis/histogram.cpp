#include "analysis/histogram.h"

#include <cmath>
#include <vector>

#include "common/analysis_workspace.h"
#include "common/workers.h"

namespace {

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

namespace {

// The root mean square of the remainder's propagated errors after step I,
// for the picture's normal curve of that remainder: each variance divided by
// the count before it is added, so that the mean stays finite near the top
// of the range.
void keep_remainder_error(AnalysisRun& s, std::int32_t I) {
  if (!s.plan.remainder_errors || !s.work.SD.allocated() || I >= s.table.N || I >= s.table.M) return;
  const REAL count = static_cast<REAL>(s.table.N - I) * static_cast<REAL>(s.table.M - I);
  REAL mean = 0;
  for (std::int32_t J = I + 1; J <= s.table.N; ++J)
    for (std::int32_t K = I + 1; K <= s.table.M; ++K) mean += s.work.SD[J][K] / count;
  if (s.work.remainder_errors.size() <= static_cast<std::size_t>(I)) s.work.remainder_errors.resize(static_cast<std::size_t>(I) + 1);
  s.work.remainder_errors[static_cast<std::size_t>(I)] = std::sqrt(mean);
}

}  // namespace

void count_remainder_histogram(AnalysisRun& s, std::int32_t I) {
  const std::int32_t column = I + 1;
  if (column > s.work.GK) return;
  keep_remainder_error(s, I);
  // Finding an element's class costs a division; counting it, little. Each
  // part counts its rows into classes of its own, which are added to the
  // column afterwards. The counts are whole numbers far below 2^64, exact
  // in REAL, so adding a part's count at once gives the value that adding 1
  // for each element gives.
  const std::int64_t elements = static_cast<std::int64_t>(s.table.N - I) * (s.table.M - I);
  const std::int64_t classes = s.work.GL + 1;
  int parts = s.workers.parts_for(4 * elements, s.table.N - I);
  if (parts > 1 && classes * parts > elements) parts = 1;
  if (parts == 1) {
    for (std::int32_t J = I + 1; J <= s.table.N; ++J)
      for (std::int32_t K = I + 1; K <= s.table.M; ++K) {
        const std::int32_t L = remainder_histogram_bin(s.table.A[J][K], s.work.GA, s.plan.RGAUSS, s.work.GL);
        if (L != 0) s.work.GB[L][column] = s.work.GB[L][column] + 1;
      }
    return;
  }
  std::vector<std::int64_t> counts(static_cast<std::size_t>(classes * parts));
  s.workers.run(parts, [&](int part) {
    std::int64_t* count = counts.data() + classes * part;
    const PartRange rows = part_range(I + 1, s.table.N, parts, part);
    for (std::int32_t J = rows.from; J <= rows.to; ++J)
      for (std::int32_t K = I + 1; K <= s.table.M; ++K) ++count[remainder_histogram_bin(s.table.A[J][K], s.work.GA, s.plan.RGAUSS, s.work.GL)];
  });
  for (std::int32_t L = 1; L <= s.work.GL; ++L) {
    std::int64_t total = 0;
    for (int part = 0; part < parts; ++part) total += counts[static_cast<std::size_t>(classes * part + L)];
    if (total != 0) s.work.GB[L][column] = s.work.GB[L][column] + static_cast<REAL>(total);
  }
}

#include "analysis/histogram.h"

#include <cmath>
#include <vector>

#include "common/run_state.h"

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

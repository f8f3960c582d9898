#include "analysis/remainder_stats.h"

#include <cmath>

#include "common/analysis_workspace.h"
#include "common/workers.h"

namespace {

// Fills AR[first..first+3][I] from the remainder, each element taken through value().
template <typename Value>
void describe(AnalysisRun& s, std::int32_t I, int first, REAL F, Value value) {
  REAL sum = 0;
  for (std::int32_t L = I; L <= s.table.N; ++L)
    for (std::int32_t J = I; J <= s.table.M; ++J) sum = sum + value(s.table.A[L][J]);
  const REAL c = sum / F;
  REAL q2 = 0, q3 = 0, q4 = 0;
  for (std::int32_t L = I; L <= s.table.N; ++L)
    for (std::int32_t J = I; J <= s.table.M; ++J) {
      const REAL d = value(s.table.A[L][J]) - c;
      const REAL d2 = d * d;
      q2 = q2 + d2;
      q3 = q3 + d2 * d;
      q4 = q4 + d2 * d2;
    }
  const REAL z = std::sqrt(q2 / (F - 1));
  s.work.AR[first][I] = c;
  s.work.AR[first + 1][I] = z;
  if (z == 0) {
    s.work.AR[first + 2][I] = -1;
    s.work.AR[first + 3][I] = -1;
    return;
  }
  s.work.AR[first + 2][I] = q3 / z / z / z / std::sqrt(6 * F);
  const REAL v = z * z;
  s.work.AR[first + 3][I] = (q4 / v / v / F - 3) / std::sqrt(24 / F);
}

}  // namespace

void remainder_statistics(AnalysisRun& s, std::int32_t I) {
  const REAL F = static_cast<REAL>(s.table.N - I + 1) * static_cast<REAL>(s.table.M - I + 1);
  if (F < 2) {
    for (int j = 1; j <= 8; ++j) s.work.AR[j][I] = -1;
    return;
  }
  // The signed and the absolute values have sums of their own, each formed
  // in row-major order by one thread.
  const auto half = [&](int part) {
    if (part == 0) {
      describe(s, I, 1, F, [](REAL x) { return x; });
    } else {
      describe(s, I, 5, F, [](REAL x) { return std::fabs(x); });
    }
  };
  const std::int64_t elements = static_cast<std::int64_t>(s.table.N - I + 1) * (s.table.M - I + 1);
  share_range(s.workers, 0, 1, 2 * elements, [&](std::int32_t from, std::int32_t to) {
    for (std::int32_t part = from; part <= to; ++part) half(part);
  });
}

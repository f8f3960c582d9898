#include "analysis/noise_edge.h"

#include <algorithm>
#include <cmath>
#include <vector>

NoiseEdge noise_edge_of_variances(const MATRIX& SD, std::int32_t N, std::int32_t M) {
  NoiseEdge v;
  std::vector<REAL> column_sums(static_cast<std::size_t>(M) + 1);
  REAL total = 0, largest_row = 0;
  const REAL first = SD[1][1];
  for (std::int32_t i = 1; i <= N; ++i) {
    REAL row = 0;
    for (std::int32_t j = 1; j <= M; ++j) {
      const REAL e = SD[i][j];
      row = row + e;
      column_sums[j] = column_sums[j] + e;
      v.equal = v.equal && e == first;
      v.included += e > 0;
    }
    largest_row = std::max(largest_row, row);
    total = total + row;
  }
  const REAL largest_column = *std::max_element(column_sums.begin() + 1, column_sums.end());
  v.rms = std::sqrt(total / (static_cast<REAL>(N) * M));
  v.edge = std::sqrt(largest_row) + std::sqrt(largest_column);
  if (!std::isfinite(total)) v.edge = total;
  return v;
}

REAL noise_edge_of_sigma(REAL sigma, std::int32_t N, std::int32_t M) {
  return sigma * (std::sqrt(static_cast<REAL>(N)) + std::sqrt(static_cast<REAL>(M)));
}

std::string noise_edge_formula(NoiseEdgeKind kind, std::int32_t N, std::int32_t M, int draws) {
  switch (kind) {
    case NoiseEdgeKind::row_column_bound:
      return "sqrt(largest row sum) + sqrt(largest column sum) of the element variances";
    case NoiseEdgeKind::drawn:
      return "the largest singular value of " + std::to_string(draws) +
             " matrices of the elements' errors with random signs";
    case NoiseEdgeKind::equal_errors:
      break;
  }
  return "sigma x (sqrt(" + std::to_string(N) + ") + sqrt(" + std::to_string(M) + "))";
}

std::string sigma_origin(bool error_given, bool equal_errors) {
  if (!error_given) return "estimated from the data";
  return equal_errors ? "given" : "given; root mean square of the elements' errors";
}

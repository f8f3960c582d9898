#include "analysis/noise_edge.h"

#include <algorithm>
#include <cmath>
#include <vector>

VarianceSums variance_sums(const MATRIX& SD, std::int32_t N, std::int32_t M) {
  VarianceSums s;
  s.column_sums.assign(static_cast<std::size_t>(M), 0);
  s.first = SD[1][1];
  for (std::int32_t i = 1; i <= N; ++i) {
    REAL row = 0;
    for (std::int32_t j = 1; j <= M; ++j) {
      const REAL e = SD[i][j];
      REAL& column = s.column_sums[static_cast<std::size_t>(j - 1)];
      row = row + e;
      column = column + e;
      s.equal = s.equal && e == s.first;
      s.included += e > 0;
    }
    s.largest_row = std::max(s.largest_row, row);
    s.total = s.total + row;
  }
  return s;
}

VarianceSums added_variance_sums(const VarianceSums& a, const VarianceSums& b) {
  VarianceSums s = a;
  for (std::size_t j = 0; j < s.column_sums.size(); ++j) s.column_sums[j] = a.column_sums[j] + b.column_sums[j];
  s.total = a.total + b.total;
  s.largest_row = std::max(a.largest_row, b.largest_row);
  s.included = a.included + b.included;
  s.equal = a.equal && b.equal && a.first == b.first;
  return s;
}

NoiseEdge noise_edge_of_sums(const VarianceSums& sums, std::int64_t N, std::int32_t M) {
  NoiseEdge v;
  v.equal = sums.equal;
  v.included = sums.included;
  const REAL largest_column = *std::max_element(sums.column_sums.begin(), sums.column_sums.end());
  // Equal errors: the error itself, whatever the shape or the order of the
  // sums (a mean of N x M equal variances may differ from them in its last
  // bit, and the text of sigma with it).
  v.rms = sums.equal ? std::sqrt(sums.first) : std::sqrt(sums.total / (static_cast<REAL>(N) * M));
  v.edge = std::sqrt(sums.largest_row) + std::sqrt(largest_column);
  if (!std::isfinite(sums.total)) v.edge = sums.total;
  return v;
}

NoiseEdge noise_edge_of_variances(const MATRIX& SD, std::int32_t N, std::int32_t M) {
  return noise_edge_of_sums(variance_sums(SD, N, M), N, M);
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

#include "verdict/even_noise.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "numeric/gamma.h"

namespace {

// A row or column that the first components hold almost alone leaves next
// to nothing of its noise; its share left stops here, so that its variance
// is not blown up without bound.
constexpr REAL kLeastShareLeft = 1e-3L;
// Sinkhorn's rounds end when no scale moves by more than this share.
constexpr REAL kSinkhornSettled = 1e-12L;
// A residual within this many roundings of the largest singular value is
// the rounding of an exact fit, not noise: it counts as 0, and gives its row
// and column no level (their scales stay at 1).
constexpr REAL kRoundings = 64 * std::numeric_limits<REAL>::epsilon();

// The residual after k components, with each row's and column's share of
// its noise left (1 - h_i, 1 - g_j).
struct Residual {
  MATRIX R;
  std::vector<REAL> rows, columns;
};

Residual residual_after(const FlipData& d, std::int32_t k, Workers& workers) {
  const Components f = leading_components(d, k, workers);
  Residual r{MATRIX(d.N + 1, d.M + 1), shares_left(f.u, d.N, k), shares_left(f.v, d.M, k)};
  const REAL rounding = kRoundings * d.singular[1];
  for (std::int32_t i = 1; i <= d.N; ++i)
    for (std::int32_t j = 1; j <= d.M; ++j) {
      REAL fit = 0;
      for (std::int32_t c = 0; c < k; ++c)
        fit = fit + d.singular[c + 1] * f.u[static_cast<std::size_t>(i) * k + c] *
                        f.v[static_cast<std::size_t>(j) * k + c];
      const REAL left = d.A[i][j] - fit;
      r.R[i][j] = std::fabs(left) > rounding ? left : 0;
    }
  return r;
}

// Bartlett's statistic over groups of sums of squares S with degrees of
// freedom df (index 1..): P of equal variances.
REAL bartlett_probability(const std::vector<REAL>& S, const std::vector<REAL>& df, Pause& pause) {
  REAL total_df = 0, total_S = 0, logs = 0, inverses = 0;
  std::int32_t groups = 0;
  for (std::size_t i = 1; i < S.size(); ++i) {
    if (!(df[i] > 0.5L) || !(S[i] > 0)) continue;
    ++groups;
    total_df = total_df + df[i];
    total_S = total_S + S[i];
    logs = logs + df[i] * std::log(S[i] / df[i]);
    inverses = inverses + 1 / df[i];
  }
  if (groups < 2) return 1;
  const REAL statistic = total_df * std::log(total_S / total_df) - logs;
  const REAL correction = 1 + (inverses - 1 / total_df) / (3 * static_cast<REAL>(groups - 1));
  return GAMMQ(static_cast<REAL>(groups - 1) / 2, std::max(statistic / correction, REAL(0)) / 2, pause);
}

// The variances of the noise left after k, each square over its share
// left squared.
MATRIX noise_variances(const Residual& r, std::int32_t N, std::int32_t M) {
  MATRIX V(N + 1, M + 1);
  for (std::int32_t i = 1; i <= N; ++i) {
    const REAL row = std::max(r.rows[i], kLeastShareLeft);
    for (std::int32_t j = 1; j <= M; ++j) {
      const REAL share = row * std::max(r.columns[j], kLeastShareLeft);
      V[i][j] = r.R[i][j] * r.R[i][j] / (share * share);
    }
  }
  return V;
}

// One half round of Sinkhorn's scaling: each row's scale so that its
// scaled variances have the mean 1 (a row with none keeps its scale);
// returns the largest relative move.
REAL scale_rows(const MATRIX& V, std::vector<REAL>& x, const std::vector<REAL>& y, std::int32_t N, std::int32_t M) {
  REAL moved = 0;
  for (std::int32_t i = 1; i <= N; ++i) {
    REAL sum = 0;
    for (std::int32_t j = 1; j <= M; ++j) sum = sum + V[i][j] * y[j];
    if (!(sum > 0)) continue;
    const REAL next = static_cast<REAL>(M) / sum;
    moved = std::max(moved, std::fabs(next / x[i] - 1));
    x[i] = next;
  }
  return moved;
}

REAL scale_columns(const MATRIX& V, const std::vector<REAL>& x, std::vector<REAL>& y, std::int32_t N,
                   std::int32_t M) {
  std::vector<REAL> sums(static_cast<std::size_t>(M) + 1, 0);
  for (std::int32_t i = 1; i <= N; ++i)
    for (std::int32_t j = 1; j <= M; ++j) sums[j] = sums[j] + x[i] * V[i][j];
  REAL moved = 0;
  for (std::int32_t j = 1; j <= M; ++j) {
    if (!(sums[j] > 0)) continue;
    const REAL next = static_cast<REAL>(N) / sums[j];
    moved = std::max(moved, std::fabs(next / y[j] - 1));
    y[j] = next;
  }
  return moved;
}

}  // namespace

LevelsTest residual_levels(const FlipData& d, std::int32_t k, Pause& pause, Workers& workers) {
  const Residual r = residual_after(d, k, workers);
  std::vector<REAL> row_S(static_cast<std::size_t>(d.N) + 1, 0), row_df(row_S.size(), 0);
  std::vector<REAL> col_S(static_cast<std::size_t>(d.M) + 1, 0), col_df(col_S.size(), 0);
  for (std::int32_t i = 1; i <= d.N; ++i)
    for (std::int32_t j = 1; j <= d.M; ++j) {
      const REAL square = r.R[i][j] * r.R[i][j];
      row_S[i] = row_S[i] + square;
      col_S[j] = col_S[j] + square;
    }
  for (std::int32_t i = 1; i <= d.N; ++i) row_df[i] = r.rows[i] * static_cast<REAL>(d.M - k);
  for (std::int32_t j = 1; j <= d.M; ++j) col_df[j] = r.columns[j] * static_cast<REAL>(d.N - k);
  return LevelsTest{bartlett_probability(row_S, row_df, pause), bartlett_probability(col_S, col_df, pause)};
}

EvenedData even_out(const FlipData& d, std::int32_t k, Workers& workers) {
  const MATRIX V = noise_variances(residual_after(d, k, workers), d.N, d.M);
  EvenedData e{std::vector<REAL>(static_cast<std::size_t>(d.N) + 1, 1),
               std::vector<REAL>(static_cast<std::size_t>(d.M) + 1, 1), MATRIX(d.N + 1, d.M + 1), 0};
  while (e.rounds < kMostSinkhornRounds) {
    ++e.rounds;
    const REAL moved = scale_rows(V, e.rows, e.columns, d.N, d.M);
    if (std::max(moved, scale_columns(V, e.rows, e.columns, d.N, d.M)) <= kSinkhornSettled) break;
  }
  for (std::int32_t i = 1; i <= d.N; ++i) {
    const REAL row = std::sqrt(e.rows[i]);
    for (std::int32_t j = 1; j <= d.M; ++j) e.scaled[i][j] = row * d.A[i][j] * std::sqrt(e.columns[j]);
  }
  return e;
}

std::int64_t evened_count_work(std::int32_t N, std::int32_t M, std::int32_t k) {
  const std::int64_t elements = static_cast<std::int64_t>(N) * M;
  return elements * (k + 2) + 2 * elements * kMostSinkhornRounds + sign_draw_work(N, M);
}

EvenedCount evened_count(const FlipData& d, std::int32_t from, std::int64_t budget, Pause& pause, Workers& workers) {
  EvenedCount c;
  const std::int32_t p = std::min(d.N, d.M);
  std::int32_t k = from;
  while (k >= 0 && k <= p - 2 && static_cast<std::int32_t>(c.tried.size()) < kMostEvenedCounts &&
         std::find(c.tried.begin(), c.tried.end(), k) == c.tried.end()) {
    const std::int64_t work = evened_count_work(d.N, d.M, k);
    if (work > budget || (k > 0 && !(d.singular[k] > 0))) {
      c.complete = work <= budget;
      return c;
    }
    budget -= work;
    c.tried.push_back(k);
    const EvenedData e = even_out(d, k, workers);
    c.eigenvalues = product_eigenvalues(e.scaled, d.N, d.M, "the data scaled by rows and columns", pause, workers);
    c.estimate = estimate_rank(c.eigenvalues, d.N, d.M);
    if (c.estimate.low == k) {
      c.found = true;
      c.count = k;
      c.faber_kowalski = faber_kowalski_count(c.eigenvalues, d.N, d.M);
      return c;
    }
    k = c.estimate.low;
  }
  return c;
}

bool evened_count_settles(const EvenedCount& c, std::int32_t N, std::int32_t M) {
  if (!c.found || c.estimate.too_small) return false;
  if (!c.estimate.not_noise && c.estimate.possible == c.estimate.low) return true;
  const std::int32_t k = c.count;
  if (c.faber_kowalski.count != k || k + 1 >= std::min(N, M)) return false;
  if (!c.estimate.not_noise) return true;
  return (k == 0 || faber_kowalski_tail(c.faber_kowalski, k) < kFaberKowalskiClear) &&
         faber_kowalski_tail(c.faber_kowalski, k + 1) >= kFaberKowalskiWithinNoise;
}

#include "verdict/weighted_fit.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "common/workers.h"

namespace {

// The data seen from the longer side: element (a, b), a = 1..L on the
// longer side, b = 1..S on the shorter one, with the factors of the fit so
// far (r per index, from index 1).
struct Sides {
  Sides(const WeightedFitInputs& inputs, std::int32_t rank)
      : in(inputs),
        rows_long(inputs.N >= inputs.M),
        L(std::max(inputs.N, inputs.M)),
        S(std::min(inputs.N, inputs.M)),
        r(rank),
        longer(static_cast<std::size_t>(L + 1) * rank),
        shorter(static_cast<std::size_t>(S + 1) * rank) {}
  REAL value(std::int32_t a, std::int32_t b) const { return rows_long ? in.A[a][b] : in.A[b][a]; }
  REAL fitted(std::int32_t a, std::int32_t b) const {
    const REAL* g = longer.data() + static_cast<std::size_t>(a) * r;
    const REAL* s = shorter.data() + static_cast<std::size_t>(b) * r;
    REAL sum = 0;
    for (std::int32_t c = 0; c < r; ++c) sum = sum + g[c] * s[c];
    return sum;
  }
  // The element's variance: from the data value until the fit is under
  // way, then from the fitted value (where that gives 0, from the data).
  REAL variance(std::int32_t a, std::int32_t b) const {
    const REAL data = rows_long ? in.SD[a][b] : in.SD[b][a];
    if (data == 0 || !from_fit) return data;
    const std::int32_t i = rows_long ? a : b, j = rows_long ? b : a;
    const REAL model = element_variance(fitted(a, b), in.errors.absolute_at(i, j), in.errors.relative_at(i, j));
    return model > 0 ? model : data;
  }

  const WeightedFitInputs& in;
  const bool rows_long;
  const std::int32_t L, S, r;
  std::vector<REAL> longer, shorter;
  bool from_fit = false;
};

// Solves m x = b for a symmetric positive definite r x r matrix m (row-major)
// by Cholesky's method, m and b overwritten, x in b. False when m is not
// positive definite: an index whose elements all have variance 0, or
// factors that have lost their rank; its factors then stay as they were.
bool solve_positive(std::vector<REAL>& m, std::vector<REAL>& b, std::int32_t r) {
  for (std::int32_t j = 0; j < r; ++j) {
    REAL d = m[j * r + j];
    for (std::int32_t k = 0; k < j; ++k) d = d - m[j * r + k] * m[j * r + k];
    if (!(d > 0)) return false;
    const REAL root = std::sqrt(d);
    m[j * r + j] = root;
    for (std::int32_t i = j + 1; i < r; ++i) {
      REAL s = m[i * r + j];
      for (std::int32_t k = 0; k < j; ++k) s = s - m[i * r + k] * m[j * r + k];
      m[i * r + j] = s / root;
    }
  }
  for (std::int32_t i = 0; i < r; ++i) {
    REAL s = b[i];
    for (std::int32_t k = 0; k < i; ++k) s = s - m[i * r + k] * b[k];
    b[i] = s / m[i * r + i];
  }
  for (std::int32_t i = r - 1; i >= 0; --i) {
    REAL s = b[i];
    for (std::int32_t k = i + 1; k < r; ++k) s = s - m[k * r + i] * b[k];
    b[i] = s / m[i * r + i];
  }
  return true;
}

// The factors of one side by weighted least squares with those of the
// other side fixed: the longer side's when `longer` is true. Each index's
// variances read only its own factors and the other side's, so every index
// is solved in place, on any thread, from the fit before its step.
void solve_side(Sides& d, bool longer, Workers& workers) {
  const std::int32_t count = longer ? d.L : d.S, other_count = longer ? d.S : d.L, r = d.r;
  std::vector<REAL>& factors = longer ? d.longer : d.shorter;
  const std::vector<REAL>& other = longer ? d.shorter : d.longer;
  const std::int64_t work = static_cast<std::int64_t>(count) * other_count * (r + 1) * (r + 1);
  share_range(workers, 1, count, work, [&](std::int32_t from, std::int32_t to) {
    std::vector<REAL> m(static_cast<std::size_t>(r) * r), b(static_cast<std::size_t>(r));
    for (std::int32_t i = from; i <= to; ++i) {
      std::fill(m.begin(), m.end(), REAL(0));
      std::fill(b.begin(), b.end(), REAL(0));
      for (std::int32_t o = 1; o <= other_count; ++o) {
        const REAL variance = longer ? d.variance(i, o) : d.variance(o, i);
        if (variance == 0) continue;
        const REAL value = longer ? d.value(i, o) : d.value(o, i);
        const REAL w = 1 / variance;
        const REAL* f = other.data() + static_cast<std::size_t>(o) * r;
        for (std::int32_t j = 0; j < r; ++j) {
          const REAL wf = w * f[j];
          b[j] = b[j] + wf * value;
          for (std::int32_t k = 0; k <= j; ++k) m[j * r + k] = m[j * r + k] + wf * f[k];
        }
      }
      if (solve_positive(m, b, r)) std::copy(b.begin(), b.end(), factors.begin() + static_cast<std::ptrdiff_t>(i) * r);
    }
  });
}

}  // namespace

std::int64_t weighted_fit_work(std::int32_t N, std::int32_t M, std::int32_t r) {
  return static_cast<std::int64_t>(N) * M * (r + 1) * (2 * kWeightedFitRounds * (r + 1) + 1);
}

REAL weighted_fit_chi_square(const WeightedFitInputs& in, std::int32_t r, Workers& workers) {
  Sides d(in, r);
  for (std::int32_t b = 1; b <= d.S; ++b)
    for (std::int32_t c = 0; c < r; ++c) d.shorter[static_cast<std::size_t>(b) * r + c] = in.T[b][c + 1];
  for (int round = 0; round < kWeightedFitRounds; ++round) {
    solve_side(d, true, workers);
    d.from_fit = true;
    solve_side(d, false, workers);
  }
  std::vector<REAL> sums(static_cast<std::size_t>(d.L) + 1);
  share_range(workers, 1, d.L, static_cast<std::int64_t>(d.L) * d.S * (r + 1), [&](std::int32_t from, std::int32_t to) {
    for (std::int32_t a = from; a <= to; ++a) {
      REAL sum = 0;
      for (std::int32_t b = 1; b <= d.S; ++b) {
        const REAL variance = d.variance(a, b);
        if (variance == 0) continue;
        const REAL residual = d.value(a, b) - d.fitted(a, b);
        sum = sum + residual * residual / variance;
      }
      sums[static_cast<std::size_t>(a)] = sum;
    }
  });
  REAL G = 0;
  for (std::int32_t a = 1; a <= d.L; ++a) G = G + sums[static_cast<std::size_t>(a)];
  return G;
}

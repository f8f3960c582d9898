#include "verdict/signflip.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include <Eigen/Core>
#include <Eigen/Eigenvalues>

#include "analysis/qor.h"
#include "common/parts_apart.h"
#include "common/run_error.h"
#include "common/workers.h"
#include "numeric/eigen.h"
#include "numeric/random_bits.h"

namespace {

// A row or column that the first components hold almost alone leaves next
// to nothing of its noise; its scale stops at this share, so that what is
// left is not blown up without bound.
constexpr REAL kLeastShareLeft = 1e-6L;

constexpr const char* kRandomSigns = "a matrix of random signs";

// The seed of draw t: for the test of component k + 1 the words (k + 1, t),
// for the drawn noise edge (0, t), so that no two draws share their signs.
std::uint64_t draw_seed(std::uint64_t slot, int t) {
  return kSignflipSeed ^ (slot << 32) ^ static_cast<std::uint64_t>(t);
}

// The signs of one draw, a bit per element in the order of the rows (bit b
// of word w for element w * 64 + b, counted from (1, 1)); a set bit flips.
std::vector<std::uint64_t> sign_words(std::uint64_t seed, std::int32_t N, std::int32_t M) {
  const std::int64_t elements = static_cast<std::int64_t>(N) * M;
  std::vector<std::uint64_t> words(static_cast<std::size_t>((elements + 63) / 64));
  RandomBits bits(seed);
  for (std::uint64_t& w : words) w = bits.next();
  return words;
}

bool flipped(const std::vector<std::uint64_t>& words, std::int64_t element) {
  return (words[static_cast<std::size_t>(element >> 6)] >> (element & 63)) & 1u;
}

// Element (i, j) of a draw: base + its sign x flipped part (no base: 0).
REAL drawn_element(const std::vector<std::uint64_t>& words, const MATRIX* base, const MATRIX& flipped_part,
                   std::int32_t i, std::int32_t j, std::int32_t M) {
  const REAL x = flipped_part[i][j];
  const REAL signed_x = flipped(words, static_cast<std::int64_t>(i - 1) * M + (j - 1)) ? -x : x;
  return base != nullptr ? (*base)[i][j] + signed_x : signed_x;
}

// The rebuilt data F and the scaled residual of the test after k components,
// and the power of two 2^exponent at or above every |F| + |residual|.
struct Split {
  MATRIX fitted, residual;
  int exponent = 0;
};

Split split_data(const FlipData& d, std::int32_t k, ResidualScale scale, Workers& workers) {
  const Components f = leading_components(d, k, workers);
  const std::vector<REAL> rows = shares_left(f.u, d.N, k), cols = shares_left(f.v, d.M, k);
  Split s{MATRIX(d.N + 1, d.M + 1), MATRIX(d.N + 1, d.M + 1)};
  share_range(workers, 1, d.N, static_cast<std::int64_t>(d.N) * d.M * (k + 1), [&](std::int32_t from, std::int32_t to) {
    for (std::int32_t i = from; i <= to; ++i)
      for (std::int32_t j = 1; j <= d.M; ++j) {
        REAL fit = 0;
        for (std::int32_t c = 0; c < k; ++c)
          fit = fit + d.singular[c + 1] * f.u[static_cast<std::size_t>(i) * k + c] *
                          f.v[static_cast<std::size_t>(j) * k + c];
        const REAL share = std::max(rows[i] * cols[j], kLeastShareLeft);
        const REAL divisor = scale == ResidualScale::even ? std::sqrt(share) : share;
        s.fitted[i][j] = fit;
        s.residual[i][j] = (d.A[i][j] - fit) / divisor;
      }
  });
  REAL largest = 0;
  for (std::int32_t i = 1; i <= d.N; ++i)
    for (std::int32_t j = 1; j <= d.M; ++j)
      largest = std::max(largest, std::fabs(s.fitted[i][j]) + std::fabs(s.residual[i][j]));
  if (largest > 0 && std::isfinite(largest)) std::frexp(largest, &s.exponent);
  return s;
}

// base + (signs of draw t) x flipped, element by element.
void flip_into(MATRIX& X, const MATRIX* base, const MATRIX& flipped_part, std::uint64_t seed, std::int32_t N,
               std::int32_t M, Workers& workers) {
  const std::vector<std::uint64_t> words = sign_words(seed, N, M);
  share_range(workers, 1, N, static_cast<std::int64_t>(N) * M, [&](std::int32_t from, std::int32_t to) {
    for (std::int32_t i = from; i <= to; ++i)
      for (std::int32_t j = 1; j <= M; ++j) X[i][j] = drawn_element(words, base, flipped_part, i, j, M);
  });
}

// A draw of a component's test in double: the flipped matrix, the longer
// side down its rows, and its product matrix.
struct DrawInDouble {
  Eigen::MatrixXd X, P;
};

// Singular value k + 1 of draw t of the test after k components. A draw
// only has to tell whether it reaches the data's value, and the eigenvalues
// of its product matrix in double (Eigen) tell that as the program's own
// decomposition would, in a fraction of its time. The draw is taken in
// units of 2^exponent, which scales each value exactly and keeps every
// element within 1, its products within the longer side: double holds them
// whatever the data's range. Where Eigen's iteration does not settle, the
// program's decomposition gives the value.
REAL draw_value(const FlipData& d, const Split& s, std::int32_t k, int t, DrawInDouble& draw, Pause& pause,
                Workers& workers) {
  const std::uint64_t seed = draw_seed(static_cast<std::uint64_t>(k) + 1, t);
  const std::vector<std::uint64_t> words = sign_words(seed, d.N, d.M);
  const bool rows_long = d.N >= d.M;
  const std::int32_t p = std::min(d.N, d.M);
  const REAL unit = std::ldexp(REAL(1), -s.exponent);
  draw.X.resize(std::max(d.N, d.M), p);
  for (std::int32_t i = 1; i <= d.N; ++i)
    for (std::int32_t j = 1; j <= d.M; ++j) {
      const double value = static_cast<double>(drawn_element(words, &s.fitted, s.residual, i, j, d.M) * unit);
      if (rows_long)
        draw.X(i - 1, j - 1) = value;
      else
        draw.X(j - 1, i - 1) = value;
    }
  draw.P.setZero(p, p);
  draw.P.selfadjointView<Eigen::Lower>().rankUpdate(draw.X.transpose());
  const Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> eigen(draw.P, Eigen::EigenvaluesOnly);
  if (eigen.info() != Eigen::Success) {
    MATRIX X(d.N + 1, d.M + 1);
    flip_into(X, &s.fitted, s.residual, seed, d.N, d.M, workers);
    return std::sqrt(product_eigenvalues(X, d.N, d.M, kRandomSigns, pause, workers)[k + 1]);
  }
  // Increasing: value k + 1 of the decreasing order is at p - 1 - k.
  const double value = std::max(eigen.eigenvalues()(p - 1 - k), 0.0);
  return std::ldexp(std::sqrt(static_cast<REAL>(value)), s.exponent);
}

// How many draws of an N x M test run side by side: a draw's loops are
// small, so on several threads whole draws run at once, each on one thread.
int draws_side_by_side(std::int32_t N, std::int32_t M, Workers& workers) {
  return workers.parts_for(sign_draw_work(N, M) * workers.threads(), workers.threads());
}

// The kSignflipDraws draws of one test in order, draw(t, slot, pause,
// workers) giving draw t's value with the scratch of its slot (0 ..
// draws_side_by_side - 1); they end after the first draw t for which
// done(value) holds. Side by side, the draws run in rounds, each on one
// thread: every value keeps its operations and their order. The values are
// then taken in draw order, as one thread would have made them: a draw past
// the one that ends the test neither pauses nor lets its error out, and the
// others show their pauses and raise their errors in that order.
template <typename Draw, typename Done>
void make_draws(int side_by_side, Draw&& draw, Done&& done, Pause& pause, Workers& workers) {
  if (side_by_side <= 1) {
    for (int t = 0; t < kSignflipDraws; ++t)
      if (done(draw(t, 0, pause, workers))) return;
    return;
  }
  for (int first = 0; first < kSignflipDraws; first += side_by_side) {
    const int round = std::min(side_by_side, kSignflipDraws - first);
    std::vector<REAL> values(static_cast<std::size_t>(round));
    const std::vector<PartApart> outcomes = run_parts_apart(workers, round, [&](int b, Pause& kept, Workers& alone) {
      values[static_cast<std::size_t>(b)] = draw(first + b, b, kept, alone);
    });
    for (std::size_t b = 0; b < static_cast<std::size_t>(round); ++b) {
      outcomes[b].settle(pause);
      if (done(values[b])) return;
    }
  }
}

// The draws of the test after k components.
template <typename Done>
void component_draws(const FlipData& d, std::int32_t k, ResidualScale scale, Done&& done, Pause& pause,
                     Workers& workers) {
  const Split s = split_data(d, k, scale, workers);
  const int side_by_side = draws_side_by_side(d.N, d.M, workers);
  std::vector<DrawInDouble> scratch(static_cast<std::size_t>(std::max(side_by_side, 1)));
  make_draws(
      side_by_side,
      [&](int t, int slot, Pause& p, Workers& w) {
        return draw_value(d, s, k, t, scratch[static_cast<std::size_t>(slot)], p, w);
      },
      done, pause, workers);
}

}  // namespace

std::vector<REAL> product_eigenvalues(const MATRIX& X, std::int32_t N, std::int32_t M, const char* what,
                                      Pause& pause, Workers& workers) {
  const std::int32_t p = std::min(N, M);
  MATRIX T(p + 1, p + 1), D(p + 1, 2), E(p + 1, 2);
  product_matrix(ProductInputs{X, nullptr, N, M}, T, nullptr, workers);
  if (!tridiagonal_reduction(T, D, E, p, workers) || !tridiagonal_eigenvalues(D, E, p, pause, workers).finite)
    throw_overflow(std::string("the decomposition of ") + what + " overflows", beyond_real("a value"),
                   "scale the data down");
  std::vector<REAL> values(static_cast<std::size_t>(p) + 1);
  for (std::int32_t i = 1; i <= p; ++i) values[i] = std::max(D[i][1], REAL(0));
  std::sort(values.begin() + 1, values.end(), [](REAL a, REAL b) { return a > b; });
  return values;
}

Components leading_components(const FlipData& d, std::int32_t k, Workers& workers) {
  Components f{k, std::vector<REAL>(static_cast<std::size_t>(d.N + 1) * k),
               std::vector<REAL>(static_cast<std::size_t>(d.M + 1) * k)};
  if (k == 0) return f;
  const bool rows_long = d.N >= d.M;
  std::vector<REAL>& given = rows_long ? f.v : f.u;
  std::vector<REAL>& derived = rows_long ? f.u : f.v;
  const std::int32_t short_side = rows_long ? d.M : d.N, long_side = rows_long ? d.N : d.M;
  for (std::int32_t b = 1; b <= short_side; ++b)
    for (std::int32_t c = 0; c < k; ++c) given[static_cast<std::size_t>(b) * k + c] = d.T[b][c + 1];
  share_range(workers, 1, long_side, static_cast<std::int64_t>(long_side) * short_side * k,
              [&](std::int32_t from, std::int32_t to) {
                for (std::int32_t a = from; a <= to; ++a)
                  for (std::int32_t c = 0; c < k; ++c) {
                    REAL sum = 0;
                    for (std::int32_t b = 1; b <= short_side; ++b) {
                      const REAL x = rows_long ? d.A[a][b] : d.A[b][a];
                      sum = sum + x * given[static_cast<std::size_t>(b) * k + c];
                    }
                    derived[static_cast<std::size_t>(a) * k + c] = sum / d.singular[c + 1];
                  }
              });
  return f;
}

std::vector<REAL> shares_left(const std::vector<REAL>& factors, std::int32_t count, std::int32_t k) {
  std::vector<REAL> left(static_cast<std::size_t>(count) + 1, 1);
  for (std::int32_t i = 1; i <= count; ++i) {
    REAL sum = 0;
    for (std::int32_t c = 0; c < k; ++c) {
      const REAL f = factors[static_cast<std::size_t>(i) * k + c];
      sum = sum + f * f;
    }
    left[i] = 1 - sum;
  }
  return left;
}

std::int64_t sign_draw_work(std::int32_t N, std::int32_t M) {
  const std::int64_t p = std::min(N, M), n = std::max(N, M);
  // The product's triangle, the reduction to tridiagonal form (2 l^2 for
  // each l < p), the draw itself; the sweeps on the tridiagonal matrix cost
  // a few p^2 more, which the reduction's count more than covers.
  return n * p * (p + 1) / 2 + 2 * p * p * p / 3 + n * p;
}

std::int64_t signflip_test_work(std::int32_t N, std::int32_t M, std::int32_t k) {
  return kSignflipDraws * sign_draw_work(N, M) + 3 * static_cast<std::int64_t>(N) * M * (k + 1);
}

REAL signflip_null(const FlipData& d, std::int32_t k, ResidualScale scale, Pause& pause, Workers& workers) {
  REAL largest = 0;
  component_draws(
      d, k, scale,
      [&](REAL value) {
        largest = std::max(largest, value);
        return false;
      },
      pause, workers);
  return largest;
}

// Component k + 1 stands out when its singular value exceeds 0 and the
// value of every draw. The first draw that reaches it settles the test, so
// the draws after it are not made: the answer is the one all of them give
// (a draw that is not a number never reaches it, as it never became the
// largest). The budget still counts every draw.
bool stands_above_signflips(const FlipData& d, std::int32_t k, ResidualScale scale, Pause& pause, Workers& workers) {
  const REAL data_value = d.singular[k + 1];
  if (!(data_value > 0)) return false;
  bool reached = false;
  component_draws(d, k, scale, [&](REAL value) { return reached = value >= data_value; }, pause, workers);
  return !reached;
}

SignflipCount signflip_count(const FlipData& d, std::int32_t limit, std::int64_t& budget, Pause& pause,
                             Workers& workers) {
  SignflipCount c;
  const std::int32_t last = std::min(limit, std::min(d.N, d.M) - 1);
  while (c.count < last) {
    const std::int64_t work = signflip_test_work(d.N, d.M, c.count);
    if (work > budget) {
      c.complete = false;
      break;
    }
    budget -= work;
    if (!stands_above_signflips(d, c.count, ResidualScale::cautious, pause, workers)) break;
    ++c.count;
  }
  return c;
}

REAL drawn_noise_edge(const MATRIX& SD, std::int32_t N, std::int32_t M, Pause& pause, Workers& workers) {
  MATRIX deviations(N + 1, M + 1);
  for (std::int32_t i = 1; i <= N; ++i)
    for (std::int32_t j = 1; j <= M; ++j) deviations[i][j] = std::sqrt(SD[i][j]);
  // The edge is printed: its draws keep the program's decomposition.
  const int side_by_side = draws_side_by_side(N, M, workers);
  std::vector<MATRIX> scratch;
  for (int b = 0; b < std::max(side_by_side, 1); ++b) scratch.emplace_back(N + 1, M + 1);
  REAL largest = 0;
  make_draws(
      side_by_side,
      [&](int t, int slot, Pause& p, Workers& w) {
        MATRIX& X = scratch[static_cast<std::size_t>(slot)];
        flip_into(X, nullptr, deviations, draw_seed(0, t), N, M, w);
        return std::sqrt(product_eigenvalues(X, N, M, kRandomSigns, p, w)[1]);
      },
      [&](REAL value) {
        largest = std::max(largest, value);
        return false;
      },
      pause, workers);
  return largest;
}

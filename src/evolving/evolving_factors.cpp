#include "evolving/evolving_factors.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <string>

#include "analysis/noise_edge.h"
#include "common/element_errors.h"
#include "common/parts_apart.h"
#include "common/pause.h"
#include "common/run_error.h"
#include "common/workers.h"
#include "numeric/eigen.h"
#include "numeric/product_sums.h"
#include "verdict/noise_estimate.h"
#include "verdict/with_error_decision.h"

namespace {

constexpr const char* kInEvolving = "for the evolving factor analysis, ";

[[noreturn]] void evolving_overflow(const std::string& what, const std::string& advice) {
  throw_overflow(kInEvolving + what, beyond_real("a value"), advice);
}

// The eigenvalues of the symmetric n x n matrix whose upper triangle (j >=
// i) T holds, by the eigenvalues-only path of the program's decomposition:
// the square roots of the largest `keep`, decreasing, from index 1. A
// product matrix has no negative eigenvalue; rounding may leave a tiny one,
// taken as 0.
class WindowDecomposition {
 public:
  explicit WindowDecomposition(std::int32_t order) : work_(order + 1, order + 1), d_(order + 1, 2), e_(order + 1, 2) {}

  std::vector<REAL> singular_values(const MATRIX& T, std::int32_t n, std::int32_t keep, Pause& pause,
                                    Workers& workers) {
    for (std::int32_t i = 1; i <= n; ++i)
      for (std::int32_t j = i; j <= n; ++j) work_[i][j] = work_[j][i] = T[i][j];
    if (!tridiagonal_reduction(work_, d_, e_, n, workers))
      evolving_overflow("the tridiagonal reduction of a window's product matrix overflows", "scale the data down");
    if (!tridiagonal_eigenvalues(d_, e_, n, pause, workers).finite)
      evolving_overflow("the QL iteration for a window's eigenvalues overflows", "scale the data down");
    std::vector<REAL> values(static_cast<std::size_t>(n));
    for (std::int32_t i = 1; i <= n; ++i) values[static_cast<std::size_t>(i - 1)] = std::max(d_[i][1], REAL(0));
    std::sort(values.begin(), values.end(), std::greater<REAL>());
    std::vector<REAL> s(static_cast<std::size_t>(keep) + 1, 0);
    for (std::int32_t k = 1; k <= keep; ++k) s[static_cast<std::size_t>(k)] = std::sqrt(values[static_cast<std::size_t>(k - 1)]);
    ++decompositions_;
    return s;
  }

  std::int64_t decompositions() const { return decompositions_; }

 private:
  MATRIX work_, d_, e_;
  std::int64_t decompositions_ = 0;
};

// The element variances of row i, summed as noise_edge.h sums a matrix's,
// each as the analysis forms it (element_errors.h).
VarianceSums row_variance_sums(const MATRIX& A, std::int32_t i, std::int32_t M, const EvolvingSettings& x) {
  const ElementErrors errors = x.errors();
  const REAL* a = A[i];
  VarianceSums s;
  s.column_sums.assign(static_cast<std::size_t>(M), 0);
  REAL row = 0;
  for (std::int32_t j = 1; j <= M; ++j) {
    const REAL e = element_variance(a[j], errors.absolute_at(i, j), errors.relative_at(i, j));
    if (j == 1) s.first = e;
    s.column_sums[static_cast<std::size_t>(j - 1)] = e;
    row = row + e;
    s.equal = s.equal && e == s.first;
    s.included += e > 0;
  }
  s.largest_row = row;
  s.total = row;
  return s;
}

// As in the analysis and the verdict: an error of either sign is given (the
// variances take its square), so the report never calls it estimated.
bool error_given(const EvolvingSettings& x) { return x.errors().known(); }

// A window's noise edge from the sums of its element variances.
void take_edge(WindowCount& w, const VarianceSums& sums, std::int32_t M) {
  const NoiseEdge edge = noise_edge_of_sums(sums, w.rows(), M);
  if (!std::isfinite(edge.edge))
    evolving_overflow("the sum of a window's element variances overflows", "give a smaller error or scale the data down");
  w.edge = edge.edge;
  w.equal_errors = edge.equal;
}

// Singular values a product matrix formed in REAL cannot resolve: its
// eigenvalues carry rounding of about epsilon x (terms summed) x the
// largest, so a singular value below s1 sqrt(epsilon x terms) is rounding,
// whatever the noise edge says (with exact data, or an error far below the
// data's resolution).
std::vector<REAL> resolved(const WindowCount& w, std::int32_t M) {
  std::vector<REAL> s = w.singular;
  if (s.size() < 2) return s;
  const REAL terms = static_cast<REAL>(std::max(w.rows(), M));
  const REAL floor = s[1] * std::sqrt(std::numeric_limits<REAL>::epsilon() * terms);
  for (std::size_t k = 2; k < s.size(); ++k)
    if (s[k] <= floor) s[k] = 0;
  return s;
}

std::int32_t nonzero(const std::vector<REAL>& s) {
  std::int32_t k = 0;
  while (k + 1 < static_cast<std::int32_t>(s.size()) && s[static_cast<std::size_t>(k + 1)] > 0) ++k;
  return k;
}

}  // namespace

namespace {

// Work counted by one run of windows.
struct WindowWork {
  std::int64_t row_updates = 0, decompositions = 0;
};

// Windows 0..count - 1, each costing about `per_window` multiply-adds (its
// products and its decomposition). Once its rows are summed a window depends on no
// other, so runs of consecutive windows are shared among the threads, each
// run with a product matrix and a decomposition of its own and summing its
// rows as one thread would: every value keeps its operations and their
// order on any number of threads. A run may neither wait for the user nor
// let an error out while others go on: its pauses are kept, and shown,
// and its error raised, in window order once every run is done.
template <typename Run>
void windows_in_runs(std::int32_t count, std::int64_t per_window, Pause& pause, Workers& workers,
                     EvolvingFactors& work, Run&& run) {
  if (count < 1) return;
  const int parts = workers.parts_for(per_window * count, count);
  if (parts <= 1) {
    WindowWork done;
    run(0, count - 1, pause, workers, done);
    work.row_updates += done.row_updates;
    work.decompositions += done.decompositions;
    return;
  }
  std::vector<WindowWork> done(static_cast<std::size_t>(parts));
  const std::vector<PartApart> outcomes = run_parts_apart(workers, parts, [&](int p, Pause& kept, Workers& alone) {
    const PartRange r = part_range(0, count - 1, parts, p);
    run(r.from, r.to, kept, alone, done[static_cast<std::size_t>(p)]);
  });
  for (std::size_t p = 0; p < static_cast<std::size_t>(parts); ++p) {
    work.row_updates += done[p].row_updates;
    work.decompositions += done[p].decompositions;
    outcomes[p].settle(pause);
  }
}

// Growing windows from..to (0-based steps). The rows of the steps before
// `from` are added to the product first, as the windows before would have
// added them, without a decomposition.
void growing_run(const MATRIX& A, std::int32_t N, std::int32_t M, bool backward, const EvolvingSettings& settings,
                 std::int32_t from, std::int32_t to, std::vector<WindowCount>& windows, Pause& pause,
                 Workers& workers, WindowWork& done) {
  MATRIX T(M + 1, M + 1);
  WindowDecomposition decomposition(M);
  const bool with_error = error_given(settings);
  VarianceSums sums;
  for (std::int32_t step = 1; step <= to + 1; ++step) {
    const std::int32_t k = backward ? N - step + 1 : step;
    // Each element of T is the sum of its terms in the order the rows are
    // added: rows 1..i for the forward window, N..i for the backward one.
    add_column_products(A, k, k, 1, M, M, T);
    ++done.row_updates;
    if (with_error) {
      const VarianceSums row = row_variance_sums(A, k, M, settings);
      sums = step == 1 ? row : added_variance_sums(sums, row);
    }
    if (step <= from) continue;
    WindowCount& w = windows[static_cast<std::size_t>(step - 1)];
    w.first = backward ? k : 1;
    w.last = backward ? N : k;
    w.singular = decomposition.singular_values(T, M, std::min(step, M), pause, workers);
    if (with_error) take_edge(w, sums, M);
  }
  done.decompositions += decomposition.decompositions();
}

}  // namespace

std::vector<WindowCount> growing_windows(const MATRIX& A, std::int32_t N, std::int32_t M, bool backward,
                                         const EvolvingSettings& settings, EvolvingFactors& work, Pause& pause,
                                         Workers& workers) {
  std::vector<WindowCount> windows(static_cast<std::size_t>(std::max(N, 0)));
  const std::int64_t m = M;
  windows_in_runs(N, m * m * (m + 1), pause, workers, work,
                  [&](std::int32_t from, std::int32_t to, Pause& run_pause, Workers& run_workers, WindowWork& done) {
                    growing_run(A, N, M, backward, settings, from, to, windows, run_pause, run_workers, done);
                  });
  if (backward) std::reverse(windows.begin(), windows.end());
  return windows;
}

namespace {

// Moving windows narrower than the matrix is wide: the nonzero eigenvalues
// of the window's w x w product of rows are those of its M x M product of
// columns, at far less cost. Window i + 1's row products are window i's but
// for its last row: G[a][b] of window i + 1 is G[a + 1][b + 1] of window i,
// the same sum of the same terms in the same order, and only the products
// with the new row are formed (O(w M) a window, besides the decomposition).
// No product is taken out again: a window's values are those of its own
// rows, whatever came before, so a run of windows may start anywhere.
void narrow_moving_windows(const MATRIX& A, std::int32_t M, std::int32_t w, std::int32_t first, std::int32_t last,
                           WindowCount* windows, Pause& pause, Workers& workers, WindowWork& done) {
  MATRIX G(w + 1, w + 1);
  WindowDecomposition decomposition(w);
  const auto dot = [&](std::int32_t r, std::int32_t q) {
    REAL t = 0;
    for (std::int32_t j = 1; j <= M; ++j) t = t + A[r][j] * A[q][j];
    return t;
  };
  for (std::int32_t i = first; i <= last; ++i) {
    if (i == first) {
      for (std::int32_t a = 1; a <= w; ++a)
        for (std::int32_t b = a; b <= w; ++b) G[a][b] = dot(i + a - 1, i + b - 1);
      done.row_updates += w;
    } else {
      for (std::int32_t a = 1; a < w; ++a)
        for (std::int32_t b = a; b < w; ++b) G[a][b] = G[a + 1][b + 1];
      for (std::int32_t a = 1; a <= w; ++a) G[a][w] = dot(i + a - 1, i + w - 1);
      ++done.row_updates;
    }
    windows[i - first].singular = decomposition.singular_values(G, w, w, pause, workers);
  }
  done.decompositions += decomposition.decompositions();
}

// Moving windows at least as tall as the matrix is wide: each window's
// product of columns summed afresh from its w rows (O(w M^2), below the
// decomposition's O(M^3) while w is not much above M). Adding the new row
// and taking the old one out would cost O(M^2), but every window's rounding
// would stay in all later ones: after a strong peak has passed, its
// remnant of about epsilon x peak^2 per row added and taken out would sit in
// windows of baseline noise, and a window's values would depend on where
// the series began.
void wide_moving_windows(const MATRIX& A, std::int32_t M, std::int32_t w, std::int32_t first, std::int32_t last,
                         WindowCount* windows, Pause& pause, Workers& workers, WindowWork& done) {
  MATRIX T(M + 1, M + 1);
  WindowDecomposition decomposition(M);
  for (std::int32_t i = first; i <= last; ++i) {
    for (std::int32_t a = 1; a <= M; ++a)
      for (std::int32_t b = a; b <= M; ++b) T[a][b] = 0;
    add_column_products(A, i, i + w - 1, 1, M, M, T);
    done.row_updates += w;
    windows[i - first].singular = decomposition.singular_values(T, M, M, pause, workers);
  }
  done.decompositions += decomposition.decompositions();
}

}  // namespace

std::vector<WindowCount> moving_windows(const MATRIX& A, std::int32_t N, std::int32_t M, std::int32_t w,
                                        std::int32_t first, std::int32_t last, const EvolvingSettings& settings,
                                        EvolvingFactors& work, Pause& pause, Workers& workers) {
  std::vector<WindowCount> windows;
  if (w < 1 || first < 1 || last < first || last + w - 1 > N) return windows;
  windows.resize(static_cast<std::size_t>(last - first + 1));
  // Each window's edge from its own rows' variances.
  const auto take_edges = [&](std::int32_t from, std::int32_t to) {
    for (std::int32_t i = first + from; i <= first + to; ++i) {
      WindowCount& c = windows[static_cast<std::size_t>(i - first)];
      c.first = i;
      c.last = i + w - 1;
      if (!error_given(settings)) continue;
      VarianceSums sums = row_variance_sums(A, i, M, settings);
      for (std::int32_t r = i + 1; r <= c.last; ++r)
        sums = added_variance_sums(sums, row_variance_sums(A, r, M, settings));
      take_edge(c, sums, M);
    }
  };
  const bool narrow = w < M;
  const std::int64_t order = narrow ? w : M, products = narrow ? std::int64_t{w} * M : std::int64_t{w} * M * M;
  windows_in_runs(last - first + 1, order * order * order + products, pause, workers, work,
                  [&](std::int32_t from, std::int32_t to, Pause& run_pause, Workers& run_workers, WindowWork& done) {
                    take_edges(from, to);
                    WindowCount* const out = &windows[static_cast<std::size_t>(from)];
                    if (narrow) {
                      narrow_moving_windows(A, M, w, first + from, first + to, out, run_pause, run_workers, done);
                    } else {
                      wide_moving_windows(A, M, w, first + from, first + to, out, run_pause, run_workers, done);
                    }
                  });
  return windows;
}

REAL estimated_sigma(const std::vector<REAL>& singular, std::int32_t N, std::int32_t M) {
  std::vector<REAL> eigenvalues(singular.size(), 0);
  for (std::size_t k = 1; k < singular.size(); ++k) eigenvalues[k] = singular[k] * singular[k];
  return estimate_rank(eigenvalues, N, M).sigma;
}

// With the error, a window is judged as the rank verdict judges a matrix by
// its noise edge: the components above the edge of the noise left after
// those before them, less one where that component does not stand clear of
// the noise's 99 % point, and up to those above its 95 % point. Without the
// error, at the estimate's two levels, 99 % and 90 %. The residual tests
// the verdict adds with the error would need each window's data rebuilt
// from its components, and the estimate the verdict makes without the
// error needs more elements past the count than a window of a few rows has:
// the noise is the instrument's, estimated once from the whole matrix.
void count_components(std::vector<WindowCount>& windows, std::int32_t M, const EvolvingNoise& noise) {
  for (WindowCount& w : windows) {
    const std::int32_t n = w.rows();
    const std::vector<REAL> s = resolved(w, M);
    if (!noise.error_given) w.edge = noise_edge_of_sigma(noise.sigma, n, M);
    const REAL sigma = noise.error_given ? w.edge / (std::sqrt(static_cast<REAL>(n)) + std::sqrt(static_cast<REAL>(M)))
                                         : noise.sigma;
    if (!(sigma > 0)) {
      w.low = w.high = nonzero(s);
      continue;
    }
    if (noise.error_given) {
      const bool of_residual = w.equal_errors;
      const std::int32_t above = count_above_edge(s, sigma, n, M, of_residual);
      const std::int32_t possible = count_above_noise(s, sigma, n, M, kTracyWidom95, of_residual);
      const std::int32_t clear = count_above_noise(s, sigma, n, M, kTracyWidom99, of_residual);
      w.low = above > clear ? above - 1 : above;
      w.high = std::max(above, possible);
    } else {
      w.low = count_above_noise(s, sigma, n, M, kTracyWidom99);
      w.high = std::max(w.low, count_above_noise(s, sigma, n, M, kTracyWidom90));
    }
  }
}

namespace {

// The row from which on every window of `windows` (taken from the last
// one back, or from the first one on) has a count of at least k: the
// count of a growing window can only grow with its rows, so a window of
// noise alone that once reaches k before the component is there does not
// place it. 0 when the last window (the first) falls short.
template <typename Windows, typename Count, typename Row>
std::int32_t from_which_on(const Windows& windows, std::int32_t k, Count count, Row row) {
  std::int32_t found = 0;
  for (const WindowCount& w : windows) {
    if (count(w) < k) break;
    found = row(w);
  }
  return found;
}

}  // namespace

std::vector<ComponentRows> component_rows(const std::vector<WindowCount>& forward,
                                          const std::vector<WindowCount>& backward, std::int32_t components) {
  std::vector<ComponentRows> rows(static_cast<std::size_t>(std::max(components, 0)));
  const auto low = [](const WindowCount& w) { return w.low; };
  const auto high = [](const WindowCount& w) { return w.high; };
  const auto last = [](const WindowCount& w) { return w.last; };
  const auto first = [](const WindowCount& w) { return w.first; };
  struct Reversed {
    const std::vector<WindowCount>& v;
    auto begin() const { return v.rbegin(); }
    auto end() const { return v.rend(); }
  };
  for (std::int32_t k = 1; k <= components; ++k) {
    ComponentRows& c = rows[static_cast<std::size_t>(k - 1)];
    // Forward windows from the last back: the earliest row from which the
    // count may hold k, and the one from which it surely does.
    c.appears_low = from_which_on(Reversed{forward}, k, high, last);
    c.appears_high = from_which_on(Reversed{forward}, k, low, last);
    // The k-th to appear is the k-th to disappear: of the backward windows
    // (rows i..N) the (components - k + 1)-th to be seen coming from the
    // end; from the first window on, the last row to which the count may
    // hold it and the last to which it surely does.
    const std::int32_t from_end = components - k + 1;
    c.disappears_high = from_which_on(backward, from_end, high, first);
    c.disappears_low = from_which_on(backward, from_end, low, first);
  }
  return rows;
}

// A window must hold more rows than the components that overlap in it to
// show them above the noise's own dimensions; twice the matrix's components
// and one keeps room for all of them, while staying narrow enough to place
// each. At least 3 rows, so that a single component has noise beside it.
std::int32_t default_window(std::int32_t components, std::int32_t N) {
  return std::min(N, std::max(3, 2 * components + 1));
}

EvolvingFactors evolving_factors(const MATRIX& A, std::int32_t N, std::int32_t M, const EvolvingSettings& settings,
                                 Pause& pause, Workers& workers) {
  EvolvingFactors f;
  f.N = N;
  f.M = M;
  if (N < 1 || M < 1) return f;
  f.forward = growing_windows(A, N, M, false, settings, f, pause, workers);
  f.noise.error_given = error_given(settings);
  if (f.noise.error_given) {
    // The whole matrix's error, as the rank verdict states it.
    VarianceSums sums = row_variance_sums(A, 1, M, settings);
    for (std::int32_t i = 2; i <= N; ++i) sums = added_variance_sums(sums, row_variance_sums(A, i, M, settings));
    const NoiseEdge whole = noise_edge_of_sums(sums, N, M);
    f.noise.sigma = whole.rms;
    f.noise.equal_errors = whole.equal;
  } else {
    f.noise.sigma = estimated_sigma(f.forward.back().singular, N, M);
  }
  count_components(f.forward, M, f.noise);
  f.backward = growing_windows(A, N, M, true, settings, f, pause, workers);
  count_components(f.backward, M, f.noise);
  const std::int32_t components = f.forward.back().high;
  f.window_default = settings.window < 1;
  f.window = f.window_default ? default_window(components, N) : std::min(settings.window, N);
  f.moving = moving_windows(A, N, M, f.window, 1, N - f.window + 1, settings, f, pause, workers);
  count_components(f.moving, M, f.noise);
  f.components = component_rows(f.forward, f.backward, components);
  return f;
}

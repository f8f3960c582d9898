#include "analysis/eigen_analysis.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "analysis/qor.h"
#include "common/analysis_observer.h"
#include "common/run_error.h"
#include "common/analysis_workspace.h"
#include "common/workers.h"
#include "numeric/eigen.h"
#include "numeric/gamma.h"

namespace {

// s[g] := sum over k = 1..n of row[k] * x[g][k], in increasing k, for four
// vectors at once: one pass over the row serves all four.
void four_dots_of_row(const REAL* row, std::int32_t n, const REAL* const x[4], REAL s[4]) {
  REAL s0 = 0, s1 = 0, s2 = 0, s3 = 0;
  for (std::int32_t k = 1; k <= n; ++k) {
    const REAL r = row[k];
    s0 = s0 + r * x[0][k];
    s1 = s1 + r * x[1][k];
    s2 = s2 + r * x[2][k];
    s3 = s3 + r * x[3][k];
  }
  s[0] = s0;
  s[1] = s1;
  s[2] = s2;
  s[3] = s3;
}

// out[g][j] := sum over k = 1..n of rows[j][k] * x[g][k], in increasing k,
// for the rows j = first..last and four vectors g = 0..3: one pass over a
// row serves all four (a caller with fewer vectors repeats its last).
void four_dot_products(const MATRIX& rows, std::int32_t first, std::int32_t last, std::int32_t n,
                       const REAL* const x[4], REAL* const out[4]) {
  for (std::int32_t j = first; j <= last; ++j) {
    REAL s[4];
    four_dots_of_row(rows[j], n, x, s);
    for (int g = 0; g < 4; ++g) out[g][j] = s[g];
  }
}

// As many as the labels hold: a run of the sums of a tall matrix's blocks
// keeps labels for its eigenvalues only.
void set_up_labels(AnalysisRun& s) {
  for (std::int32_t j = 1; j <= std::min(s.table.M, s.table.CO.cols() - 1); ++j) s.table.CO[1][j] = j;
  for (std::int32_t i = 1; i <= std::min(s.table.N, s.table.RO.rows() - 1); ++i) s.table.RO[i][1] = i;
}

void copy_block(const MATRIX& from, MATRIX& to, std::int32_t order) {
  for (std::int32_t i = 1; i <= order; ++i)
    for (std::int32_t j = 1; j <= order; ++j) to[i][j] = from[i][j];
}

// The variances of eigenvalues i and i + 1 (when `pair`) into EE, each
// summed over j and k in increasing order. The two sums share each pass over
// ST, which reads it from memory once per pair instead of once per
// eigenvalue (more sums at once would not fit the x87 registers). v is
// scratch for 2 (MIN + 1) values.
void sum_eigenvalue_variances(AnalysisRun& s, std::int32_t i, bool pair, REAL* v) {
  const std::int32_t n = s.work.MIN;
  // v[2k], v[2k + 1]: component k of eigenvectors i and i + 1.
  for (std::int32_t k = 1; k <= n; ++k) {
    v[2 * k] = s.work.T[k][i];
    v[2 * k + 1] = pair ? s.work.T[k][i + 1] : 0;
  }
  REAL sum0 = 0, sum1 = 0;
  for (std::int32_t j = 1; j <= n; ++j) {
    const REAL* st = s.work.ST[j];
    const REAL vj0 = v[2 * j], vj1 = v[2 * j + 1];
    for (std::int32_t k = 1; k <= n; ++k) {
      const REAL stk = st[k];
      const REAL x0 = vj0 * v[2 * k];
      sum0 = sum0 + x0 * x0 * stk;
      const REAL x1 = vj1 * v[2 * k + 1];
      sum1 = sum1 + x1 * x1 * stk;
    }
  }
  s.work.EE[i][1] = sum0;
  if (pair) s.work.EE[i + 1][1] = sum1;
}

// EE[i] := sum over j, k of (T[j][i] * T[k][i])^2 * ST[j][k]. The pairs of
// eigenvalues are shared out; a pair is not begun once one before it has
// found a sum that is not finite, and the first such sum stops the run.
void eigenvalue_variances(AnalysisRun& s) {
  const std::int32_t n = s.work.MIN;
  const std::int32_t pairs = (n + 1) / 2;
  // A pair is a lot of work: small parts of a few pairs let the threads end
  // together.
  const int parts = s.workers.parts_for(static_cast<std::int64_t>(n) * n * n, pairs) > 1
                        ? std::min(pairs, 32 * s.workers.threads())
                        : 1;
  const std::size_t scratch = 2 * (static_cast<std::size_t>(n) + 1);
  std::vector<REAL> v(scratch * static_cast<std::size_t>(parts));
  std::atomic<std::int32_t> first_overflow{n + 1};
  s.workers.run(parts, [&](int part) {
    const PartRange own = part_range(0, pairs - 1, parts, part);
    for (std::int32_t p = own.from; p <= own.to; ++p) {
      const std::int32_t i = 1 + 2 * p;
      if (i > first_overflow.load(std::memory_order_relaxed)) return;
      const bool pair = i < n;
      sum_eigenvalue_variances(s, i, pair, v.data() + scratch * static_cast<std::size_t>(part));
      for (std::int32_t k = i; k <= (pair ? i + 1 : i); ++k)
        if (!std::isfinite(s.work.EE[k][1])) {
          std::int32_t seen = first_overflow.load(std::memory_order_relaxed);
          while (k < seen && !first_overflow.compare_exchange_weak(seen, k, std::memory_order_relaxed)) {
          }
          return;
        }
    }
  });
  const std::int32_t i = first_overflow.load(std::memory_order_relaxed);
  if (i <= n)
    throw_overflow("the variance of eigenvalue " + std::to_string(i) + " overflows",
                   beyond_real("a sum of element variances"),
                   "give a smaller error or scale the data down");
}

// The decomposition works on finite values only: NaN and infinity arithmetic
// costs a hundred times the ordinary on some processors and means nothing.
void decompose(AnalysisContext& q) {
  AnalysisRun& s = q.s;
  const std::string matrix = q.TP ? "product matrix" : "matrix";
  if (!TRED2(s.work.T, s.work.DE, s.work.EE, s.work.MIN, s.workers))
    throw_overflow("the tridiagonal reduction of the " + matrix + " overflows",
                   beyond_real("an intermediate value"), "scale the data down");
  if (!TQLI(s.work.T, s.work.DE, s.work.EE, s.work.MIN, q.observer.pause(), s.workers).finite)
    throw_overflow("the QL iteration for the eigenvalues of the " + matrix + " overflows",
                   beyond_real("an intermediate value"), "scale the data down");
}

// Both tail probabilities of the residual test after I components.
void test_probabilities(const AnalysisRun& s, Pause& pause, std::int32_t I, EigenTestRecord& record) {
  const std::int64_t all = static_cast<std::int64_t>(s.table.N) * s.table.M - I;
  const std::int64_t remainder = static_cast<std::int64_t>(s.table.N - I) * (s.table.M - I);
  record.Q_all = GAMMQ(static_cast<REAL>(all) / 2, record.G / 2, pause);
  record.Q_rest = GAMMQ(static_cast<REAL>(remainder) / 2, record.G / 2, pause);
  record.probabilities = true;
}

// FE := CC x (eigenvector I) for I = 1, 2, ... in turn. Four products are
// formed per pass over CC, which reads it from memory once per four
// eigenvalues; each component is still summed over k in increasing order,
// and the rows of CC are shared out.
class EigenvectorProducts {
 public:
  EigenvectorProducts(AnalysisRun& s, std::int32_t U)
      : s_(s), U_(U), n_(s.work.MIN), length_(static_cast<std::size_t>(n_) + 1), x_(4 * length_), products_(x_.size()) {}

  // Must be called for I = 1, 2, ..., U in order.
  void into_FE(std::int32_t I) {
    if (I > last_) compute_group(I, std::min(I + 3, U_));
    const REAL* product = products_.data() + static_cast<std::size_t>(I - first_) * length_;
    for (std::int32_t j = 1; j <= n_; ++j) s_.work.FE[j][1] = product[j];
    for (std::int32_t j = 1; j <= n_; ++j)
      if (!std::isfinite(s_.work.FE[j][1]))
        throw_overflow("the eigenvector check of eigenvalue " + std::to_string(I) + " overflows",
                       beyond_real("the matrix times the eigenvector"), "scale the data down");
  }

 private:
  void compute_group(std::int32_t first, std::int32_t last) {
    first_ = first;
    last_ = last;
    // Vector g holds eigenvector first + g; a short group repeats its last.
    const REAL* x[4];
    REAL* out[4];
    for (std::int32_t g = 0; g < 4; ++g) {
      x[g] = x_.data() + static_cast<std::size_t>(g) * length_;
      out[g] = products_.data() + static_cast<std::size_t>(g) * length_;
      for (std::int32_t k = 1; k <= n_; ++k) x_[static_cast<std::size_t>(g) * length_ + k] = s_.work.T[k][std::min(first + g, last)];
    }
    share_range(s_.workers, 1, n_, static_cast<std::int64_t>(n_) * n_ * (last - first + 1),
                [&](std::int32_t from, std::int32_t to) { four_dot_products(s_.work.CC, from, to, n_, x, out); });
  }

  AnalysisRun& s_;
  std::int32_t U_;
  std::int32_t n_;
  std::size_t length_;           // of one vector: components 1..n
  std::vector<REAL> x_;          // the group's four eigenvectors, one after the other
  std::vector<REAL> products_;   // CC times each of them, alike
  std::int32_t first_ = 0;
  std::int32_t last_ = 0;
};

}  // namespace

ResidualTester::ResidualTester(const ResidualInputs& in, std::int32_t U)
    : in_(in),
      U_(U),
      // Eigenvectors of M components belong to the rows' side: a matrix at
      // least as tall as wide, or a block of rows of one.
      rows_projected_(in.MIN == in.M),
      component_length_(static_cast<std::size_t>(in.MIN) + 1),
      cols_(static_cast<std::size_t>(in.M) + 1),
      chunk_rows_(static_cast<std::int32_t>(std::max<std::int64_t>(1, kChunkElements / std::max(1, in.M)))) {}

ResidualTester::ResidualTester(AnalysisRun& s, std::int32_t U)
    : ResidualTester(ResidualInputs{s.table.A, s.work.SD, s.work.T, s.table.N, s.table.M, s.work.MIN, s.workers}, U) {}

// Projections of the columns first..last of A on the eigenvectors of terms
// t0..t0+count-1, four eigenvectors per pass over A; each projection is
// still summed over K = 1..MIN in increasing order, and K runs outermost to
// keep A's rows in cache.
void ResidualTester::project_columns(std::int32_t t0, std::int32_t count, std::int32_t first, std::int32_t last) {
  for (std::int32_t b0 = 0; b0 < count; b0 += 4) {
    const std::int32_t group = std::min(4, count - b0);
    REAL* p[4];
    const REAL* x[4];
    for (std::int32_t g = 0; g < 4; ++g) {
      const auto t = static_cast<std::size_t>(t0 + b0 + std::min(g, group - 1));  // a short group repeats its last
      p[g] = column_projections_.data() + t * cols_;
      x[g] = components_.data() + t * component_length_;
    }
    for (std::int32_t g = 0; g < group; ++g)
      for (std::int32_t R = first; R <= last; ++R) p[g][R] = 0;
    for (std::int32_t K = 1; K <= in_.MIN; ++K) {
      const REAL* a = in_.A[K];
      const REAL t0k = x[0][K], t1k = x[1][K], t2k = x[2][K], t3k = x[3][K];
      for (std::int32_t R = first; R <= last; ++R) {
        const REAL aR = a[R];
        p[0][R] = p[0][R] + aR * t0k;
        if (group > 1) p[1][R] = p[1][R] + aR * t1k;
        if (group > 2) p[2][R] = p[2][R] + aR * t2k;
        if (group > 3) p[3][R] = p[3][R] + aR * t3k;
      }
    }
  }
}

// Projections of the rows first..last of the chunk that begins with row S0
// on the eigenvectors of terms t0..t1-1, each summed over K = 1..MIN in
// increasing order, four per pass over the row; into projections (the
// chunk's rows side by side for each term).
void ResidualTester::project_rows(REAL* projections, std::int32_t S0, std::int32_t t0, std::int32_t t1,
                                  std::int32_t first, std::int32_t last) const {
  const std::int32_t n = in_.MIN;
  const auto rows = static_cast<std::size_t>(chunk_rows_);
  for (std::int32_t S = first; S <= last; ++S) {
    const REAL* row = in_.A[S];
    REAL* out = projections + (S - S0);
    for (std::int32_t t = t0; t < t1; t += 4) {
      const REAL* x[4];
      for (std::int32_t g = 0; g < 4; ++g)
        x[g] = components_.data() + static_cast<std::size_t>(std::min(t + g, t1 - 1)) * component_length_;
      REAL s[4];
      four_dots_of_row(row, n, x, s);
      for (std::int32_t g = 0; g < 4 && t + g < t1; ++g) out[static_cast<std::size_t>(t + g) * rows] = s[g];
    }
  }
}

ResidualTester::TermFactors ResidualTester::factors(const REAL* projections, std::int32_t S0, std::int32_t S) const {
  if (rows_projected_)
    return {projections + (S - S0), static_cast<std::size_t>(chunk_rows_), components_.data(), component_length_};
  return {components_.data() + S, component_length_, column_projections_.data(), cols_};
}

namespace {

// One row of the data in the test of one eigenvalue: each element's rebuilt
// value in c[R - 1] is carried on by the eigenvalue's term (the row's factor
// times the column's: a product, the same in either order), and its residual
// adds to the counts and, in column order, to the chi-square sum of `total`.
// An element with variance 0 has no defined contribution to the sum.
inline void test_row(const REAL* a, const REAL* e, REAL row_factor, const REAL* column_factor, REAL* c,
                     std::int32_t M, ResidualTest& total) {
  REAL G = total.G;
  std::int64_t n1 = 0, n2 = 0, n3 = 0;
  for (std::int32_t R = 1; R <= M; ++R) {
    const REAL C = c[R - 1] + row_factor * column_factor[R];
    c[R - 1] = C;
    const REAL F = std::fabs(a[R] - C);
    const REAL E = e[R - 1];
    if (E != 0) {
      const REAL x = F / E;
      G = G + x * x;
    }
    n1 += F > E;
    n2 += F > 2 * E;
    n3 += F > 3 * E;
  }
  total.G = G;
  total.NR[1] += n1;
  total.NR[2] += n2;
  total.NR[3] += n3;
}

// One element's share of the work of an eigenvalue: a multiplication and
// an addition to rebuild it, a division and a few more for its deviation.
constexpr std::int64_t kWorkPerResidual = 8;

// The pipeline of the first pass runs only where its filling and draining
// (a step per run at either end, with threads idle) are a small share.
constexpr std::int32_t kPipelineChunksPerRun = 8;

}  // namespace

// Elements e0..e1-1 of the chunk that begins with row S0 (row-major, from
// 0): their standard deviations, and carried_[r * stride + e] the element's
// rebuilt value before term starts[r], for each run r, carried along from 0
// by the same additions as on one thread.
void ResidualTester::carry_to_run_starts(std::int32_t S0, std::int64_t e0, std::int64_t e1,
                                         const std::int32_t* starts, std::int32_t runs, std::int64_t stride) {
  const std::int32_t M = in_.M;
  for (std::int64_t e = e0; e < e1;) {
    const auto S = static_cast<std::int32_t>(S0 + e / M);
    const auto R0 = static_cast<std::int32_t>(e % M + 1);
    const auto R1 = static_cast<std::int32_t>(std::min<std::int64_t>(M, R0 + (e1 - e) - 1));
    const TermFactors f = factors(row_projections_.data(), S0, S);
    const REAL* sd = in_.SD[S];
    for (std::int32_t R = R0; R <= R1; ++R) deviations_[static_cast<std::size_t>(e + R - R0)] = std::sqrt(sd[R]);
    // Column R of row S is element e + R - R0 of the chunk.
    REAL* at = carried_.data() + e;
    // Two elements side by side, as each element's additions wait on each other.
    std::int32_t R = R0;
    for (; R + 1 <= R1; R += 2) {
      REAL C0 = 0;
      REAL C1 = 0;
      std::int32_t t = 0;
      for (std::int32_t r = 0; r < runs; ++r) {
        for (; t < starts[r]; ++t) {
          const REAL p = f.row[static_cast<std::size_t>(t) * f.row_step];
          const REAL* c = f.column + static_cast<std::size_t>(t) * f.column_step;
          C0 = C0 + p * c[R];
          C1 = C1 + p * c[R + 1];
        }
        at[r * stride + (R - R0)] = C0;
        at[r * stride + (R + 1 - R0)] = C1;
      }
    }
    if (R == R1) {
      REAL C = 0;
      std::int32_t t = 0;
      for (std::int32_t r = 0; r < runs; ++r) {
        for (; t < starts[r]; ++t)
          C = C + f.row[static_cast<std::size_t>(t) * f.row_step] *
                      f.column[static_cast<std::size_t>(t) * f.column_step + static_cast<std::size_t>(R)];
        at[r * stride + (R - R0)] = C;
      }
    }
    e += R1 - R0 + 1;
  }
}

// The tests of terms t0..t1-1 over rows S0..S1 of the chunk, row by row, as
// on one thread, carrying the run's rebuilt values on in place. totals is
// indexed by term.
void ResidualTester::test_run(std::int32_t S0, std::int32_t S1, std::int32_t t0, std::int32_t t1,
                              const REAL* deviations, const REAL* projections, REAL* rebuilt,
                              ResidualTest* totals) const {
  const std::int32_t M = in_.M;
  for (std::int32_t S = S0; S <= S1; ++S) {
    const std::int64_t offset = static_cast<std::int64_t>(S - S0) * M;
    const TermFactors f = factors(projections, S0, S);
    for (std::int32_t t = t0; t < t1; ++t) {
      test_row(in_.A[S], deviations + offset, f.row[static_cast<std::size_t>(t) * f.row_step],
               f.column + static_cast<std::size_t>(t) * f.column_step, rebuilt + offset, M, totals[t]);
      if (!std::isfinite(totals[t].G)) break;
    }
  }
}

// The tests of eigenvalues first..last. A chi-square sum that is no longer
// finite stays so: from the chunk where it overflows, neither that
// eigenvalue's test nor those after it are carried further. The caller
// stops at that eigenvalue, and the tests before it are complete.
void ResidualTester::compute_pass(std::int32_t first, std::int32_t last) {
  if (first_term_ < 0) first_term_ = first;
  Workers& workers = in_.workers;
  const std::int32_t M = in_.M;
  const std::int32_t terms = last - first_term_ + 1;
  const std::int32_t replayed = first - first_term_;
  std::int32_t count = last - first + 1;
  components_.resize(static_cast<std::size_t>(terms) * component_length_);
  for (std::int32_t t = replayed; t < terms; ++t) {
    REAL* component = components_.data() + static_cast<std::size_t>(t) * component_length_;
    for (std::int32_t k = 1; k <= in_.MIN; ++k) component[k] = in_.T[k][first_term_ + t];
  }
  if (!rows_projected_) {
    column_projections_.resize(static_cast<std::size_t>(terms) * cols_);
    share_range(workers, 1, M, static_cast<std::int64_t>(count) * in_.N * M,
                [&](std::int32_t from, std::int32_t to) { project_columns(replayed, count, from, to); });
  }
  pass_first_ = first;
  pass_last_ = last;
  const std::int64_t work = static_cast<std::int64_t>(in_.N) * M * count * kWorkPerResidual;
  const bool shared = count > 1 && workers.parts_for(work, count) > 1;
  const std::int32_t most_runs = shared ? std::min(count, workers.threads()) : 1;
  const std::int64_t stride = static_cast<std::int64_t>(chunk_rows_) * M;
  carried_.assign(static_cast<std::size_t>(stride * most_runs), 0);
  deviations_.assign(static_cast<std::size_t>(stride), 0);
  if (rows_projected_) row_projections_.assign(static_cast<std::size_t>(terms) * chunk_rows_, 0);
  // Indexed by term; each run adds to the sums of its own terms only.
  std::vector<ResidualTest> totals(static_cast<std::size_t>(terms));
  const std::int32_t chunks = (in_.N + chunk_rows_ - 1) / chunk_rows_;
  if (replayed == 0 && most_runs > 1 && chunks >= kPipelineChunksPerRun * most_runs) {
    pipelined_pass(count, most_runs, totals);
    results_.assign(totals.begin(), totals.end());
    return;
  }
  std::vector<std::int32_t> starts(static_cast<std::size_t>(most_runs) + 1);
  for (std::int32_t S0 = 1; S0 <= in_.N && count > 0; S0 += chunk_rows_) {
    const std::int32_t S1 = std::min(in_.N, S0 + chunk_rows_ - 1);
    const std::int64_t elements = static_cast<std::int64_t>(S1 - S0 + 1) * M;
    // The chunk's terms: those replayed and the eigenvalues still tested.
    const std::int32_t used = replayed + count;
    if (rows_projected_)
      share_range(workers, S0, S1, static_cast<std::int64_t>(S1 - S0 + 1) * used * in_.MIN,
                  [&](std::int32_t from, std::int32_t to) { project_rows(row_projections_.data(), S0, 0, used, from, to); });
    const std::int32_t runs = std::min(count, most_runs);
    for (std::int32_t r = 0; r <= runs; ++r)
      starts[static_cast<std::size_t>(r)] = replayed + even_split(0, count - 1, runs, r);
    // Carrying to the runs' starts costs an addition per element and term.
    const int parts = workers.parts_for(elements * (1 + starts[static_cast<std::size_t>(runs) - 1]), elements);
    workers.run(parts, [&](int part) {
      const PartRange own = part_range(0, static_cast<std::int32_t>(elements - 1), parts, part);
      carry_to_run_starts(S0, own.from, own.to + 1, starts.data(), runs, stride);
    });
    workers.run(runs, [&](int r) {
      const auto at = static_cast<std::size_t>(r);
      test_run(S0, S1, starts[at], starts[at + 1], deviations_.data(), row_projections_.data(),
               carried_.data() + r * stride, totals.data());
    });
    for (std::int32_t b = 0; b < count; ++b)
      if (!std::isfinite(totals[static_cast<std::size_t>(replayed + b)].G)) {
        count = b;
        break;
      }
  }
  results_.assign(totals.begin() + replayed, totals.end());
}

// The first pass on several threads, as a pipeline over the chunks: the
// eigenvalues are cut into runs of consecutive terms, one per thread, and
// at step k run r takes chunk k - r on from the rebuilt values run r - 1
// left in that chunk's slot a step before. So every element is carried
// through the terms once, in order, and each term's sums still add the
// elements in row-major order, as on one thread; runs meet once per step.
// Each run projects the chunk's rows on its own terms; the first also forms
// the chunk's standard deviations. A sum that is no longer finite ends the
// terms at it for the chunks that follow, as in the other passes.
void ResidualTester::pipelined_pass(std::int32_t count, std::int32_t runs, std::vector<ResidualTest>& totals) {
  const std::int32_t M = in_.M;
  const std::int64_t stride = static_cast<std::int64_t>(chunk_rows_) * M;
  const std::int64_t projection_stride = static_cast<std::int64_t>(count) * chunk_rows_;
  const std::int32_t chunks = (in_.N + chunk_rows_ - 1) / chunk_rows_;
  // A chunk stays in its slot from the step its first run takes it until its last run is done.
  deviations_.assign(static_cast<std::size_t>(stride * runs), 0);
  carried_.assign(static_cast<std::size_t>(stride * runs), 0);
  if (rows_projected_) row_projections_.assign(static_cast<std::size_t>(projection_stride * runs), 0);
  std::vector<std::int32_t> starts(static_cast<std::size_t>(runs) + 1);
  for (std::int32_t r = 0; r <= runs; ++r) starts[static_cast<std::size_t>(r)] = even_split(0, count - 1, runs, r);
  std::int32_t limit = count;
  for (std::int32_t step = 0; step < chunks + runs - 1 && limit > 0; ++step) {
    in_.workers.run(runs, [&](int r) {
      const std::int32_t chunk = step - r;
      const auto at = static_cast<std::size_t>(r);
      const std::int32_t t0 = starts[at], t1 = std::min(starts[at + 1], limit);
      if (chunk < 0 || chunk >= chunks || t0 >= t1) return;
      const std::int32_t slot = chunk % runs;
      const std::int32_t S0 = 1 + chunk * chunk_rows_;
      const std::int32_t S1 = std::min(in_.N, S0 + chunk_rows_ - 1);
      REAL* deviations = deviations_.data() + slot * stride;
      REAL* rebuilt = carried_.data() + slot * stride;
      REAL* projections = rows_projected_ ? row_projections_.data() + slot * projection_stride : nullptr;
      if (r == 0) {
        for (std::int32_t S = S0; S <= S1; ++S) {
          const REAL* sd = in_.SD[S];
          REAL* d = deviations + static_cast<std::int64_t>(S - S0) * M;
          for (std::int32_t R = 1; R <= M; ++R) d[R - 1] = std::sqrt(sd[R]);
        }
        std::fill(rebuilt, rebuilt + stride, REAL(0));
      }
      if (rows_projected_) project_rows(projections, S0, t0, t1, S0, S1);
      test_run(S0, S1, t0, t1, deviations, projections, rebuilt, totals.data());
    });
    for (std::int32_t b = 0; b < limit; ++b)
      if (!std::isfinite(totals[static_cast<std::size_t>(b)].G)) {
        limit = b;
        break;
      }
  }
}

ResidualTest ResidualTester::test(std::int32_t I) {
  if (I < pass_first_ || I > pass_last_) compute_pass(I, std::max(I, U_));
  return results_[static_cast<std::size_t>(I - pass_first_)];
}

void decompose_for_eigenvalues(AnalysisContext& q) {
  AnalysisRun& s = q.s;
  set_up_labels(s);
  if (!q.TP) copy_block(s.table.A, s.work.T, s.work.MIN);
  copy_block(s.work.T, s.work.CC, s.work.MIN);
  decompose(q);
  if (q.ERB) {
    if (!q.TP) copy_block(s.work.SD, s.work.ST, s.work.MIN);
    eigenvalue_variances(s);
  }
  EIGENSORT(s.work.T, s.work.EE, s.table.RO, s.work.DE, s.work.MIN, q.ERB);
}

void examine_eigenvalues(AnalysisContext& q) {
  AnalysisRun& s = q.s;
  AnalysisObserver& observer = q.observer;
  if (q.U < 1) q.U = s.work.MIN;
  observer.eigenvalues_begin(s, q.ERB);

  std::optional<ResidualTester> tester;
  if (q.ERB && s.work.given_tests == nullptr) tester.emplace(s, q.U);
  // The products of the eigenvector check are shown by the listing alone.
  const bool checked = observer.lists_steps();
  std::optional<EigenvectorProducts> products;
  if (checked) products.emplace(s, q.U);
  s.work.eigen_tests.clear();
  for (std::int32_t I = 1; I <= q.U; ++I) {
    if (checked) products->into_FE(I);
    EigenTestRecord& record = s.work.eigen_tests.emplace_back();
    observer.eigenvalue_found(s, I, q.U, q.ERB);
    if (q.ERB) {
      if (s.work.given_tests != nullptr && static_cast<std::size_t>(I) >= s.work.given_tests->size()) continue;  // untested
      const ResidualTest r = s.work.given_tests != nullptr ? (*s.work.given_tests)[static_cast<std::size_t>(I)] : tester->test(I);
      if (!std::isfinite(r.G))
        throw_overflow("the chi-square sum of eigenvalue " + std::to_string(I) + " overflows",
                       "a residual divided by its standard deviation would exceed 1.09E+2466",
                       "the error is far too small for these data: give a larger one");
      record.tested = true;
      record.G = r.G;
      for (int j = 1; j <= 3; ++j) record.NR[j] = r.NR[j];
      if (observer.wants_probabilities()) test_probabilities(s, observer.pause(), I, record);
      observer.residual_tested(s, I, record);
    }
    if (checked) observer.eigenvector_checked(s, I);
  }
}

void eigenvalue_analysis(AnalysisContext& q) {
  decompose_for_eigenvalues(q);
  examine_eigenvalues(q);
}

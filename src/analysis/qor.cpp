#include "analysis/qor.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <limits>
#include <string>
#include <vector>

#include "analysis/eigen_analysis.h"
#include "analysis/histogram.h"
#include "analysis/remainder_stats.h"
#include "common/run_error.h"
#include "common/analysis_observer.h"
#include "common/analysis_workspace.h"
#include "common/element_errors.h"
#include "common/workers.h"
#include "numeric/product_sums.h"

namespace {

constexpr REAL kLargestReal = std::numeric_limits<REAL>::max();

// ---- Elimination ----------------------------------------------------------

struct Pivot {
  REAL best = 0;
  std::int32_t S = 0, R = 0;

  void consider(REAL v, std::int32_t L, std::int32_t J) {
    if (std::fabs(v) > best) {
      best = std::fabs(v);
      S = L;
      R = J;
    }
  }
  // The candidate of a later block of rows replaces this one only when it is
  // strictly larger, as its elements come later in row-major order.
  void take_later(const Pivot& later) {
    if (later.best > best) *this = later;
  }
  // From finite values an elimination step forms no NaN: |multiplier| <= 1,
  // so the products are finite and only a difference can overflow, to an
  // infinity that becomes the largest magnitude.
  bool found_finite() const { return !std::isinf(best); }
};

// Rows L = I..N (outer), columns J = I..M (inner): the first element of
// largest magnitude in row-major order. Blocks of rows are searched apart
// and their candidates taken in row order.
Pivot search_pivot(AnalysisRun& s, std::int32_t I) {
  const int parts = s.workers.parts_for(static_cast<std::int64_t>(s.table.N - I + 1) * (s.table.M - I + 1), s.table.N - I + 1);
  std::vector<Pivot> found(static_cast<std::size_t>(parts));
  s.workers.run(parts, [&](int part) {
    const PartRange rows = part_range(I, s.table.N, parts, part);
    Pivot p{0, I, I};
    for (std::int32_t L = rows.from; L <= rows.to; ++L) {
      const REAL* row = s.table.A[L];
      for (std::int32_t J = I; J <= s.table.M; ++J) p.consider(row[J], L, J);
    }
    found[static_cast<std::size_t>(part)] = p;
  });
  Pivot p{0, I, I};
  for (const Pivot& candidate : found) p.take_later(candidate);
  return p;
}

void exchange_rows(AnalysisRun& s, bool ERB, std::int32_t I, std::int32_t S) {
  if (I == S) return;
  // Every row's columns 1..M move; column 0 of data rows is unused, so the row pointers may swap.
  if (ERB) s.work.SD.swap_rows(I, S);
  s.table.A.swap_rows(I, S);
  std::swap(s.table.RO[I][1], s.table.RO[S][1]);
  if (keeps_original_row_numbers(s.table)) std::swap(s.table.RW[I][1], s.table.RW[S][1]);
}

// Columns I and R of rows first..last of A (and SD).
void exchange_column_elements(AnalysisRun& s, bool ERB, std::int32_t I, std::int32_t R, std::int32_t first,
                              std::int32_t last) {
  if (I == R) return;
  for (std::int32_t K = first; K <= last; ++K) {
    if (ERB) std::swap(s.work.SD[K][I], s.work.SD[K][R]);
    std::swap(s.table.A[K][I], s.table.A[K][R]);
  }
}

void exchange_column_labels(AnalysisRun& s, std::int32_t I, std::int32_t R) {
  if (I == R) return;
  std::swap(s.table.CO[1][I], s.table.CO[1][R]);
  if (keeps_original_column_numbers(s.table)) std::swap(s.table.CW[1][I], s.table.CW[1][R]);
}

// What the variance propagation knows about the size of the variances: an
// upper bound of every element of SD, and whether a propagated one failed to
// be finite.
struct VarianceBound {
  REAL largest = 0;
  bool finite = true;
};

// Propagation of step I into one row. Every operation of the update is
// monotone in its non-negative operands, so the row's update of every element
// is at most the update formed from the largest g and the largest variance of
// the pivot row, and the new element at most the bound plus that. While that
// sum is finite no element can overflow, and the plain loop runs; otherwise
// each element is checked. Returns the row's largest possible update.
REAL propagate_row(REAL* sd_row, const REAL* sd_pivot_row, const REAL* g, std::int32_t first, std::int32_t M,
                   REAL b, REAL c, REAL e, REAL largest_g, REAL largest_pivot_variance, VarianceBound& bound) {
  const REAL f = sd_row[first - 1];
  const REAL be = b * e;  // b * e * g[J] is (b * e) * g[J]
  const REAL most = ((be * largest_g) / c + (b * largest_pivot_variance + largest_g * f)) / c;
  if (bound.largest + most <= kLargestReal) {
    for (std::int32_t J = first; J <= M; ++J)
      sd_row[J] = sd_row[J] + ((be * g[J]) / c + (b * sd_pivot_row[J] + g[J] * f)) / c;
    return most;
  }
  for (std::int32_t J = first; J <= M; ++J) {
    const REAL v = sd_row[J] + ((be * g[J]) / c + (b * sd_pivot_row[J] + g[J] * f)) / c;
    sd_row[J] = v;
    if (!(v <= kLargestReal)) bound.finite = false;  // NaN too
  }
  return most;
}

// What every row below the pivot reads of the pivot row in step I.
struct PivotRow {
  std::int32_t I = 0;
  const REAL* a = nullptr;   // row I of A
  REAL p = 0;                // the pivot
  const REAL* sd = nullptr;  // row I of SD (errors known)
  // The squares of the pivot row's elements, the same for every row below,
  // and what the variance bound needs of them.
  std::vector<REAL> g;
  REAL c = 0, e = 0, largest_g = 0, largest_pivot_variance = 0;
};

PivotRow read_pivot_row(const AnalysisRun& s, bool ERB, std::int32_t I) {
  PivotRow r;
  r.I = I;
  r.a = s.table.A[I];
  r.p = r.a[I];
  if (!ERB) return r;
  r.c = r.p * r.p;
  r.e = s.work.SD[I][I];
  r.sd = s.work.SD[I];
  r.g.resize(static_cast<std::size_t>(s.table.M) + 1);
  for (std::int32_t J = I + 1; J <= s.table.M; ++J) {
    r.g[J] = r.a[J] * r.a[J];
    r.largest_g = std::max(r.largest_g, r.g[J]);
    r.largest_pivot_variance = std::max(r.largest_pivot_variance, r.sd[J]);
  }
  return r;
}

// What a block of rows of an elimination step found: its first element of
// largest magnitude, its largest possible variance update, and whether its
// propagated variances stayed finite.
struct RowsDone {
  Pivot next;
  REAL largest_update = 0;
  bool finite = true;
};

// Variance propagation and elimination of step I in rows first..last, in one
// pass that also looks for the next pivot. Every element of step I reads
// only row I and column I, so the rows may be done one after the other and
// in separate blocks; each value is formed by the same operations as
// element by element.
RowsDone eliminate_rows(AnalysisRun& s, bool ERB, const PivotRow& pivot, std::int32_t first, std::int32_t last,
                        REAL largest_variance) {
  const std::int32_t I = pivot.I;
  const std::int32_t M = s.table.M;
  VarianceBound bound{largest_variance, true};
  RowsDone done;
  done.next = Pivot{0, I + 1, I + 1};
  for (std::int32_t K = first; K <= last; ++K) {
    REAL* row = s.table.A[K];
    const REAL a = row[I];
    if (ERB)
      done.largest_update =
          std::max(done.largest_update, propagate_row(s.work.SD[K], pivot.sd, pivot.g.data(), I + 1, M, a * a, pivot.c,
                                                      pivot.e, pivot.largest_g, pivot.largest_pivot_variance, bound));
    const REAL l = a / pivot.p;
    for (std::int32_t J = I + 1; J <= M; ++J) {
      const REAL v = row[J] - pivot.a[J] * l;
      row[J] = v;
      done.next.consider(v, K, J);
    }
    row[I] = 0;
  }
  done.finite = bound.finite;
  return done;
}

// Elimination step I over the rows below the pivot, shared out in blocks of
// rows. The blocks' candidates for the next pivot are taken in row order,
// so the first element of largest magnitude in row-major order still wins;
// the variance bound takes the largest update of all blocks, once, as on one
// thread. Columns I and R are exchanged first in the pivot row, then by each
// block in its rows, where the update reads them anyway (a column exchange
// on its own would read every row of the matrix once more); the rows above
// the pivot are shared out alike.
Pivot eliminate_step(AnalysisRun& s, bool ERB, std::int32_t I, std::int32_t R, VarianceBound& bound) {
  exchange_column_elements(s, ERB, I, R, I, I);
  const PivotRow pivot = read_pivot_row(s, ERB, I);
  // The propagation costs about three times the update of an element.
  const std::int64_t work = static_cast<std::int64_t>(s.table.N - I) * (s.table.M - I) * (ERB ? 4 : 1);
  const int parts = s.workers.parts_for(work, s.table.N - I);
  std::vector<RowsDone> done(static_cast<std::size_t>(parts));
  s.workers.run(parts, [&](int part) {
    const PartRange above = part_range(1, I - 1, parts, part);
    exchange_column_elements(s, ERB, I, R, above.from, above.to);
    const PartRange below = part_range(I + 1, s.table.N, parts, part);
    exchange_column_elements(s, ERB, I, R, below.from, below.to);
    done[static_cast<std::size_t>(part)] = eliminate_rows(s, ERB, pivot, below.from, below.to, bound.largest);
  });
  Pivot next{0, I + 1, I + 1};
  REAL largest_update = 0;
  for (const RowsDone& d : done) {
    next.take_later(d.next);
    largest_update = std::max(largest_update, d.largest_update);
    bound.finite = bound.finite && d.finite;
  }
  bound.largest = bound.largest + largest_update;
  // The pivot row: divided by itself last, its other elements cleared by the update.
  REAL* pivot_row = s.table.A[I];
  const REAL one = pivot.p / pivot.p;
  for (std::int32_t J = I + 1; J <= s.table.M; ++J) pivot_row[J] = pivot_row[J] - pivot_row[J] * one;
  pivot_row[I] = s.table.A[0][I];
  return next;
}

void prepare_elimination(AnalysisContext& q) {
  AnalysisRun& s = q.s;
  if (q.TP) {
    s.table.N = s.work.MIN;
    s.table.M = s.work.MIN;
    for (std::int32_t i = 1; i <= s.work.MIN; ++i)
      for (std::int32_t j = 1; j <= s.work.MIN; ++j) {
        if (q.ERB) s.work.SD[i][j] = s.work.ST[i][j];
        s.table.A[i][j] = s.work.T[i][j];
      }
  }
  if (q.U > 0 && q.U < s.work.MIN) s.work.MIN = q.U;
}

REAL largest_variance(const AnalysisRun& s) {
  REAL largest = 0;
  for (std::int32_t i = 1; i <= s.table.N; ++i)
    for (std::int32_t j = 1; j <= s.table.M; ++j) largest = std::max(largest, s.work.SD[i][j]);
  return largest;
}

bool statistics_finite(const AnalysisRun& s, std::int32_t I) {
  for (int j = 1; j <= 8; ++j)
    if (!std::isfinite(s.work.AR[j][I])) return false;
  return true;
}

// Stops the elimination at the first value that is not finite: NaN and
// infinity arithmetic would make every later result meaningless.
void check_step(std::int32_t I, const Pivot& next, const VarianceBound& variances) {
  if (!next.found_finite())
    throw_overflow("the remainder after elimination step " + std::to_string(I) + " overflows",
                   beyond_real("an element"), "scale the data down");
  if (!variances.finite)
    throw_overflow("the variances propagated through elimination step " + std::to_string(I) + " overflow",
                   beyond_real("a product of squared elements and variances"),
                   "give a smaller error or scale the data down");
}

void throw_product_overflow(bool variances) {
  if (variances)
    throw_overflow("the variances of the product matrix overflow", beyond_real("an element"),
                   "give a smaller error or scale the data down");
  throw_overflow("the product matrix overflows", beyond_real("its largest element"),
                 "scale the data down");
}

// Which of T and ST first holds a value that is not finite, row by row over
// rows first..last, elements i..order of row i (the upper triangle is all
// the product loops write), T before ST.
enum class ProductFault : char { none, product, variances };

ProductFault first_fault(const MATRIX& T, const MATRIX* ST, std::int32_t first, std::int32_t last,
                         std::int32_t order) {
  for (std::int32_t i = first; i <= last; ++i)
    for (std::int32_t j = i; j <= order; ++j) {
      if (!std::isfinite(T[i][j])) return ProductFault::product;
      if (ST != nullptr && !std::isfinite((*ST)[i][j])) return ProductFault::variances;
    }
  return ProductFault::none;
}

// Rows first..last of T (and ST) by fill(from, to, check) for check = 0..
// checks-1 in turn, shared out in parts of about equal cost (row i holds
// order - i + 1 elements); after each fill a part looks at its own rows and
// stops at a fault. The first check that found one, and in it the first fault
// in row order, stops the run: the same fault whatever the parts.
template <typename Fill>
void fill_product_rows(Workers& workers, const MATRIX& T, const MATRIX* ST, std::int32_t order, std::int32_t first,
                       std::int32_t last, std::int64_t work, std::int32_t checks, Fill fill) {
  struct Found {
    std::int32_t check = 0;
    ProductFault fault = ProductFault::none;
  };
  const int parts = workers.parts_for(work, last - first + 1);
  const std::vector<std::int32_t> bounds = triangle_split(first, last, parts, Slope::falling);
  std::vector<Found> found(static_cast<std::size_t>(parts));
  workers.run(parts, [&](int part) {
    const std::int32_t from = bounds[static_cast<std::size_t>(part)];
    const std::int32_t to = bounds[static_cast<std::size_t>(part) + 1] - 1;
    for (std::int32_t check = 0; check < checks; ++check) {
      fill(from, to, check);
      const ProductFault f = first_fault(T, ST, from, to, order);
      if (f != ProductFault::none) {
        found[static_cast<std::size_t>(part)] = {check, f};
        return;
      }
    }
  });
  const Found* first_found = nullptr;
  for (const Found& f : found)
    if (f.fault != ProductFault::none && (first_found == nullptr || f.check < first_found->check)) first_found = &f;
  if (first_found != nullptr) throw_product_overflow(first_found->fault == ProductFault::variances);
}

}  // namespace

REAL time_of_day_seconds() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  std::tm local{};
  localtime_r(&now.tv_sec, &local);
  const long hundredths = now.tv_nsec / 10000000;
  return local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec + hundredths * 0.01L;
}

REAL elapsed_seconds(REAL start, REAL now) {
  REAL elapsed = now - start;
  if (elapsed < 0) elapsed = elapsed + 86400;
  return elapsed;
}

void element_variances(const MATRIX& A, MATRIX& SD, std::int32_t N, std::int32_t M, const ElementErrors& errors,
                       Workers& workers) {
  const int parts = workers.parts_for(static_cast<std::int64_t>(N) * M, N);
  std::vector<char> finite(static_cast<std::size_t>(parts), 1);
  workers.run(parts, [&](int part) {
    bool ok = true;
    const PartRange rows = part_range(1, N, parts, part);
    for (std::int32_t i = rows.from; i <= rows.to; ++i) {
      const REAL* a = A[i];
      REAL* sd = SD[i];
      for (std::int32_t j = 1; j <= M; ++j) {
        sd[j] = element_variance(a[j], errors.absolute_at(i, j), errors.relative_at(i, j));
        ok = ok && sd[j] <= kLargestReal;
      }
    }
    finite[static_cast<std::size_t>(part)] = ok;
  });
  if (!(errors.ER * errors.ER <= kLargestReal) || std::find(finite.begin(), finite.end(), 0) != finite.end())
    throw_overflow("the element variances overflow",
                   beyond_real("the square of an element's error"),
                   "give a smaller error or scale the data down");
}

namespace {

ElementErrors errors_of_analysis(const AnalysisRun& s, REAL ER, REAL ERPR) {
  ElementErrors e = errors_of_run(s.plan, s.table);
  e.ER = ER;
  e.ERPR = ERPR;
  return e;
}

}  // namespace

void compute_element_variances(AnalysisRun& s, REAL ER, REAL ERPR) {
  element_variances(s.table.A, s.work.SD, s.table.N, s.table.M, errors_of_analysis(s, ER, ERPR), s.workers);
}

namespace {

// Over the rows (order M) or over the columns (order N).
void product_sums(const ProductInputs& in, MATRIX& T, MATRIX* ST, Workers& workers, bool over_rows) {
  // Once a sum has overflowed every later term would be infinity arithmetic;
  // looking every 64 data rows keeps that to a bounded share of the work.
  constexpr std::int32_t kRowsBetweenChecks = 64;
  // A shared loop takes this many blocks of 64 rows, each part checking its
  // rows after each block, so that the threads meet once per 1024 rows.
  constexpr std::int32_t kChecksPerLoop = 16;
  const MATRIX& A = in.A;
  const bool ERB = ST != nullptr;
  const std::int32_t N = in.N, M = in.M;
  const std::int32_t order = over_rows ? M : N;
  // An element of ST costs about three times one of T.
  const std::int64_t per_element = ERB ? 4 : 1;
  const std::int64_t triangle = static_cast<std::int64_t>(order) * (order + 1) / 2;
  if (over_rows) {
    // Each T[i][j] (and ST[i][j]) is still summed over k = 1..N in increasing
    // order: the blocks of 64 rows of A come one after the other, and the
    // sums keep their order of terms inside a block (numeric/product_sums).
    // The rows of T are shared out, each part taking the same rows of A.
    constexpr std::int32_t kRowsPerLoop = kRowsBetweenChecks * kChecksPerLoop;
    for (std::int32_t r0 = 1; r0 <= N; r0 += kRowsPerLoop) {
      const std::int32_t r1 = std::min(r0 + kRowsPerLoop - 1, N);
      const std::int64_t work = triangle * (r1 - r0 + 1) * per_element;
      const std::int32_t checks = (r1 - r0) / kRowsBetweenChecks + 1;
      fill_product_rows(workers, T, ST, order, 1, order, work, checks,
                        [&](std::int32_t from, std::int32_t to, std::int32_t check) {
                          const std::int32_t k0 = r0 + check * kRowsBetweenChecks;
                          const std::int32_t k1 = std::min(k0 + kRowsBetweenChecks - 1, r1);
                          add_column_products(A, k0, k1, from, to, M, T);
                          if (ERB) add_column_product_variances(A, *in.SD, k0, k1, from, to, M, *ST);
                        });
    }
  } else {
    for (std::int32_t i0 = 1; i0 <= N; i0 += kRowsBetweenChecks) {
      const std::int32_t i1 = std::min(i0 + kRowsBetweenChecks - 1, N);
      const std::int64_t elements = static_cast<std::int64_t>(i1 - i0 + 1) * (N - i0 + 1);
      const std::int64_t work = elements * M * per_element;
      fill_product_rows(workers, T, ST, order, i0, i1, work, 1, [&](std::int32_t from, std::int32_t to, std::int32_t) {
        set_row_products(A, from, to, N, M, T);
        if (ERB) set_row_product_variances(A, *in.SD, from, to, N, M, *ST);
      });
    }
  }
  for (std::int32_t i = 1; i <= order; ++i)
    for (std::int32_t j = i + 1; j <= order; ++j) {
      T[j][i] = T[i][j];
      if (ERB) (*ST)[j][i] = (*ST)[i][j];
    }
}

}  // namespace

void product_of_rows(const ProductInputs& in, MATRIX& T, MATRIX* ST, Workers& workers) {
  product_sums(in, T, ST, workers, true);
}

void product_matrix(const ProductInputs& in, MATRIX& T, MATRIX* ST, Workers& workers) {
  product_sums(in, T, ST, workers, in.N >= in.M);
}

void compute_product_matrix(AnalysisRun& s, bool ERB) {
  product_matrix(ProductInputs{s.table.A, ERB ? &s.work.SD : nullptr, s.table.N, s.table.M}, s.work.T, ERB ? &s.work.ST : nullptr, s.workers);
}

void run_elimination(AnalysisContext& q) {
  AnalysisRun& s = q.s;
  prepare_elimination(q);
  VarianceBound variances;
  if (q.ERB) variances.largest = largest_variance(s);
  std::int32_t I = 0;
  Pivot pivot;
  bool pivot_known = false;
  do {
    ++I;
    q.observer.step_begins(I, s.work.MIN);
    if (q.SM) {
      remainder_statistics(s, I);
      if (!statistics_finite(s, I))
        throw_overflow("the statistics of the remainder before elimination step " + std::to_string(I) + " overflow",
                       beyond_real("a sum of powers of the elements"),
                       "scale the data nearer to 1 or leave the statistics out");
    }
    if (!pivot_known) pivot = search_pivot(s, I);
    if (pivot.best == 0) s.work.MIN = I - 1;
    s.table.A[0][I] = s.table.A[pivot.S][pivot.R];
    pivot_known = false;
    if (I <= s.work.MIN) {
      exchange_rows(s, q.ERB, I, pivot.S);
      exchange_column_labels(s, I, pivot.R);
      // The listing shows the matrix after the exchanges; otherwise the
      // step exchanges the columns as it goes.
      std::int32_t still_to_exchange = pivot.R;
      if (q.observer.lists_steps()) {
        exchange_column_elements(s, q.ERB, I, pivot.R, 1, s.table.N);
        still_to_exchange = I;
        q.observer.step_listing(s, q.ERB);
      }
      pivot = eliminate_step(s, q.ERB, I, still_to_exchange, variances);
      check_step(I, pivot, variances);
      pivot_known = true;
    }
    if (s.plan.RGAUSS > 0) count_remainder_histogram(s, I);
  } while (I < s.work.MIN);
}

void QOR(AnalysisRun& s, AnalysisObserver& observer, bool TP, bool ES, bool SM, REAL ER, REAL ERPR, std::int32_t U) {
  AnalysisContext q{s, observer, TP, ES, SM, ER, ERPR, U, errors_of_analysis(s, ER, ERPR).known()};
  if (q.ERB) compute_element_variances(s, ER, ERPR);
  observer.analysis_begins(s);
  if (TP) {
    observer.product_matrix_begins();
    compute_product_matrix(s, q.ERB);
  }
  if (ES) {
    eigenvalue_analysis(q);
  } else {
    run_elimination(q);
    observer.elimination_done(s);
  }
}

#include "analysis/qor.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "analysis/eigen_analysis.h"
#include "analysis/histogram.h"
#include "analysis/remainder_stats.h"
#include "common/bounded_string.h"
#include "common/console.h"
#include "common/run_error.h"
#include "common/run_state.h"
#include "common/text.h"
#include "common/text_writer.h"
#include "report/number_text.h"
#include "report/output_file.h"
#include "report/result_report.h"

namespace {

// The report file's name as the analysis uses it: at most 12 characters.
using DATAFILE = BoundedString<12>;

constexpr REAL kLargestReal = std::numeric_limits<REAL>::max();

// ---- Step listing -------------------------------------------------------

// HELP1: the column labels, whole numbers without decimals.
void HELP1(const RunState& s, TextWriter& out, int W) {
  for (std::int32_t K = 1; K <= s.M; ++K) {
    const REAL v = s.CO[1][K];
    write_fixed(out, v, W, is_whole_label(v, kColumnLabelWholeWithin) ? 0 : 2);
  }
}

void write_step_listing(const AnalysisContext& q) {
  const RunState& s = q.s;
  TextWriter& out = *q.report;
  const int W = q.W;
  const int absD = std::abs(static_cast<int>(q.D));
  const int lw = is_whole_label(s.RO[1][1], kColumnLabelWholeWithin) ? absD : W;
  out.write_right("Order", lw + 8);
  HELP1(s, out, W);
  if (q.ERB) {
    out.write("  Error");
    HELP1(s, out, W);
  }
  out.line_end();
  for (std::int32_t J = 1; J <= s.N; ++J) {
    const REAL v = s.RO[J][1];
    if (is_whole_label(v, kRowLabelWholeWithin)) {
      write_fixed(out, v, absD + 8, 0);
    } else {
      write_scientific(out, v, W + 8);
    }
    const REAL* row = s.A[J];
    for (std::int32_t K = 1; K <= s.M; ++K) write_number(out, row[K], W, q.D);
    if (q.ERB) {
      out.write_blanks(7);
      const REAL* sd = s.SD[J];
      for (std::int32_t K = 1; K <= s.M; ++K) write_number(out, std::sqrt(sd[K]), W, q.D);
    }
    out.line_end();
  }
}

// ---- Elimination ----------------------------------------------------------

constexpr const char* kBeyondReal = "would exceed 1.19E+4932";

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
  // From finite values an elimination step forms no NaN: |multiplier| <= 1,
  // so the products are finite and only a difference can overflow, to an
  // infinity that becomes the largest magnitude.
  bool found_finite() const { return !std::isinf(best); }
};

// Rows L = I..N (outer), columns J = I..M (inner): the first element of
// largest magnitude in row-major order.
Pivot search_pivot(const RunState& s, std::int32_t I) {
  Pivot p{0, I, I};
  for (std::int32_t L = I; L <= s.N; ++L) {
    const REAL* row = s.A[L];
    for (std::int32_t J = I; J <= s.M; ++J) p.consider(row[J], L, J);
  }
  return p;
}

void exchange_rows(RunState& s, bool ERB, std::int32_t I, std::int32_t S) {
  if (I == S) return;
  // Every row's columns 1..M move; column 0 of data rows is unused, so the row pointers may swap.
  if (ERB) s.SD.swap_rows(I, S);
  s.A.swap_rows(I, S);
  std::swap(s.RO[I][1], s.RO[S][1]);
  if (keeps_original_row_numbers(s)) std::swap(s.RW[I][1], s.RW[S][1]);
}

void exchange_columns(RunState& s, bool ERB, std::int32_t I, std::int32_t R) {
  if (I == R) return;
  for (std::int32_t K = 1; K <= s.N; ++K) {
    if (ERB) std::swap(s.SD[K][I], s.SD[K][R]);
    std::swap(s.A[K][I], s.A[K][R]);
  }
  std::swap(s.CO[1][I], s.CO[1][R]);
  if (keeps_original_column_numbers(s)) std::swap(s.CW[1][I], s.CW[1][R]);
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

// Variance propagation and elimination of step I in one pass over the rows
// below the pivot, which also finds the next pivot. Every element of step I
// reads only row I and column I, so the rows may be done one after the
// other; each value is formed by the same operations as element by element,
// and the search keeps row-major order, so the tie rule holds.
Pivot eliminate_step(RunState& s, bool ERB, std::int32_t I, VarianceBound& bound) {
  const std::int32_t N = s.N;
  const std::int32_t M = s.M;
  REAL* pivot_row = s.A[I];
  const REAL p = pivot_row[I];
  // The squares of the pivot row's elements are the same for every row below.
  std::vector<REAL> g;
  REAL c = 0, e = 0, largest_g = 0, largest_pivot_variance = 0, largest_update = 0;
  const REAL* sd_pivot_row = nullptr;
  if (ERB) {
    c = p * p;
    e = s.SD[I][I];
    sd_pivot_row = s.SD[I];
    g.resize(static_cast<std::size_t>(M) + 1);
    for (std::int32_t J = I + 1; J <= M; ++J) {
      g[J] = pivot_row[J] * pivot_row[J];
      largest_g = std::max(largest_g, g[J]);
      largest_pivot_variance = std::max(largest_pivot_variance, sd_pivot_row[J]);
    }
  }
  Pivot next{0, I + 1, I + 1};
  for (std::int32_t K = I + 1; K <= N; ++K) {
    REAL* row = s.A[K];
    const REAL a = row[I];
    if (ERB)
      largest_update = std::max(largest_update, propagate_row(s.SD[K], sd_pivot_row, g.data(), I + 1, M, a * a, c,
                                                              e, largest_g, largest_pivot_variance, bound));
    const REAL l = a / p;
    for (std::int32_t J = I + 1; J <= M; ++J) {
      const REAL v = row[J] - pivot_row[J] * l;
      row[J] = v;
      next.consider(v, K, J);
    }
    row[I] = 0;
  }
  bound.largest = bound.largest + largest_update;
  // The pivot row: divided by itself last, its other elements cleared by the update.
  const REAL one = p / p;
  for (std::int32_t J = I + 1; J <= M; ++J) pivot_row[J] = pivot_row[J] - pivot_row[J] * one;
  pivot_row[I] = s.A[0][I];
  return next;
}

void show_progress(Console& console, std::int32_t I) {
  if (!console.is_terminal()) return;  // a file or pipe gets no overwritten text
  const int column = console.column();
  console.write("Diagonal " + std::to_string(I) + "       ");
  console.go_to_column(column);
  console.flush();
}

void prepare_elimination(AnalysisContext& q) {
  RunState& s = q.s;
  if (q.TP) {
    s.N = s.MIN;
    s.M = s.MIN;
    for (std::int32_t i = 1; i <= s.MIN; ++i)
      for (std::int32_t j = 1; j <= s.MIN; ++j) {
        if (q.ERB) s.SD[i][j] = s.ST[i][j];
        s.A[i][j] = s.T[i][j];
      }
  }
  if (q.U > 0 && q.U < s.MIN) s.MIN = q.U;
}

REAL largest_variance(const RunState& s) {
  REAL largest = 0;
  for (std::int32_t i = 1; i <= s.N; ++i)
    for (std::int32_t j = 1; j <= s.M; ++j) largest = std::max(largest, s.SD[i][j]);
  return largest;
}

bool statistics_finite(const RunState& s, std::int32_t I) {
  for (int j = 1; j <= 8; ++j)
    if (!std::isfinite(s.AR[j][I])) return false;
  return true;
}

// Stops the elimination at the first value that is not finite: NaN and
// infinity arithmetic would make every later result meaningless.
void check_step(std::int32_t I, const Pivot& next, const VarianceBound& variances) {
  if (!next.found_finite())
    throw_overflow("the remainder after elimination step " + std::to_string(I) + " overflows",
                   std::string("an element ") + kBeyondReal, "scale the data down");
  if (!variances.finite)
    throw_overflow("the variances propagated through elimination step " + std::to_string(I) + " overflow",
                   std::string("a product of squared elements and variances ") + kBeyondReal,
                   "give a smaller error or scale the data down");
}

void throw_product_overflow(bool variances) {
  if (variances)
    throw_overflow("the variances of the product matrix overflow", std::string("an element ") + kBeyondReal,
                   "give a smaller error or scale the data down");
  throw_overflow("the product matrix overflows", std::string("its largest element ") + kBeyondReal,
                 "scale the data down");
}

// Elements i..order of row i of T (and ST): the upper triangle is all the
// product loops write.
void check_product_row(const MATRIX& T, const MATRIX* ST, std::int32_t i, std::int32_t order) {
  for (std::int32_t j = i; j <= order; ++j) {
    if (!std::isfinite(T[i][j])) throw_product_overflow(false);
    if (ST != nullptr && !std::isfinite((*ST)[i][j])) throw_product_overflow(true);
  }
}

void check_product_matrix(const MATRIX& T, const MATRIX* ST, std::int32_t order) {
  for (std::int32_t i = 1; i <= order; ++i) check_product_row(T, ST, i, order);
}

void write_time_line(Console& console, REAL start) {
  console.write("Time:");
  console.write(fixed_text(elapsed_seconds(start, time_of_day_seconds()), 7, 2));
  console.write_line("s");
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

void element_variances(const MATRIX& A, MATRIX& SD, std::int32_t N, std::int32_t M, REAL ER, REAL ERPR) {
  const REAL v = ER * ER;
  bool finite = v <= kLargestReal;
  for (std::int32_t i = 1; i <= N; ++i) {
    const REAL* a = A[i];
    REAL* sd = SD[i];
    for (std::int32_t j = 1; j <= M; ++j) {
      const REAL x = ERPR * a[j];
      const REAL b = x * x;
      sd[j] = b > v ? b : v;
      finite = finite && sd[j] <= kLargestReal;
    }
  }
  if (!finite)
    throw_overflow("the element variances overflow",
                   std::string("the square of an element's error ") + kBeyondReal,
                   "give a smaller error or scale the data down");
}

void compute_element_variances(RunState& s, REAL ER, REAL ERPR) { element_variances(s.A, s.SD, s.N, s.M, ER, ERPR); }

void product_matrix(const ProductInputs& in, MATRIX& T, MATRIX* ST) {
  // Once a sum has overflowed every later term would be infinity arithmetic;
  // looking every 64 data rows keeps that to a bounded share of the work.
  constexpr std::int32_t kRowsBetweenChecks = 64;
  const MATRIX& A = in.A;
  const bool ERB = ST != nullptr;
  const std::int32_t N = in.N, M = in.M;
  const std::int32_t order = N > M ? M : N;
  if (N >= M) {
    // Each T[i][j] (and ST[i][j]) is still summed over k = 1..N in increasing
    // order; running k outermost only keeps the rows of A in cache.
    for (std::int32_t k = 1; k <= N; ++k) {
      const REAL* a = A[k];
      const REAL* sd = ERB ? (*in.SD)[k] : nullptr;
      for (std::int32_t i = 1; i <= M; ++i) {
        REAL* t = T[i];
        const REAL ai = a[i];
        for (std::int32_t j = i; j <= M; ++j) t[j] = t[j] + ai * a[j];
        if (ERB) {
          REAL* st = (*ST)[i];
          for (std::int32_t j = i; j <= M; ++j) {
            REAL term = ai * ai * sd[j] + a[j] * a[j] * sd[i];
            if (i == j) term = term * 2;
            st[j] = st[j] + term;
          }
        }
      }
      if (k % kRowsBetweenChecks == 0 || k == N) check_product_matrix(T, ST, order);
    }
  } else {
    for (std::int32_t i = 1; i <= N; ++i) {
      const REAL* ai = A[i];
      const REAL* sdi = ERB ? (*in.SD)[i] : nullptr;
      for (std::int32_t j = i; j <= N; ++j) {
        const REAL* aj = A[j];
        REAL sum = 0;
        for (std::int32_t k = 1; k <= M; ++k) sum = sum + ai[k] * aj[k];
        T[i][j] = sum;
        if (ERB) {
          const REAL* sdj = (*in.SD)[j];
          REAL var = 0;
          for (std::int32_t k = 1; k <= M; ++k) {
            REAL term = ai[k] * ai[k] * sdj[k] + aj[k] * aj[k] * sdi[k];
            if (i == j) term = term * 2;
            var = var + term;
          }
          (*ST)[i][j] = var;
        }
      }
      check_product_row(T, ST, i, order);
    }
  }
  for (std::int32_t i = 1; i <= order; ++i)
    for (std::int32_t j = i + 1; j <= order; ++j) {
      T[j][i] = T[i][j];
      if (ERB) (*ST)[j][i] = (*ST)[i][j];
    }
}

void compute_product_matrix(RunState& s, bool ERB) {
  product_matrix(ProductInputs{s.A, ERB ? &s.SD : nullptr, s.N, s.M}, s.T, ERB ? &s.ST : nullptr);
}

void run_elimination(AnalysisContext& q) {
  RunState& s = q.s;
  prepare_elimination(q);
  VarianceBound variances;
  if (q.ERB) variances.largest = largest_variance(s);
  std::int32_t I = 0;
  Pivot pivot;
  bool pivot_known = false;
  do {
    ++I;
    show_progress(s.console, I);
    if (q.SM) {
      remainder_statistics(s, I);
      if (!statistics_finite(s, I))
        throw_overflow("the statistics of the remainder before elimination step " + std::to_string(I) + " overflow",
                       std::string("a sum of powers of the elements ") + kBeyondReal,
                       "scale the data nearer to 1 or leave the statistics out");
    }
    if (!pivot_known) pivot = search_pivot(s, I);
    if (pivot.best == 0) s.MIN = I - 1;
    s.A[0][I] = s.A[pivot.S][pivot.R];
    pivot_known = false;
    if (I <= s.MIN) {
      exchange_rows(s, q.ERB, I, pivot.S);
      exchange_columns(s, q.ERB, I, pivot.R);
      if (q.DR && q.NO) write_step_listing(q);
      pivot = eliminate_step(s, q.ERB, I, variances);
      check_step(I, pivot, variances);
      pivot_known = true;
    }
    if (s.RGAUSS > 0) count_remainder_histogram(s, I);
  } while (I < s.MIN);
}

std::string report_file_name(std::string_view OUT) { return ascii_upper(DATAFILE(OUT).view()); }

void QOR(RunState& s, std::string_view OUT, bool TP, bool ES, bool DR, bool SM, REAL ER, REAL ERPR,
         std::int16_t W, std::int16_t D, std::int32_t U) {
  const REAL T1 = time_of_day_seconds();
  const DATAFILE name(OUT);
  AnalysisContext q{s, TP, ES, DR, SM, ER, ERPR, W, D, U, errors_known(ER, ERPR), !name.empty(), nullptr};
  if (q.ERB) compute_element_variances(s, ER, ERPR);
  const std::string file_name = report_file_name(OUT);
  TextWriter* report = nullptr;
  std::optional<TextWriter> report_file;
  if (q.NO) {
    report_file.emplace(create_output_file(s, file_name, "report file"));
    report = &*report_file;
    HELP3(s, *report);
  }
  q.report = report;
  if (TP) compute_product_matrix(s, q.ERB);
  if (ES) {
    eigenvalue_analysis(q);
  } else {
    run_elimination(q);
    if (q.NO) PRINTRES(s, *report, W);
  }
  if (q.NO) report_file->close();
  write_time_line(s.console, T1);
}

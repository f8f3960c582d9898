#include "report/report_observer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/console.h"
#include "common/program_run.h"
#include "report/code_page.h"
#include "common/number_text.h"
#include "report/output_file.h"
#include "report/result_report.h"

namespace {

// The REAL nearest to ln 10, for the eigenvector check's smallness threshold 10^-SIZE.
constexpr REAL kLn10 = 2.302585092994045684017991454684364208L;

// HELP1: the column labels, whole numbers without decimals.
void HELP1(const AnalysisRun& s, TextWriter& out, int W) {
  for (std::int32_t K = 1; K <= s.table.M; ++K) {
    const REAL v = s.table.CO[1][K];
    write_fixed(out, v, W, is_whole_label(v, kColumnLabelWholeWithin) ? 0 : 2);
  }
}

void write_step_listing(const AnalysisRun& s, TextWriter& out, bool errors, int W, int D) {
  const int absD = std::abs(D);
  const int lw = is_whole_label(s.table.RO[1][1], kColumnLabelWholeWithin) ? absD : W;
  out.write_right("Order", lw + 8);
  HELP1(s, out, W);
  if (errors) {
    out.write("  Error");
    HELP1(s, out, W);
  }
  out.line_end();
  for (std::int32_t J = 1; J <= s.table.N; ++J) {
    const REAL v = s.table.RO[J][1];
    if (is_whole_label(v, kRowLabelWholeWithin)) {
      write_fixed(out, v, absD + 8, 0);
    } else {
      write_scientific(out, v, W + 8);
    }
    const REAL* row = s.table.A[J];
    for (std::int32_t K = 1; K <= s.table.M; ++K) write_number(out, row[K], W, D);
    if (errors) {
      out.write_blanks(7);
      const REAL* sd = s.work.SD[J];
      for (std::int32_t K = 1; K <= s.table.M; ++K) write_number(out, std::sqrt(sd[K]), W, D);
    }
    out.line_end();
  }
}

void write_eigenvalue_heading(TextWriter& out, bool errors, int W) {
  out.write("Solutions for Ax=");
  out.write(cp437::kMu);
  out.write("x, ");
  out.write("A must be a real, symmetric matrix.");
  out.line_end();
  out.write_right("EIGENVALUE", 19);
  if (errors) {
    using cp437::kSigma;
    const std::string columns = kSigma + std::string("est  2") + kSigma + "est  3" + kSigma + "est   chi" + cp437::kSquared;
    out.write_right(columns, 2 * W + 16);
    out.write_right("Q(nm-i)", W + 5);
    out.write_right("Q((n-i)(m-i))", W + 6);
  }
  out.line_end();
}

void write_residual_line(TextWriter& out, const EigenTestRecord& r, int W) {
  for (int j = 1; j <= 3; ++j) write_integer(out, r.NR[j], 7);
  write_number_text(out, RS(r.G, W).view(), W);
  out.write("=>");
  write_number_text(out, RS(r.Q_all, W).view(), W);
  write_number_text(out, RS(r.Q_rest, W).view(), W);
  out.line_end();
}

void write_eigenvector_check(const AnalysisRun& s, TextWriter& out, std::int32_t I, int W) {
  out.write("vector (x)");
  out.write_right("A(", W - 6);
  // Part of the heading "A(k,i)*x", not a column of numbers: no blank is
  // put between "A(" and a number of three digits or more.
  out.write(integer_text(std::llround(s.table.RO[I][1]), 3));
  out.write(",i)*x");
  out.write_right("Ratio", W - 2);
  out.line_end();
  const REAL t = std::exp(-s.work.SIZE * kLn10);
  const REAL largest = std::fabs(s.work.DE[1][1]);
  for (std::int32_t J = 1; J <= s.work.MIN; ++J) {
    const REAL x = s.work.T[J][I];
    write_number_text(out, RS(x, W).view(), W);
    out.write(' ');
    write_number_text(out, RS(s.work.FE[J][1], W).view(), W);
    // With a largest eigenvalue of 0 only an exactly zero component counts as negligible.
    const bool negligible = largest == 0 ? x == 0 : std::fabs(x) / largest < t;
    if (negligible) {
      out.write_right("div. by 0", W + 1);
    } else {
      out.write(' ');
      write_number_text(out, RS(s.work.FE[J][1] / x, W).view(), W);
    }
    out.line_end();
  }
}

}  // namespace

ReportObserver::ReportObserver(ProgramRun& s, Console& console, std::string file_name, bool listing, std::int16_t W,
                               std::int16_t D)
    : s_(s), console_(console), file_name_(std::move(file_name)), listing_(listing), W_(W), D_(D) {}

Pause& ReportObserver::pause() { return console_; }

void ReportObserver::analysis_begins(const AnalysisRun& s) {
  if (file_name_.empty()) return;
  report_.emplace(create_output_file(s_, file_name_, "report file"));
  HELP3(s.table.N, s.table.M, s_.params, *report_);
}

void ReportObserver::product_matrix_begins() { console_.show_progress("Product matrix"); }

void ReportObserver::step_begins(std::int32_t I, std::int32_t MIN) {
  done_ = I - 1;
  console_.show_progress("Diagonal", I, MIN);
}

void ReportObserver::step_listing(const AnalysisRun& s, bool errors) {
  if (report_) write_step_listing(s, *report_, errors, W_, D_);
}

void ReportObserver::elimination_done(const AnalysisRun& s) {
  done_ = s.work.MIN;
  if (report_) PRINTRES(s, *report_, W_, D_);
}

void ReportObserver::eigenvalues_begin(const AnalysisRun&, bool errors) {
  eigenvalues_ = true;
  // The eigenvalue report's columns are at least 10 wide.
  if (W_ < 10) W_ = 10;
  if (report_) write_eigenvalue_heading(*report_, errors, W_);
}

void ReportObserver::eigenvalue_found(const AnalysisRun& s, std::int32_t I, std::int32_t U, bool errors) {
  if (report_) {
    TextWriter& out = *report_;
    out.write(cp437::kMu);
    out.write(std::to_string(I) + "(" + std::to_string(std::llround(s.table.RO[I][1])) + ")=");
    write_number_text(out, RS(s.work.DE[I][1], W_).view(), W_);
    if (errors) {
      out.write(cp437::kPlusMinus);
      write_number_text(out, RS(std::sqrt(s.work.EE[I][1]), W_).view(), W_);
    } else {
      out.line_end();
    }
  }
  if (!errors) {
    done_ = I;
    return;
  }
  // Each residual test reads the whole data: the count shows how far the run is.
  console_.count_line("Eigenvalue", I, U);
  if (report_) report_->flush();
}

void ReportObserver::residual_tested(const AnalysisRun&, std::int32_t I, const EigenTestRecord& record) {
  done_ = I;
  if (report_) write_residual_line(*report_, record, W_);
}

void ReportObserver::eigenvector_checked(const AnalysisRun& s, std::int32_t I) {
  if (report_) write_eigenvector_check(s, *report_, I, W_);
}

void ReportObserver::close() {
  if (report_) report_->close();
}

void ReportObserver::mark_interrupted() {
  if (!report_) return;
  TextWriter& out = *report_;
  if (out.column() != 0) out.line_end();  // a line the interruption cut short
  out.write("Run interrupted (Ctrl-C) after " + std::to_string(done_) + (eigenvalues_ ? " eigenvalue" : " step") +
            (done_ == 1 ? "" : "s") + "; the report ends here.");
  out.line_end();
  out.close();
  report_.reset();
}

std::int64_t step_listing_bytes(std::int64_t N, std::int64_t M, std::int64_t steps, bool errors, bool eigenvalues,
                                int W, int D) {
  constexpr std::int64_t kLineEnd = 2;
  if (eigenvalues) {
    // The heading, then per component the vector, the product and the ratio.
    const std::int64_t check = (2 * W + 16) + kLineEnd + N * (3 * W + 2 + kLineEnd);
    return steps * check;
  }
  const std::int64_t label = std::max(std::abs(D), W) + 8;
  const std::int64_t columns = M * W * (errors ? 2 : 1) + (errors ? 7 : 0);
  return steps * (label + columns + kLineEnd) * (N + 1);
}

std::string byte_size_text(std::int64_t bytes) {
  const char* units[] = {"bytes", "kB", "MB", "GB", "TB", "PB"};
  double size = static_cast<double>(bytes);
  int unit = 0;
  while (size >= 1000 && unit < 5) {
    size /= 1000;
    ++unit;
  }
  char text[32];
  std::snprintf(text, sizeof text, size < 100 && unit > 0 ? "%.1f %s" : "%.0f %s", size, units[unit]);
  return text;
}

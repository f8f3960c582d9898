#include "input/run_driver.h"

#include <cmath>
#include <string>

#include "analysis/histogram.h"
#include "input/histogram_file.h"
#include "analysis/qor.h"
#include "verdict/rank_verdict.h"
#include "verdict/verdict_text.h"
#include "common/console.h"
#include "common/run_error.h"
#include "common/run_state.h"
#include "common/text_writer.h"
#include "report/output_names.h"

namespace {

// Two finite values of opposite sign near the limit of REAL differ by more than it holds.
[[noreturn]] void throw_reference_overflow(const std::string& which) {
  throw_overflow("subtracting the reference " + which + " overflows",
                 beyond_real("a difference"), "scale the data down");
}

// Why a reference the user named is not subtracted, or empty: it lies
// beyond the data file's rows (values), names none, or the selection
// leaves it out.
std::string unused_reference_note(const char* what, std::int32_t given, std::int32_t position, std::int32_t count,
                                  const char* letter) {
  const std::string named = std::string("the reference ") + what + " " + letter + std::to_string(given);
  if (given < 0) return named + " names no " + what + " (they are counted from 1), so none is subtracted.";
  if (given > count)
    return named + " lies beyond the " + std::to_string(count) + " " + what + (count == 1 ? "" : "s") +
           " of the data file, so none is subtracted.";
  if (given > 0 && position == 0)
    return named + " is left out by the " + what + " selection, so none is subtracted.";
  return {};
}

void warn_of_unused_reference(RunState& s) {
  const std::string row = unused_reference_note("row", s.settings.OSR, s.OSR, s.N0, "R");
  if (!row.empty()) s.console.warn(row);
  const std::string column = unused_reference_note("column", s.settings.OSC, s.OSC, s.M0, "C");
  if (!column.empty()) s.console.warn(column);
}

void remove_reference_row(RunState& s) {
  const std::int32_t r = s.OSR;
  if (r <= 0 || r > s.N) return;
  const REAL* ref = s.A[r];
  bool finite = true;
  for (std::int32_t i = 1; i <= s.N; ++i) {
    if (i == r) continue;
    REAL* row = s.A[i];
    for (std::int32_t j = 1; j <= s.M; ++j) {
      row[j] = row[j] - ref[j];
      finite = finite && std::isfinite(row[j]);
    }
  }
  if (!finite) throw_reference_overflow("row");
  --s.N;
  const bool copies = keeps_original_row_numbers(s);
  for (std::int32_t i = r; i <= s.N; ++i) {
    s.RO[i][1] = s.RO[i + 1][1];
    if (copies) s.RW[i][1] = s.RW[i + 1][1];
    for (std::int32_t j = 1; j <= s.M; ++j) s.A[i][j] = s.A[i + 1][j];
  }
}

void remove_reference_column(RunState& s) {
  const std::int32_t c = s.OSC;
  if (c <= 0 || c > s.M) return;
  // Each element only needs its own row's reference value, so rows may go in any order.
  bool finite = true;
  for (std::int32_t i = 1; i <= s.N; ++i) {
    REAL* row = s.A[i];
    const REAL ref = row[c];
    for (std::int32_t j = 1; j <= s.M; ++j)
      if (j != c) {
        row[j] = row[j] - ref;
        finite = finite && std::isfinite(row[j]);
      }
  }
  if (!finite) throw_reference_overflow("column");
  --s.M;
  const bool copies = keeps_original_column_numbers(s);
  for (std::int32_t j = c; j <= s.M; ++j) {
    s.CO[1][j] = s.CO[1][j + 1];
    if (copies) s.CW[1][j] = s.CW[1][j + 1];
  }
  for (std::int32_t i = 1; i <= s.N; ++i) {
    REAL* row = s.A[i];
    for (std::int32_t j = c; j <= s.M; ++j) row[j] = row[j + 1];
  }
}

void settle_run(RunState& s) {
  s.MIN = s.N > s.M ? s.M : s.N;
  if (s.FTW > s.MIN) s.FTW = 0;
  if (s.FTW != 0) {
    s.LSD = false;
    s.JEV = false;
    s.MER = 0;
    s.MERPR = 0;
    s.H = "";
    s.NU = s.FTW - 1;
  } else {
    s.H = s.settings.GFNO.view();
    if (s.NU < 1 || s.NU > s.MIN) s.NU = s.MIN;
  }
}

void size_working_matrices(RunState& s) {
  const std::int32_t order = s.MIN + 1;
  const bool errors = errors_known(s.MER, s.MERPR);
  if (s.settings.ITRN) {
    s.T = MATRIX(order, order);
    s.ST = MATRIX(order, order);
  }
  if (errors) s.SD = MATRIX(s.N + 1, s.M + 1);
  if (s.JEV) {
    s.CC = MATRIX(order, order);
    if (!s.T.allocated()) s.T = MATRIX(order, order);
    s.DE = MATRIX(order, 2);
    s.EE = MATRIX(order, 2);
    s.FE = MATRIX(order, 2);
    if (!s.ST.allocated() && errors) s.ST = MATRIX(order, order);
  }
  if (s.LSD) s.AR = MATRIX(9, order);
}

// The program keeps its run on such a matrix and says once what it reads.
void warn_of_matrix_itself(RunState& s) {
  const std::optional<Asymmetry> a = matrix_itself_asymmetry(s);
  if (!a) return;
  const std::string read = "mode E analyses the data matrix itself as a symmetric matrix, but ";
  const std::string instead = " (mode B analyses the product of the matrix with its transpose).";
  if (a->row == 0) {
    s.console.warn(read + "it has " + std::to_string(s.N) + " rows and " + std::to_string(s.M) +
                   " columns: its leading " + std::to_string(s.MIN) + " x " + std::to_string(s.MIN) +
                   " block is analysed" + instead);
  } else {
    s.console.warn(read + "row " + std::to_string(a->row) + ", column " + std::to_string(a->column) +
                   " differs from row " + std::to_string(a->column) + ", column " + std::to_string(a->row) +
                   ": the results are not those of a symmetric matrix" + instead);
  }
}

}  // namespace

std::optional<Asymmetry> matrix_itself_asymmetry(const RunState& s) {
  if (!s.JEV || s.settings.ITRN || s.NU == 0) return std::nullopt;
  if (s.N != s.M) return Asymmetry{};
  for (std::int32_t i = 1; i <= s.N; ++i)
    for (std::int32_t j = i + 1; j <= s.M; ++j)
      if (!(s.A[i][j] == s.A[j][i])) return Asymmetry{i, j};
  return std::nullopt;
}

std::optional<RankSample> prepare_run(RunState& s) {
  // A table run clears the error for its elimination; the verdict still
  // judges with the error the user gave.
  const REAL given_absolute = s.MER, given_relative = s.MERPR;
  warn_of_unused_reference(s);
  remove_reference_row(s);
  remove_reference_column(s);
  settle_run(s);
  warn_of_matrix_itself(s);
  size_working_matrices(s);
  if (s.settings.RGAUSS > 0) prepare_histogram(s);
  if (!s.settings.VERDICT) return std::nullopt;
  return take_rank_sample(s, given_absolute, given_relative);
}

void run_analysis_stage(RunState& s, AnalysisObserver& observer) {
  if (s.NU == 0) return;
  QOR(s, observer, s.settings.ITRN, s.JEV, s.LSD, s.MER, s.MERPR, s.NU);
}

RankVerdict report_rank_verdict(RunState& s, const RankSample& sample, TextWriter* report) {
  // The eigenvalue mode formed the variances of the same matrix with the same error.
  const bool variances_formed = sample.shared != nullptr && s.NU != 0 && errors_known(sample.ER, sample.ERPR) &&
                                s.SD.allocated();
  RankVerdict verdict = judge_rank(sample, s.console, s.workers, variances_formed ? &s.SD : nullptr);
  if (report != nullptr) {
    report->line_end();
    write_rank_verdict(*report, verdict);
  } else {
    // The tables of a table run have a file of their own, finished by now;
    // a table run to the console and a run without an analysis have none.
    const std::string file = written_file(s);
    if (!file.empty()) {
      TextWriter out = TextWriter::append(file, "contribution-table file");
      out.line_end();
      write_rank_verdict(out, verdict);
      out.close();
    }
  }
  TextWriter& console = s.console.out();
  console.line_end();
  write_rank_verdict(console, verdict);
  s.console.flush();
  return verdict;
}

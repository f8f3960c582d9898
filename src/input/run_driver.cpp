#include "input/run_driver.h"

#include <cmath>
#include <string>

#include "analysis/qor.h"
#include "common/run_error.h"
#include "common/run_state.h"
#include "control/console.h"
#include "report/number_text.h"
#include "report/output_file.h"
#include "report/result_report.h"
#include "report/text_writer.h"

namespace {

// Two finite values of opposite sign near the limit of REAL differ by more than it holds.
[[noreturn]] void throw_reference_overflow(const std::string& which) {
  throw_overflow("subtracting the reference " + which + " overflows",
                 "a difference would exceed 1.19E+4932", "scale the data down");
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
  const bool copies = s.FTW > 0 || s.BTOR;
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
  const bool copies = s.FTW > 0 || s.CTOC;
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
    s.H = s.GFNO.view();
    if (s.NU < 1 || s.NU > s.MIN) s.NU = s.MIN;
  }
}

void size_working_matrices(RunState& s) {
  const std::int32_t order = s.MIN + 1;
  const bool errors = s.MER != 0 || s.MERPR != 0;
  if (s.ITRN) {
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

REAL largest_magnitude(const RunState& s) {
  REAL largest = 0;
  for (std::int32_t i = 1; i <= s.N; ++i)
    for (std::int32_t j = 1; j <= s.M; ++j)
      if (std::fabs(s.A[i][j]) > largest) largest = std::fabs(s.A[i][j]);
  return largest;
}

void prepare_histogram(RunState& s) {
  s.GA = largest_magnitude(s);
  const REAL half_bins = std::trunc(s.GA / s.RGAUSS) + 1;
  const std::int32_t columns = s.NU > 0 ? s.NU + 1 : s.MIN + 1;
  // A class width far below the range of the elements would ask for millions
  // of classes, gigabytes of memory and a histogram file to match.
  if (!(half_bins <= kMaxHistogramClasses / 2) ||
      !(2 * half_bins * (columns + 1) <= kMaxHistogramCells))
    throw RunError(kSettingOutOfRange,
                   "the histogram class width" + scientific_text(s.RGAUSS, 14) +
                       " is too small for elements up to" + scientific_text(s.GA, 14) + ": it would need " +
                       fixed_text(2 * half_bins, 0, 0) + " classes of " + std::to_string(columns) +
                       " counts; at most " + std::to_string(kMaxHistogramClasses) + " classes and " +
                       std::to_string(kMaxHistogramCells) + " counts in all are supported.",
                   RunError::Kind::data);
  s.GL = 2 * static_cast<std::int32_t>(half_bins);
  s.GA = -(s.GL / 2) * s.RGAUSS;
  s.GK = columns;
  s.GB = MATRIX(s.GL + 1, s.GK + 1);
  for (std::int32_t i = 1; i <= s.GL; ++i) s.GB[i][0] = (i - (s.GL + 1) / 2.0L) * s.RGAUSS;
  for (std::int32_t i = 1; i <= s.N; ++i)
    for (std::int32_t j = 1; j <= s.M; ++j) {
      const std::int32_t b = input_histogram_bin(s.A[i][j], s.GA, s.RGAUSS, s.GL);
      if (b != 0) s.GB[b][1] = s.GB[b][1] + 1;
    }
}

// A column that received no count keeps its zeros instead of 0/0.
void scale_histogram_columns(RunState& s) {
  for (std::int32_t j = 1; j <= s.GK; ++j) {
    REAL largest = 0;
    for (std::int32_t i = 1; i <= s.GL; ++i)
      if (s.GB[i][j] > largest) largest = s.GB[i][j];
    if (largest == 0) continue;
    for (std::int32_t i = 1; i <= s.GL; ++i) s.GB[i][j] = s.GB[i][j] / largest;
  }
}

}  // namespace

std::int32_t input_histogram_bin(REAL v, REAL GA, REAL RGAUSS, std::int32_t GL) {
  const REAL index = std::trunc((v - GA) / RGAUSS) + 1;
  if (!(index >= 1) || !(index <= REAL(GL) + 1)) return 0;
  const auto b = static_cast<std::int32_t>(index);
  return b > GL ? GL : b;
}

std::int32_t remainder_histogram_bin(REAL v, REAL GA, REAL RGAUSS, std::int32_t GL) {
  const REAL index = std::trunc((v - GA) / RGAUSS) + 1;
  if (!(index >= 1) || !(index <= REAL(GL))) return 0;
  return static_cast<std::int32_t>(index);
}

void prepare_run(RunState& s) {
  remove_reference_row(s);
  remove_reference_column(s);
  settle_run(s);
  size_working_matrices(s);
  if (s.RGAUSS > 0) prepare_histogram(s);
}

void run_analysis_stage(RunState& s) {
  if (s.NU == 0) return;
  QOR(s, s.H.view(), s.ITRN, s.JEV, s.HDR, s.LSD, s.MER, s.MERPR, s.KW1, s.KD, s.NU);
  if (!s.JEV) PRINTRES(s, s.console.out(), s.KW1);
}

void write_histogram_file(RunState& s) {
  scale_histogram_columns(s);
  TextWriter file = create_output_file(s, "Qorgauss.bin", "histogram file");
  for (std::int32_t i = 1; i <= s.GL; ++i) {
    write_scientific(file, s.GB[i][0], s.KW1 + 6);
    for (std::int32_t j = 1; j <= s.GK; ++j) write_fixed(file, s.GB[i][j], 10, 7);
    file.line_end();
  }
  for (std::int32_t j = 1; j <= s.GK; ++j) write_fixed(file, s.GB[1][j], 10, 7);
  file.line_end();
  file.close();
}

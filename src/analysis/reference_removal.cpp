#include "analysis/reference_removal.h"

#include <cmath>
#include <string>

#include "common/run_error.h"

namespace {

// Two finite values of opposite sign near the limit of REAL differ by more than it holds.
[[noreturn]] void throw_reference_overflow(const std::string& which) {
  throw_overflow("subtracting the reference " + which + " overflows",
                 beyond_real("a difference"), "scale the data down");
}

// The errors given element by element follow the data's rows (columns) as
// they close up; the reference's own errors go with it, unused: an element's
// error stays its own, as a single error given for all stays one.
void drop_row(MATRIX& m, std::int32_t r, std::int32_t N, std::int32_t M) {
  if (!m.allocated()) return;
  for (std::int32_t i = r; i <= N; ++i)
    for (std::int32_t j = 1; j <= M; ++j) m[i][j] = m[i + 1][j];
}

void drop_column(MATRIX& m, std::int32_t c, std::int32_t N, std::int32_t M) {
  if (!m.allocated()) return;
  for (std::int32_t i = 1; i <= N; ++i)
    for (std::int32_t j = c; j <= M; ++j) m[i][j] = m[i][j + 1];
}

}  // namespace

void remove_reference_row(DataTable& d) {
  const std::int32_t r = d.OSR;
  if (r <= 0 || r > d.N) return;
  const REAL* ref = d.A[r];
  bool finite = true;
  for (std::int32_t i = 1; i <= d.N; ++i) {
    if (i == r) continue;
    REAL* row = d.A[i];
    for (std::int32_t j = 1; j <= d.M; ++j) {
      row[j] = row[j] - ref[j];
      finite = finite && std::isfinite(row[j]);
    }
  }
  if (!finite) throw_reference_overflow("row");
  --d.N;
  const bool copies = keeps_original_row_numbers(d);
  for (std::int32_t i = r; i <= d.N; ++i) {
    d.RO[i][1] = d.RO[i + 1][1];
    if (copies) d.RW[i][1] = d.RW[i + 1][1];
    for (std::int32_t j = 1; j <= d.M; ++j) d.A[i][j] = d.A[i + 1][j];
  }
  drop_row(d.element_errors, r, d.N, d.M);
  drop_row(d.element_relative_errors, r, d.N, d.M);
}

void remove_reference_column(DataTable& d) {
  const std::int32_t c = d.OSC;
  if (c <= 0 || c > d.M) return;
  // Each element only needs its own row's reference value, so rows may go in any order.
  bool finite = true;
  for (std::int32_t i = 1; i <= d.N; ++i) {
    REAL* row = d.A[i];
    const REAL ref = row[c];
    for (std::int32_t j = 1; j <= d.M; ++j)
      if (j != c) {
        row[j] = row[j] - ref;
        finite = finite && std::isfinite(row[j]);
      }
  }
  if (!finite) throw_reference_overflow("column");
  --d.M;
  const bool copies = keeps_original_column_numbers(d);
  for (std::int32_t j = c; j <= d.M; ++j) {
    d.CO[1][j] = d.CO[1][j + 1];
    if (copies) d.CW[1][j] = d.CW[1][j + 1];
  }
  for (std::int32_t i = 1; i <= d.N; ++i) {
    REAL* row = d.A[i];
    for (std::int32_t j = c; j <= d.M; ++j) row[j] = row[j + 1];
  }
  drop_column(d.element_errors, c, d.N, d.M);
  drop_column(d.element_relative_errors, c, d.N, d.M);
}


#include "library/library_parts.h"

#include <charconv>
#include <cmath>
#include <string>

#include "common/data_table.h"
#include "common/run_error.h"
#include "input/setting_numbers.h"

namespace qor {
namespace {

[[noreturn]] void refuse(const std::string& why) { throw RunError(kSettingOutOfRange, why, RunError::Kind::data); }

bool given(const Table& t) { return t.rows != 0 || t.columns != 0; }

// An error stored as float64 or float32 is read as its shortest decimal
// text, as a single error is (0.01 is the 80-bit value of "0.01", not the
// binary double widened), so that a table of one repeated error gives the
// bits of that error given once.
REAL error_value(const Table& t, std::int32_t i, std::int32_t j) {
  const REAL stored = t.at(i, j);
  if (t.view == nullptr || t.view_type == ValueType::real || !std::isfinite(stored)) return stored;
  char text[40];
  const std::to_chars_result end = std::to_chars(text, text + sizeof text, static_cast<double>(stored));
  return read_real_number(std::string_view(text, static_cast<std::size_t>(end.ptr - text))).value_or(stored);
}

void check_error_table(const Table& t, std::int32_t rows, std::int32_t columns, const char* name) {
  if (!given(t)) return;
  if (t.rows != rows || t.columns != columns)
    refuse(std::string(name) + " holds " + std::to_string(t.rows) + " x " + std::to_string(t.columns) +
           " errors; element by element it must have the data's shape, " + std::to_string(rows) + " x " +
           std::to_string(columns) + ".");
  if (t.view == nullptr && t.values.size() != static_cast<std::size_t>(rows) * static_cast<std::size_t>(columns))
    refuse(std::string(name) + " holds " + std::to_string(t.values.size()) + " values, not rows x columns.");
  for (std::int32_t i = 0; i < rows; ++i)
    for (std::int32_t j = 0; j < columns; ++j)
      detail::check_error(t.at(i, j), std::string(name) + "[" + std::to_string(i) + ", " + std::to_string(j) + "]");
}

// The table's errors into `into` (rows 1..N, columns 1..M), divided by
// `scale`; left unallocated where every one is 0 (errors of 0 are no error
// given, as a single error of 0 is), unless a block of a larger table
// keeps them.
void take_table(const Table& t, REAL scale, std::int32_t rows, std::int32_t columns, MATRIX& into,
                bool keep_zeros = false) {
  if (!given(t)) return;
  MATRIX m(rows + 1, columns + 1);
  bool any = false;
  for (std::int32_t i = 1; i <= rows; ++i)
    for (std::int32_t j = 1; j <= columns; ++j) {
      const REAL v = error_value(t, i - 1, j - 1);
      m[i][j] = scale == 1 ? v : v / scale;
      any = any || v != 0;
    }
  if (any || keep_zeros) into = std::move(m);
}

}  // namespace

void detail::check_element_errors(const Settings& x, std::int32_t rows, std::int32_t columns) {
  check_error_table(x.absolute_errors, rows, columns, "error");
  check_error_table(x.relative_errors_percent, rows, columns, "relative_error");
  if (given(x.absolute_errors) && x.absolute_error != 0)
    refuse("error is given twice, as one number and element by element; give one of them.");
  if (given(x.relative_errors_percent) && x.relative_error_percent != 0)
    refuse("relative_error is given twice, as one number and element by element; give one of them.");
}

void detail::take_element_errors(const Settings& x, DataTable& d) {
  take_table(x.absolute_errors, 1, d.N, d.M, d.element_errors);
  take_table(x.relative_errors_percent, 100, d.N, d.M, d.element_relative_errors);
}

void detail::take_block_errors(const Settings& x, DataTable& d) {
  take_table(x.absolute_errors, 1, d.N, d.M, d.element_errors, true);
  take_table(x.relative_errors_percent, 100, d.N, d.M, d.element_relative_errors, true);
}

bool detail::has_error_tables(const Settings& x) { return given(x.absolute_errors) || given(x.relative_errors_percent); }

}  // namespace qor

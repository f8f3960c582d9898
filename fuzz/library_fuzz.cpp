// The library's entry for arrays, as the Python module calls it: a table of
// any shape and values (NaN, infinities, subnormals, the largest numbers),
// with titles, a view of any strides and type, and settings of any values.
// Every call must end with results or a RunError, never a crash; values
// that are not finite must be refused with 106.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "common/run_error.h"
#include "fuzz_support.h"
#include "library/library.h"

using fuzz_support::require;

namespace {

struct Bytes {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t at = 0;
  std::uint8_t next() { return at < size ? data[at++] : 0; }
};

// A value from one byte: small whole numbers, fractions, and the extremes.
REAL value_of(std::uint8_t b) {
  switch (b % 16) {
    case 0: return std::numeric_limits<REAL>::quiet_NaN();
    case 1: return std::numeric_limits<REAL>::infinity();
    case 2: return std::numeric_limits<REAL>::max();
    case 3: return std::numeric_limits<REAL>::denorm_min();
    case 4: return -std::numeric_limits<REAL>::max() / 3;
    case 5: return 0;
    default: return (static_cast<int>(b) - 128) / 8.0L;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 6 || size > 600) return 0;
  Bytes in{data, size};
  qor::Table t;
  t.rows = in.next() % 7;
  t.columns = in.next() % 7;
  const std::uint8_t shape = in.next();
  const int kind = shape % 3;  // eliminate, eigen, rank
  bool finite = true;
  std::vector<double> doubles;
  for (int k = 0; k < t.rows * t.columns; ++k) {
    const REAL v = value_of(in.next());
    finite = finite && std::isfinite(v);
    t.values.push_back(v);
    doubles.push_back(static_cast<double>(v));
  }
  if (shape & 8) {  // a view of doubles, read column by column
    t.view = doubles.data();
    t.view_type = qor::ValueType::float64;
    t.row_stride = sizeof(double);
    t.column_stride = static_cast<std::ptrdiff_t>(sizeof(double)) * t.rows;
    finite = true;
    for (int i = 0; i < t.rows; ++i)
      for (int j = 0; j < t.columns; ++j) finite = finite && std::isfinite(t.at(i, j));
  }
  if (shape & 16) t.row_labels.texts.assign(static_cast<std::size_t>(t.rows), "r\xE4");
  if (shape & 32) t.column_labels.titles.assign(static_cast<std::size_t>(t.columns), 400);
  qor::Settings s;
  s.absolute_error = (in.next() % 4) * 0.05L;
  s.relative_error_percent = (in.next() % 3) * 1.5L;
  s.steps = static_cast<std::int32_t>(in.next() % 5) - 1;
  s.statistics = in.next() & 1;
  s.product_matrix = in.next() & 1;
  s.reference_row = in.next() % 3;
  s.reference_column = in.next() % 3;
  s.verdict = in.next() & 1;
  s.threads = 1 + in.next() % 2;
  qor::Control control;
  try {
    const qor::Run run = kind == 0 ? qor::eliminate(t, s, control) : kind == 1 ? qor::eigen(t, s, control)
                                                                               : qor::rank(t, s, control);
    require(finite, "a value that is not finite was analysed");
    require(!run.results_json.empty(), "no results text");
    require(run.results.pivots.size() <= static_cast<std::size_t>(std::min(t.rows, t.columns)), "too many pivots");
  } catch (const RunError& e) {
    require(e.number() > 0, "a run-time error of number 0");
    if (!finite && t.rows > 0 && t.columns > 0) require(e.number() == 106, "a value not finite refused otherwise than with 106");
  }
  return 0;
}

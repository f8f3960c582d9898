#include "common/matrix.h"

#include <limits>
#include <new>
#include <string>

#include "common/run_error.h"

namespace {

[[noreturn]] void throw_no_memory(std::int32_t rows, std::int32_t cols) {
  throw RunError(kNoMemory, "not enough memory for a matrix of " + std::to_string(rows) + " x " +
                          std::to_string(cols) + " values (" +
                          std::to_string(static_cast<unsigned long long>(rows < 0 ? 0 : rows) *
                                         static_cast<unsigned long long>(cols < 0 ? 0 : cols) *
                                         sizeof(REAL)) +
                          " bytes).");
}

}  // namespace

MATRIX::MATRIX(std::int32_t rows, std::int32_t cols) : rows_(rows), cols_(cols) {
  if (rows < 1 || cols < 1) throw_no_memory(rows, cols);
  const auto r = static_cast<std::size_t>(rows);
  const auto c = static_cast<std::size_t>(cols);
  if (c > std::numeric_limits<std::size_t>::max() / sizeof(REAL) / r) throw_no_memory(rows, cols);
  // calloc hands out zeroed pages lazily, so large matrices cost nothing until used.
  data_.reset(static_cast<REAL*>(std::calloc(r * c, sizeof(REAL))));
  if (!data_) throw_no_memory(rows, cols);
  row_.reset(new (std::nothrow) REAL*[r]);
  if (!row_) throw_no_memory(rows, cols);
  for (std::size_t i = 0; i < r; ++i) row_[i] = data_.get() + i * c;
}

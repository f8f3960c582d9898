#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <utility>

#include "common/real.h"

// A rectangular table of REAL, indexed A[i][j] from 0 (row first). One
// contiguous zeroed allocation holds every element; rows are reached through
// a table of row pointers, so exchanging two rows only swaps two pointers.
class MATRIX {
 public:
  MATRIX() = default;
  // Allocates rows x cols zeroed elements; throws RunError 203 when the
  // memory cannot be had (or the size does not fit the address space).
  MATRIX(std::int32_t rows, std::int32_t cols);

  REAL* operator[](std::int32_t i) { return row_[i]; }
  const REAL* operator[](std::int32_t i) const { return row_[i]; }

  std::int32_t rows() const { return rows_; }
  std::int32_t cols() const { return cols_; }
  bool allocated() const { return data_ != nullptr; }

  void swap_rows(std::int32_t i, std::int32_t k) { std::swap(row_[i], row_[k]); }

 private:
  struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
  };
  std::unique_ptr<REAL, FreeDeleter> data_;
  std::unique_ptr<REAL*[]> row_;
  std::int32_t rows_ = 0;
  std::int32_t cols_ = 0;
};

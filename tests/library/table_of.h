#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "library/library.h"

namespace qor_test {

// A table of the library holding its values row after row.
inline qor::Table table_of(std::int32_t rows, std::int32_t columns, std::vector<REAL> values) {
  qor::Table t;
  t.rows = rows;
  t.columns = columns;
  t.values = std::move(values);
  return t;
}

}  // namespace qor_test

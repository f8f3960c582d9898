#pragma once

#include <cstdint>
#include <optional>

#include "common/data_table.h"
#include "common/run_plan.h"

// The eigenvalue mode without the product reads the data matrix itself as a
// symmetric one. Where it is not: not square (row and column 0), or the
// first element in row order, (row, column) with row < column, that differs
// from its mirror image (counted from 1). Nothing when the plan does not
// read the matrix so.
struct Asymmetry {
  std::int32_t row = 0, column = 0;
};
std::optional<Asymmetry> matrix_itself_asymmetry(const DataTable& d, const RunPlan& plan);

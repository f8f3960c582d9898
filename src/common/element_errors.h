#pragma once

#include <cstdint>

#include "common/data_table.h"
#include "common/matrix.h"
#include "common/real.h"
#include "common/run_plan.h"

// The measurement error of every element of a run: one absolute error (a
// standard deviation) and one relative error (a fraction of the element's
// value) for all elements, or either of them element by element from the
// data table. An element's variance is the larger of the two squared.
struct ElementErrors {
  REAL ER = 0, ERPR = 0;
  const MATRIX* absolute = nullptr;  // rows 1..N, columns 1..M; replaces ER
  const MATRIX* relative = nullptr;  // rows 1..N, columns 1..M; replaces ERPR

  // Errors are known when any is given: the one-for-all values when either
  // is not 0, as the analysis has it, or the table's element by element.
  bool known() const { return ER != 0 || ERPR != 0 || absolute != nullptr || relative != nullptr; }
  bool by_element() const { return absolute != nullptr || relative != nullptr; }
  REAL absolute_at(std::int32_t i, std::int32_t j) const { return absolute != nullptr ? (*absolute)[i][j] : ER; }
  REAL relative_at(std::int32_t i, std::int32_t j) const { return relative != nullptr ? (*relative)[i][j] : ERPR; }
};

// The variance of an element of value a: the larger of (relative x a)^2 and
// absolute^2. Squares taken one element at a time give the bits of a square
// taken once for all, so an error repeated over the table is the same error
// given once.
inline REAL element_variance(REAL a, REAL absolute, REAL relative) {
  const REAL v = absolute * absolute;
  const REAL x = relative * a;
  const REAL b = x * x;
  return b > v ? b : v;
}

// The errors as the user gave them: ER and ERPR for every element, where
// the table holds none of its own.
inline ElementErrors errors_as_given(REAL ER, REAL ERPR, const DataTable& table) {
  ElementErrors e{ER, ERPR};
  if (table.element_errors.allocated()) e.absolute = &table.element_errors;
  if (table.element_relative_errors.allocated()) e.relative = &table.element_relative_errors;
  return e;
}

// The errors a run's plan takes: the table's element by element only where
// the plan takes them (not for the contribution tables).
inline ElementErrors errors_of_run(const RunPlan& plan, const DataTable& table) {
  return plan.element_errors ? errors_as_given(plan.MER, plan.MERPR, table) : ElementErrors{plan.MER, plan.MERPR};
}

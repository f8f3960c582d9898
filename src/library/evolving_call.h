#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "evolving/evolving_factors.h"
#include "library/library.h"

namespace qor {

// Evolving factor analysis of a table's rows, after the reference row or
// column is subtracted and removed as in every run. window: rows of a
// moving window, 0 for the default.
struct Evolving {
  EvolvingFactors factors;
  // For each row the analysis kept (1..N), its row in the table (from 1):
  // the reference row is left out.
  std::vector<std::int32_t> table_rows;
  std::vector<std::string> warnings;  // the program's pauses, in order
};

Evolving evolving(const Table& table, const Settings& settings, std::int32_t window, Control& control);

// The moving windows of `window` rows that start at the table's rows 1..starts,
// counted against the error given (required: an estimate of the noise
// needs the whole matrix), for a block of a tall array with the rows of the
// next block its last windows reach into. No reference row or column.
std::vector<WindowCount> evolving_moving_windows(const Table& table, const Settings& settings, std::int32_t window,
                                                 std::int32_t starts, Control& control);

}  // namespace qor

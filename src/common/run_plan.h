#pragma once

#include <cstdint>

#include "common/real.h"

// What a run does, derived once from the settings as given and the shape of
// the data (after the reference row and column are removed): the values the
// analysis uses. The settings keep what the user asked for under the same
// names; where a value here differs, the run adjusted it.
struct RunPlan {
  // The smaller dimension of the matrix analysed: the order of the product matrix.
  std::int32_t MIN = 0;
  // Contribution tables after FTW - 1 steps (0: none); 0 when the settings
  // asked for more steps than MIN.
  std::int32_t FTW = 0;
  // Elimination steps or eigenvalues to examine: the settings' NU when it
  // lies in 1..MIN, else MIN; FTW - 1 for the tables.
  std::int32_t NU = 0;
  // Eigenvalue mode and the remainder statistics, both off for the tables.
  bool JEV = false, LSD = false;
  // The errors the elimination takes (absolute; relative as a fraction), 0
  // for the tables.
  REAL MER = 0, MERPR = 0;
  // The data table's errors element by element replace MER (MERPR) where it
  // has them; false for the tables.
  bool element_errors = false;
  bool ITRN = false;  // analyse the product matrix
  // The histogram's class width (not positive: no histogram).
  REAL RGAUSS = -1.0L;
  // The root mean square of the remainder's propagated errors is kept after
  // every step (for the picture).
  bool remainder_errors = false;
};

// A measurement error is known when either the absolute or the relative one is given.
inline bool errors_known(REAL absolute, REAL relative) { return absolute != 0 || relative != 0; }
// The run knows the errors: given once for all, or element by element.
inline bool errors_known(const RunPlan& p) { return errors_known(p.MER, p.MERPR) || p.element_errors; }

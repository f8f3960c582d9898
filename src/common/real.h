#pragma once

#include <limits>

// All arithmetic on data is done in the 80-bit extended type; reports and
// tests rely on its 64-bit significand, so refuse to build without it.
using REAL = long double;
static_assert(std::numeric_limits<REAL>::digits == 64,
              "REAL must be the x87 extended type with a 64-bit significand");

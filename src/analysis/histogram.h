#pragma once

#include <cstdint>

#include "common/real.h"

struct AnalysisRun;

// The histogram's counts during the analysis (its classes are set up and
// its file written by input/histogram_file.h). Classes of width RGAUSS lie
// symmetric around 0 and cover the largest magnitude of the input matrix;
// count column 1 holds the input matrix, column I + 1 the remainder after
// elimination step I.

// Counts the remainder after elimination step I (rows and columns I+1..) into
// column I + 1, when that column exists.
void count_remainder_histogram(AnalysisRun& s, std::int32_t I);

// Bin of an element of the input matrix (1..GL), or 0 when it falls outside
// the bins. The bins cover the largest magnitude, but its computed index can
// come out as GL + 1 when that magnitude is nearly a multiple of the class
// width: such an element counts in bin GL.
std::int32_t input_histogram_bin(REAL v, REAL GA, REAL RGAUSS, std::int32_t GL);
// Bin of an element of a remainder matrix (1..GL), or 0 when its index falls
// outside 1..GL: elimination can enlarge elements beyond the input's range,
// and those are left out.
std::int32_t remainder_histogram_bin(REAL v, REAL GA, REAL RGAUSS, std::int32_t GL);

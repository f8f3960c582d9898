#pragma once

#include <cstdint>

#include "common/real.h"

struct RunState;

// The histogram of the element values, "Qorgauss.bin". Classes of width
// RGAUSS lie symmetric around 0 and cover the largest magnitude of the input
// matrix; count column 1 holds the input matrix, column I + 1 the remainder
// after elimination step I. Every column is scaled to a largest count of 1
// when the file is written.

// Limits of the histogram: classes, and classes times count columns.
inline constexpr std::int32_t kMaxHistogramClasses = 100000;
inline constexpr std::int64_t kMaxHistogramCells = 20000000;

// Sets up the classes (GL, GA, GK, GB with its centres) and counts the input
// matrix into column 1. A class width that would need more classes or counts
// than the limits stops the run (status 64) before anything is allocated.
void prepare_histogram(RunState& s);
// Counts the remainder after elimination step I (rows and columns I+1..) into
// column I + 1, when that column exists.
void count_remainder_histogram(RunState& s, std::int32_t I);
// Scales every count column and writes "Qorgauss.bin" in the working directory.
void write_histogram_file(RunState& s);

// Bin of an element of the input matrix (1..GL), or 0 when it falls outside
// the bins. The bins cover the largest magnitude, but its computed index can
// come out as GL + 1 when that magnitude is nearly a multiple of the class
// width: such an element counts in bin GL.
std::int32_t input_histogram_bin(REAL v, REAL GA, REAL RGAUSS, std::int32_t GL);
// Bin of an element of a remainder matrix (1..GL), or 0 when its index falls
// outside 1..GL: elimination can enlarge elements beyond the input's range,
// and those are left out.
std::int32_t remainder_histogram_bin(REAL v, REAL GA, REAL RGAUSS, std::int32_t GL);

#pragma once

#include <cstdint>

#include "common/real.h"

struct RunState;

// Between loading and the analysis: reference row and column removed,
// MIN, FTW, NU and the report-file name H settled, working matrices sized,
// histogram prepared.
void prepare_run(RunState& s);
// QOR and the console report, when NU is not 0.
void run_analysis_stage(RunState& s);
// "Qorgauss.bin": each count column scaled to a largest count of 1.
void write_histogram_file(RunState& s);

// Limits of the histogram: classes, and classes times count columns.
inline constexpr std::int32_t kMaxHistogramClasses = 100000;
inline constexpr std::int64_t kMaxHistogramCells = 20000000;

// Bin of an element of the input matrix (1..GL), or 0 when it falls outside
// the bins. The bins cover the largest magnitude, but its computed index can
// come out as GL + 1 when that magnitude is nearly a multiple of the class
// width: such an element counts in bin GL.
std::int32_t input_histogram_bin(REAL v, REAL GA, REAL RGAUSS, std::int32_t GL);
// Bin of an element of a remainder matrix (1..GL), or 0 when its index falls
// outside 1..GL: elimination can enlarge elements beyond the input's range,
// and those are left out.
std::int32_t remainder_histogram_bin(REAL v, REAL GA, REAL RGAUSS, std::int32_t GL);

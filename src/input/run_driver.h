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

// Histogram bin of value v (1..GL), or 0 when it falls outside the bins. An
// element of the largest magnitude whose computed index comes out as GL + 1
// counts in bin GL.
std::int32_t histogram_bin(REAL v, REAL GA, REAL RGAUSS, std::int32_t GL);

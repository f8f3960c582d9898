#pragma once

#include <cstdint>

struct ProgramRun;

// The histogram file "Qorgauss.bin" of the element values: its classes set
// up before the analysis, which counts into them (analysis/histogram.h), and
// the file written after it, every count column scaled to a largest count of 1.

// Limits of the histogram: classes, and classes times count columns.
inline constexpr std::int32_t kMaxHistogramClasses = 100000;
inline constexpr std::int64_t kMaxHistogramCells = 20000000;

// Sets up the classes (GL, GA, GK, GB with its centres) and counts the input
// matrix into column 1. A class width that would need more classes or counts
// than the limits stops the run (status 64) before anything is allocated.
void prepare_histogram(ProgramRun& s);
// Scales every count column and writes "Qorgauss.bin" in the working directory.
void write_histogram_file(ProgramRun& s);

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

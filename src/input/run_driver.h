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

struct RankSample;
// The rank verdict of the sample taken after prepare_run: at the end of the
// file the run wrote its results to (the report file, or the table file in a
// contribution-table run) and on the console, after everything else.
void report_rank_verdict(RunState& s, const RankSample& sample);

#pragma once

#include <optional>

#include "verdict/rank_verdict.h"

struct RunState;
class AnalysisObserver;
class TextWriter;

// Between loading and the analysis: reference row and column removed,
// MIN, FTW, NU and the report-file name H settled, working matrices sized,
// histogram prepared. With the rank verdict asked for, the matrix it judges
// and the error the user gave, taken before the analysis changes them.
std::optional<RankSample> prepare_run(RunState& s);
// Mode E without the product reads the data matrix itself as a symmetric
// one. Where it is not: not square (row and column 0), or the first element
// in row order, (row, column) with row < column, that differs from its
// mirror image (counted from 1). Nothing when the mode does not read it so.
struct Asymmetry {
  std::int32_t row = 0, column = 0;
};
std::optional<Asymmetry> matrix_itself_asymmetry(const RunState& s);

// QOR, when NU is not 0, telling the observer what happens.
void run_analysis_stage(RunState& s, AnalysisObserver& observer);

// The rank verdict of the sample prepare_run took: at the end of the
// file the run wrote its results to (the report, still open, when there is
// one; else the table file of a contribution-table run) and on the console,
// after everything else. The verdict is returned for the outputs written
// after it.
RankVerdict report_rank_verdict(RunState& s, const RankSample& sample, TextWriter* report);

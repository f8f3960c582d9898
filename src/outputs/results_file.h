#pragma once

#include <string>

#include <cstdint>

struct RunOutcome;
struct RunSettings;
struct ProgramRun;
struct RunPlan;
struct DataTable;

// How far a run came, as the results file states it beside the settings
// as given: its mode after the run driver's adjustments, the steps examined
// and the matrix analysed (all as far as the run got before a stop).
struct RunProgress {
  const char* mode;
  std::int32_t steps, rows, columns;
};
RunProgress progress_of(const RunPlan& plan, const DataTable& table);

// The results file's text (lines separated by LF): the settings as given,
// how far the run came, the file it wrote (empty: null) and its outcome.
std::string results_text(const RunSettings& given, const RunProgress& progress, const std::string& written,
                         const RunOutcome& outcome);

// The results for scripts (",JSON", key X): one JSON file beside the file
// the run writes (the report, or the contribution tables), named like it
// with the extension ".json" in place of its own. It holds the program's
// version, the data file, the settings that shaped the results, the exit
// status and the stop message, and, when the run ended normally, its
// results: the pivots or the eigenvalues with their tests, and the rank
// verdict. Every REAL goes out with the digits that read back as the same
// value. After a stop a failure to write it is dropped, so that the stop's
// own message is the one the user sees.
void write_results_file(ProgramRun& s, const RunOutcome& outcome);

#pragma once

#include <string>
#include <utility>
#include <vector>

#include "common/analysis_workspace.h"
#include "common/bounded_string.h"
#include "common/data_table.h"
#include "common/matrix.h"
#include "common/run_plan.h"
#include "common/run_settings.h"
#include "common/workers.h"

class Console;

// One run of the program, from its command line to its last file: the
// settings as given, the plan derived from them, the data table and the
// analysis's workspace, and what only the program keeps (its console, the
// parameters as typed, the files read and written, the contribution tables'
// positions). main creates exactly one and hands it by reference to each
// stage; the analysis sees only its AnalysisRun. The text channels are not
// members: each stage opens its file as a local object, so two are never
// open at once and an early stop closes them.
struct ProgramRun {
  explicit ProgramRun(Console& console_in, int threads = 1) : console(console_in), workers(threads) {}
  ProgramRun(const ProgramRun&) = delete;
  ProgramRun& operator=(const ProgramRun&) = delete;

  // Standard output and input: messages, progress, pauses, the help browser.
  Console& console;
  // The threads the analysis shares its larger loops among (QOR_THREADS).
  Workers workers;
  // Command-line parameters 1..6 as typed (index 0 unused), for the report
  // header; a run from a parameter file has just its name.
  std::vector<std::string> params;
  // The files this run has read (role, path): no output may replace one of them.
  std::vector<std::pair<std::string, std::string>> inputs;
  // The files this run has created so far (role, path).
  std::vector<std::pair<std::string, std::string>> outputs;

  RunSettings settings;  // as given
  RunPlan plan;          // as used, once the data's shape is known
  DataTable table;
  AnalysisWorkspace work;
  // Contribution tables: where each row's (column's) largest remainder
  // element lies, as an original column (row) number.
  MATRIX TW;
  // The report-file name handed to the analysis: GFNO, or empty in a table run.
  String255 H;

  // The analysis's view of this run.
  AnalysisRun& analysis() { return analysis_; }
  const AnalysisRun& analysis() const { return analysis_; }

 private:
  AnalysisRun analysis_{table, plan, work, workers};
};

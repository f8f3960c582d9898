#pragma once

// The analysis driven as the program drives it, or silently, for the tests
// and the benchmarks.
#include "analysis/qor.h"
#include "common/analysis_observer.h"
#include "common/console.h"
#include "common/program_run.h"
#include "report/output_names.h"
#include "report/report_observer.h"

namespace qor_test {

// The analysis after prepare_run as the program runs it: with its report,
// when the run names one, and the progress on the run's console.
inline void run_qor_with_report(ProgramRun& s) {
  ReportObserver report(s, s.console, report_file_name(s.H.view()), s.settings.HDR, s.settings.KW1, s.settings.KD);
  QOR(s.analysis(), report, s.plan.ITRN, s.plan.JEV, s.plan.LSD, s.plan.MER, s.plan.MERPR, s.plan.NU);
  report.close();
}

// The analysis with no report and nothing shown; its pauses go to the run's console.
inline void run_qor_silently(ProgramRun& s, bool TP, bool ES, bool SM, REAL ER, REAL ERPR, std::int32_t U) {
  SilentObserver quiet(s.console);
  QOR(s.analysis(), quiet, TP, ES, SM, ER, ERPR, U);
}

}  // namespace qor_test

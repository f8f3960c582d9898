#include "control/program.h"

#include <sched.h>

#include <algorithm>
#include <new>
#include <optional>
#include <thread>

#include "analysis/analysis_results.h"
#include "analysis/histogram.h"
#include "input/histogram_file.h"
#include "analysis/qor.h"
#include "common/run_error.h"
#include "common/program_run.h"
#include "common/console.h"
#include "common/workers.h"
#include "control/help_browser.h"
#include "control/interruption.h"
#include "outputs/outputs_after_run.h"
#include "outputs/results_file.h"
#include "control/settings.h"
#include "control/usage.h"
#include "input/contribution_tables.h"
#include "control/evolving_stage.h"
#include "input/loader.h"
#include "control/run_driver.h"
#include "common/number_text.h"
#include "report/output_names.h"
#include "report/report_observer.h"
#include "report/result_report.h"
#include "input/text_reader.h"

namespace {

void read_settings_file(ProgramRun& s, const std::string& path) {
  try {
    TextReader file(path, "parameter file");
    s.inputs.emplace_back("parameter file", path);
    read_parameter_file(s.settings, file);
  } catch (const RunError& e) {
    if (e.kind() != RunError::Kind::runtime) throw;
    throw RunError(e.number(), std::string(e.what()) +
                                   " A single parameter names a parameter file; for a run give the "
                                   "data file and the report file, and \"qor '?'\" opens the help.");
  }
}

int processors_available() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0) return CPU_COUNT(&set);
  const unsigned hardware = std::thread::hardware_concurrency();
  return hardware > 0 ? static_cast<int>(hardware) : 1;
}

// A step listing of gigabytes fills a disk unasked: the user hears of it
// before the run, with the way to leave it out.
void warn_of_a_long_listing(ProgramRun& s) {
  if (!s.settings.HDR || s.H.empty()) return;
  constexpr std::int64_t kLongListing = 100'000'000;
  // The product matrix (and the eigenvalue mode's check) is of order MIN.
  const std::int64_t rows = s.settings.ITRN || s.plan.JEV ? s.work.MIN : s.table.N;
  const std::int64_t columns = s.settings.ITRN ? s.work.MIN : s.table.M;
  const int W = s.plan.JEV ? std::max<int>(s.settings.KW1, 10) : s.settings.KW1;
  const std::int64_t bytes =
      step_listing_bytes(rows, columns, s.plan.NU, errors_known(s.plan), s.plan.JEV, W, s.settings.KD);
  if (bytes <= kLongListing) return;
  s.console.warn("the step listing will write about " + byte_size_text(bytes) + " into the report \"" +
                 report_file_name(s.H.view()) + "\"; a '*' at the end of the report name (parameter 2), or the " +
                 "line \"H -\" in a parameter file, leaves it out.");
}

// The analysis with the program's report and console, and the time it took.
void run_analysis_with_report(ProgramRun& s, ReportObserver& report) {
  if (s.plan.NU == 0) return;
  const REAL T1 = time_of_day_seconds();
  if (const std::string note = report_name_warning(s); !note.empty()) s.console.warn(note);
  warn_of_a_long_listing(s);
  run_analysis_stage(s, report);
  s.console.end_progress();
  s.console.write("Time:");
  s.console.write(fixed_text(elapsed_seconds(T1, time_of_day_seconds()), 7, 2));
  s.console.write_line("s");
  if (!s.plan.JEV) PRINTRES(s.analysis(), s.console.out(), s.settings.KW1, s.settings.KD);
}

// The stages of an analysis run in their fixed order. The report, once the
// analysis has created it, stays open until the verdict has followed.
void run_stages(ProgramRun& s, RunOutcome& outcome) {
  load_data_matrix(s);
  load_error_matrix(s);
  const std::optional<RankSample> sample = prepare_run(s);
  const std::optional<EvolvingSample> evolving = take_evolving_sample(s);
  ReportObserver report(s, s.console, report_file_name(s.H.view()), s.settings.HDR, s.settings.KW1, s.settings.KD);
  try {
    run_analysis_with_report(s, report);
    outcome.results = collect_analysis_results(s.analysis());
    if (s.settings.RGAUSS > 0) {
      write_histogram_file(s);
      outcome.results->histogram = collect_histogram(s.analysis());
    }
    if (s.plan.FTW != 0) write_contribution_tables(s);
    if (sample) outcome.verdict = report_rank_verdict(s, *sample, report.report());
    if (evolving) outcome.evolving = report_evolving_factors(s, *evolving, report.report());
  } catch (const RunError& e) {
    if (e.number() != kStoppedByCaller) throw;
    report.mark_interrupted();
    throw RunError(kStoppedByCaller, "the run was interrupted (Ctrl-C) before it ended.");
  }
  report.close();
}

}  // namespace

int thread_count(const char* QOR_THREADS) {
  const int fallback = std::min(processors_available(), Workers::kMaxThreads);
  if (QOR_THREADS == nullptr || *QOR_THREADS == '\0') return fallback;
  long value = 0;
  for (const char* c = QOR_THREADS; *c != '\0'; ++c) {
    if (*c < '0' || *c > '9') return fallback;
    value = value * 10 + (*c - '0');
    if (value > Workers::kMaxThreads) return fallback;
  }
  return value >= 1 ? static_cast<int>(value) : fallback;
}

bool wants_help(const std::vector<std::string>& params) {
  return params.size() < 2 || params[1].find('?') != std::string::npos;
}

void read_settings(ProgramRun& s, const std::vector<std::string>& params) {
  set_default_settings(s.settings);
  s.params.assign(params.begin(), params.begin() + static_cast<long>(std::min<std::size_t>(params.size(), 7)));
  if (params.size() == 2) {
    read_settings_file(s, params[1]);
  } else {
    read_command_line(s.settings, params);
  }
  finish_settings(s.settings);
  for (const std::string& warning : s.settings.setting_warnings) s.console.warn(warning);
  refuse_conflicting_settings(s.settings);
  s.plan = plan_before_loading(s.settings);
}

int run_program(ProgramRun& s, const std::vector<std::string>& params) {
  if (wants_help(params)) return run_help_browser(s);
  if (wants_usage(params)) return show_usage(s.console);
  if (wants_version(params)) return show_version(s.console);
  read_settings(s, params);
  RunOutcome outcome;
  const InterruptionGuard ctrl_c(s.workers);
  try {
    run_stages(s, outcome);
  } catch (const RunError& e) {
    outcome.stop = &e;
    write_outputs_after_run(s, outcome);
    throw;
  } catch (const std::bad_alloc&) {
    // The same words main reports, so that the outputs say how the run ended.
    const RunError no_memory(kNoMemory, "not enough memory for this run.");
    outcome.stop = &no_memory;
    write_outputs_after_run(s, outcome);
    throw;
  }
  write_outputs_after_run(s, outcome);
  return 0;
}

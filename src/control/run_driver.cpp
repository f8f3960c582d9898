#include "control/run_driver.h"

#include <cmath>
#include <string>

#include "analysis/histogram.h"
#include "input/histogram_file.h"
#include "analysis/matrix_itself.h"
#include "analysis/qor.h"
#include "analysis/reference_removal.h"
#include "verdict/rank_verdict.h"
#include "verdict/verdict_text.h"
#include "common/console.h"
#include "common/run_error.h"
#include "common/program_run.h"
#include "common/text_writer.h"
#include "report/output_names.h"

namespace {

// Why a reference the user named is not subtracted, or empty: it lies
// beyond the data file's rows (values), names none, or the selection
// leaves it out.
std::string unused_reference_note(const char* what, std::int32_t given, std::int32_t position, std::int32_t count,
                                  const char* letter) {
  const std::string named = std::string("the reference ") + what + " " + letter + std::to_string(given);
  if (given < 0) return named + " names no " + what + " (they are counted from 1), so none is subtracted.";
  if (given > count)
    return named + " lies beyond the " + std::to_string(count) + " " + what + (count == 1 ? "" : "s") +
           " of the data file, so none is subtracted.";
  if (given > 0 && position == 0)
    return named + " is left out by the " + what + " selection, so none is subtracted.";
  return {};
}

void warn_of_unused_reference(ProgramRun& s) {
  const std::string row = unused_reference_note("row", s.settings.OSR, s.table.OSR, s.table.N0, "R");
  if (!row.empty()) s.console.warn(row);
  const std::string column = unused_reference_note("column", s.settings.OSC, s.table.OSC, s.table.M0, "C");
  if (!column.empty()) s.console.warn(column);
}

// The plan, once the reference row and column are gone: the report-file
// name follows it (a table run writes none).
void settle_run(ProgramRun& s) {
  s.plan = plan_run(s.settings, s.table.N, s.table.M, has_element_errors(s.table));
  s.work.MIN = s.plan.MIN;
  s.H = s.plan.FTW != 0 ? std::string_view() : s.settings.GFNO.view();
}

// The program keeps its run on a matrix the eigenvalue mode cannot read as
// symmetric, and says once what it reads.
void warn_of_matrix_itself(ProgramRun& s) {
  const std::optional<Asymmetry> a = matrix_itself_asymmetry(s.table, s.plan);
  if (!a) return;
  const std::string read = "mode E analyses the data matrix itself as a symmetric matrix, but ";
  const std::string instead = " (mode B analyses the product of the matrix with its transpose).";
  if (a->row == 0) {
    s.console.warn(read + "it has " + std::to_string(s.table.N) + " rows and " + std::to_string(s.table.M) +
                   " columns: its leading " + std::to_string(s.plan.MIN) + " x " + std::to_string(s.plan.MIN) +
                   " block is analysed" + instead);
  } else {
    s.console.warn(read + "row " + std::to_string(a->row) + ", column " + std::to_string(a->column) +
                   " differs from row " + std::to_string(a->column) + ", column " + std::to_string(a->row) +
                   ": the results are not those of a symmetric matrix" + instead);
  }
}

}  // namespace

std::optional<RankSample> prepare_run(ProgramRun& s) {
  warn_of_unused_reference(s);
  remove_reference_row(s.table);
  remove_reference_column(s.table);
  settle_run(s);
  warn_of_matrix_itself(s);
  size_working_matrices(s.work, s.table, s.plan);
  if (s.plan.RGAUSS > 0) prepare_histogram(s);
  if (!s.settings.VERDICT) return std::nullopt;
  // A table run clears the error for its elimination; the verdict still
  // judges with the error the user gave.
  return take_rank_sample(s.table, s.plan.JEV, errors_as_given(s.settings.MER, s.settings.MERPR, s.table));
}

void run_analysis_stage(ProgramRun& s, AnalysisObserver& observer) {
  if (s.plan.NU == 0) return;
  AnalysisRun analysis = s.analysis();
  QOR(analysis, observer, s.plan.ITRN, s.plan.JEV, s.plan.LSD, s.plan.MER, s.plan.MERPR, s.plan.NU);
}

RankVerdict report_rank_verdict(ProgramRun& s, const RankSample& sample, TextWriter* report) {
  // The eigenvalue mode formed the variances of the same matrix with the same error.
  const bool variances_formed = sample.shared != nullptr && s.plan.NU != 0 && sample.errors().known() &&
                                s.work.SD.allocated();
  RankVerdict verdict = judge_rank(sample, s.console, s.workers, variances_formed ? &s.work.SD : nullptr);
  if (report != nullptr) {
    report->line_end();
    write_rank_verdict(*report, verdict);
  } else {
    // The tables of a table run have a file of their own, finished by now;
    // a table run to the console and a run without an analysis have none.
    const std::string file = written_file(s);
    if (!file.empty()) {
      TextWriter out = TextWriter::append(file, "contribution-table file");
      out.line_end();
      write_rank_verdict(out, verdict);
      out.close();
    }
  }
  TextWriter& console = s.console.out();
  console.line_end();
  write_rank_verdict(console, verdict);
  s.console.flush();
  return verdict;
}

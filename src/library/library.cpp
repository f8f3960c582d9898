#include "library/library.h"
#include "library/library_parts.h"

#include <cmath>
#include <cstdio>
#include <limits>
#include <new>

#include "common/analysis_observer.h"
#include "common/console.h"
#include "common/element_errors.h"
#include "common/run_error.h"
#include "common/program_run.h"
#include "common/text_writer.h"
#include "common/workers.h"
#include "analysis/analysis_results.h"
#include "analysis/matrix_itself.h"
#include "analysis/qor.h"
#include "analysis/reference_removal.h"
#include "input/loader.h"
#include "verdict/rank_verdict.h"
#include "outputs/evidence_picture.h"
#include "outputs/outputs_after_run.h"
#include "outputs/results_file.h"
#include "verdict/verdict_text.h"

namespace qor {
namespace {

[[noreturn]] void refuse(const std::string& why) { throw RunError(kSettingOutOfRange, why, RunError::Kind::data); }

}  // namespace

void detail::check_table(const Table& t, std::int64_t first_row) {
  if (t.rows < 1 || t.columns < 1)
    throw RunError(kNothingToAnalyse, "the table holds " + std::to_string(t.rows) + " rows and " +
                                          std::to_string(t.columns) + " columns, so there is nothing to analyse.",
                   RunError::Kind::data);
  if (t.view == nullptr && t.values.size() != static_cast<std::size_t>(t.rows) * static_cast<std::size_t>(t.columns))
    refuse("the table's values are " + std::to_string(t.values.size()) + ", not rows x columns = " +
           std::to_string(static_cast<std::int64_t>(t.rows) * t.columns) + ".");
  for (std::int32_t i = 0; i < t.rows; ++i)
    for (std::int32_t j = 0; j < t.columns; ++j) {
      const REAL v = t.at(i, j);
      if (!std::isfinite(v))
        throw RunError(kBadNumber, "the table's value in row " + std::to_string(first_row + i) + ", column " + std::to_string(j + 1) +
                                " is " + (std::isnan(v) ? "not a number (NaN)" : "infinite") +
                                "; every value must be a finite number.");
    }
}

void detail::check_labels(const Labels& l, std::int32_t count, const char* what) {
  const auto fits = [&](std::size_t size) { return size == 0 || size == static_cast<std::size_t>(count); };
  if (!fits(l.numbers.size()) || !fits(l.titles.size()) || !fits(l.texts.size()))
    refuse(std::string("the ") + what + " labels are not one for each " + what + ".");
  if (!l.titles.empty() && !l.texts.empty()) refuse(std::string("the ") + what + " titles are numbers or texts, not both.");
  for (const REAL v : l.titles)
    if (!std::isfinite(v)) refuse(std::string("a ") + what + " title is not a finite number.");
}

namespace {

std::string value_words(REAL v) {
  if (std::isnan(v)) return "NaN";
  if (std::isinf(v)) return v > 0 ? "infinity" : "-infinity";
  char text[64];
  std::snprintf(text, sizeof text, "%.17Lg", v);
  return text;
}

}  // namespace

void detail::check_error(REAL value, const std::string& name) {
  if (!(value >= 0) || !std::isfinite(value))
    refuse(name + " must be a finite number of at least 0, not " + value_words(value) + ".");
}

namespace {

void check_place(std::int32_t number, std::int32_t count, const char* name) {
  if (number < 0 || number > count)
    refuse(std::string(name) + " must lie from 1 to " + std::to_string(count) + " (0: none), not " +
           std::to_string(number) + ".");
}

}  // namespace

void detail::check_settings(const Settings& x, std::int64_t rows, std::int32_t columns) {
  detail::check_error(x.absolute_error, "error");
  detail::check_error(x.relative_error_percent, "relative_error");
  const auto smaller = static_cast<std::int32_t>(std::min<std::int64_t>(rows, columns));
  if (x.steps == 0 || x.steps < -1 || x.steps > smaller)
    refuse("steps must lie from 1 to " + std::to_string(smaller) + ", the data's smaller dimension (-1: all), not " +
           std::to_string(x.steps) + ".");
  check_place(x.reference_row, static_cast<std::int32_t>(std::min<std::int64_t>(rows, std::numeric_limits<std::int32_t>::max())), "reference_row");
  check_place(x.reference_column, columns, "reference_column");
  if (x.threads < 1 || x.threads > Workers::kMaxThreads)
    refuse("threads must lie from 1 to " + std::to_string(Workers::kMaxThreads) + ", not " +
           std::to_string(x.threads) + ".");
}

namespace {

// The label of original number `number`: its title, or the number.
REAL label_value(const Labels& l, std::size_t k, std::int64_t number) { return l.titles.empty() ? REAL(number) : l.titles[k]; }

std::int64_t original_number(const Labels& l, std::size_t k) {
  return l.numbers.empty() ? static_cast<std::int64_t>(k) + 1 : l.numbers[k];
}

void hold_texts(const Labels& l, std::vector<std::string>& texts) {
  if (l.texts.empty()) return;
  std::int64_t largest = 0;
  for (std::size_t k = 0; k < l.texts.size(); ++k) largest = std::max(largest, original_number(l, k));
  texts.assign(static_cast<std::size_t>(largest) + 1, std::string());
  for (std::size_t k = 0; k < l.texts.size(); ++k) texts[static_cast<std::size_t>(original_number(l, k))] = l.texts[k];
}

}  // namespace

// The values, the labels and (beside titles) the original numbers.
DataTable detail::data_table_of(const Table& t, const RunSettings& given) {
  DataTable d;
  d.N0 = d.N = t.rows;
  d.M0 = d.M = t.columns;
  d.row_titles = given.BTOR;
  d.column_titles = given.CTOC;
  d.OSR = given.OSR;
  d.OSC = given.OSC;
  d.A = MATRIX(t.rows + 1, t.columns + 1);
  for (std::int32_t i = 1; i <= t.rows; ++i)
    for (std::int32_t j = 1; j <= t.columns; ++j) d.A[i][j] = t.at(i - 1, j - 1);
  d.RO = MATRIX(t.rows + 1, 2);
  d.CO = MATRIX(2, t.columns + 1);
  for (std::int32_t i = 1; i <= t.rows; ++i) {
    const auto k = static_cast<std::size_t>(i - 1);
    d.RO[i][1] = label_value(t.row_labels, k, original_number(t.row_labels, k));
  }
  for (std::int32_t j = 1; j <= t.columns; ++j) {
    const auto k = static_cast<std::size_t>(j - 1);
    d.CO[1][j] = label_value(t.column_labels, k, original_number(t.column_labels, k));
  }
  if (given.BTOR) {
    d.RW = MATRIX(t.rows + 1, 2);
    for (std::int32_t i = 1; i <= t.rows; ++i) d.RW[i][1] = REAL(original_number(t.row_labels, static_cast<std::size_t>(i - 1)));
  }
  if (given.CTOC) {
    d.CW = MATRIX(2, t.columns + 1);
    for (std::int32_t j = 1; j <= t.columns; ++j)
      d.CW[1][j] = REAL(original_number(t.column_labels, static_cast<std::size_t>(j - 1)));
  }
  hold_texts(t.row_labels, d.row_title_texts);
  hold_texts(t.column_labels, d.column_title_texts);
  return d;
}

RunSettings detail::settings_for(const Settings& x, bool row_titles, bool column_titles, bool eigenvalues) {
  RunSettings r;
  r.MER = x.absolute_error;
  r.MERPR = x.relative_error_percent / 100;
  r.NU = x.steps;
  r.LSD = x.statistics && !eigenvalues;
  r.JEV = eigenvalues;
  r.ITRN = eigenvalues && x.product_matrix;
  r.OSR = x.reference_row;
  r.OSC = x.reference_column;
  r.VERDICT = x.verdict;
  r.BTOR = row_titles;
  r.CTOC = column_titles;
  return r;
}

namespace {

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t from = 0;
  while (from < text.size()) {
    std::size_t end = text.find("\r\n", from);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(from, end - from));
    from = end + 2;
  }
  return lines;
}

}  // namespace

std::vector<std::string> detail::verdict_block(const RankVerdict& v) {
  std::string text;
  TextWriter out = TextWriter::into(text, "memory", "verdict block");
  write_rank_verdict(out, v);
  return lines_of(text);
}

namespace {

std::vector<StepStatistics> statistics_of(const AnalysisRun& s) {
  std::vector<StepStatistics> steps;
  if (!s.plan.LSD || !s.work.AR.allocated()) return steps;
  for (std::int32_t I = 1; I <= s.work.MIN && I < s.work.AR.cols(); ++I) {
    StepStatistics& st = steps.emplace_back();
    for (int k = 0; k < 4; ++k) {
      st.signed_values[k] = s.work.AR[1 + k][I];
      st.absolute_values[k] = s.work.AR[5 + k][I];
    }
  }
  return steps;
}

enum class Kind { elimination, eigenvalues, verdict_only };

// The library refuses what the program only warns of: the matrix itself
// analysed as symmetric when it is not. Positions counted from 0, as the
// Python module counts them.
void refuse_asymmetric_matrix(const DataTable& d, const RunPlan& plan) {
  const std::optional<Asymmetry> a = matrix_itself_asymmetry(d, plan);
  if (!a) return;
  const std::string what = "product=False analyses the data matrix itself, which must be square and symmetric";
  if (a->row == 0) refuse(what + "; it is " + std::to_string(d.N) + " x " + std::to_string(d.M) + ".");
  refuse(what + "; element [" + std::to_string(a->row - 1) + ", " + std::to_string(a->column - 1) +
         "] differs from element [" + std::to_string(a->column - 1) + ", " + std::to_string(a->row - 1) + "].");
}

// The eigenvectors of the examined eigenvalues and the data projected on
// them, each projection summed over k = 1..MIN in order, as the residual
// test sums it.
void keep_components(const AnalysisRun& s, std::int32_t examined, Run& run) {
  const std::int32_t order = s.work.MIN;
  const bool rows = s.table.N >= s.table.M;
  const std::int32_t count = rows ? s.table.N : s.table.M;
  const auto at = [examined](std::int32_t r, std::int32_t i) {
    return static_cast<std::size_t>(r - 1) * static_cast<std::size_t>(examined) + static_cast<std::size_t>(i - 1);
  };
  run.order = order;
  run.components = examined;
  run.projected = count;
  run.eigenvectors.assign(static_cast<std::size_t>(order) * static_cast<std::size_t>(examined), 0);
  run.projections.assign(static_cast<std::size_t>(count) * static_cast<std::size_t>(examined), 0);
  for (std::int32_t k = 1; k <= order; ++k)
    for (std::int32_t i = 1; i <= examined; ++i) run.eigenvectors[at(k, i)] = s.work.T[k][i];
  for (std::int32_t r = 1; r <= count; ++r)
    for (std::int32_t i = 1; i <= examined; ++i) {
      REAL sum = 0;
      for (std::int32_t k = 1; k <= order; ++k) sum += (rows ? s.table.A[r][k] : s.table.A[k][r]) * s.work.T[k][i];
      run.projections[at(r, i)] = sum;
    }
}

// The analysis in memory: the table, the plan derived from the settings, a
// workspace, then the analysis, the verdict and the outputs as values.
Run call(const Table& table, const Settings& settings, Control& control, Kind kind) {
  control.stage = kPreparing;
  detail::check_table(table, 1);
  detail::check_labels(table.row_labels, table.rows, "row");
  detail::check_labels(table.column_labels, table.columns, "column");
  detail::check_settings(settings, table.rows, table.columns);
  detail::check_element_errors(settings, table.rows, table.columns);
  Run run;
  Console console(run.warnings);
  Workers workers(settings.threads);
  workers.stop_when(&control.stop);
  RunSettings given = detail::settings_for(settings, table.row_labels.titled(), table.column_labels.titled(),
                                           kind != Kind::elimination);
  if (kind == Kind::verdict_only) given.VERDICT = true;
  DataTable d = detail::data_table_of(table, given);
  detail::take_element_errors(settings, d);
  remove_reference_row(d);
  remove_reference_column(d);
  RunPlan plan = plan_run(given, d.N, d.M, has_element_errors(d));
  if (kind == Kind::verdict_only) plan.NU = 0;  // nothing but the verdict runs
  if (kind == Kind::eigenvalues && !settings.product_matrix) refuse_asymmetric_matrix(d, plan);
  AnalysisWorkspace work;
  work.MIN = plan.MIN;
  size_working_matrices(work, d, plan);
  std::optional<RankSample> sample;
  if (given.VERDICT) sample = take_rank_sample(d, plan.JEV, errors_of_run(plan, d));
  AnalysisRun analysis{d, plan, work, workers};
  RunOutcome outcome;
  if (kind != Kind::verdict_only) {
    control.stage = kAnalysing;
    SilentObserver observer(console, true);
    if (plan.NU != 0) QOR(analysis, observer, plan.ITRN, plan.JEV, plan.LSD, plan.MER, plan.MERPR, plan.NU);
    run.statistics = statistics_of(analysis);
  }
  outcome.results = collect_analysis_results(analysis);
  if (outcome.results->eigenvalue_mode && outcome.results->ran)
    keep_components(analysis, outcome.results->eigenvalues_examined, run);
  if (sample) {
    control.stage = kJudging;
    outcome.verdict = judge_rank(*sample, console, workers, nullptr);
    run.verdict_lines = detail::verdict_block(*outcome.verdict);
  }
  control.stage = kWriting;
  run.results = *outcome.results;
  run.verdict = outcome.verdict;
  run.results_json = results_text(given, progress_of(plan, d), std::string(), outcome);
  run.picture = evidence_picture(given, run.results, run.verdict ? &*run.verdict : nullptr);
  control.stage = kDone;
  return run;
}

Run guarded_call(const Table& table, const Settings& settings, Control& control, Kind kind) {
  try {
    return call(table, settings, control, kind);
  } catch (const std::bad_alloc&) {
    throw RunError(kNoMemory, "not enough memory for this run.");
  }
}

}  // namespace

Table load_table(const std::string& path, const LoadOptions& options) {
  std::vector<std::string> log;
  Console console(log);
  ProgramRun s(console);
  s.settings.AFNI = path;
  s.settings.BTOR = options.row_titles;
  s.settings.CTOC = options.column_titles;
  s.settings.SEP = options.separator;
  s.settings.UCOMMA = options.decimal_comma;
  s.settings.ERS = options.rows_left_out;
  s.settings.DCS = options.columns_left_out;
  refuse_conflicting_settings(s.settings);
  try {
    load_data_matrix(s);
  } catch (const std::bad_alloc&) {
    throw RunError(kNoMemory, "not enough memory for this table.");
  }
  Table t;
  t.rows = s.table.N;
  t.columns = s.table.M;
  t.values.reserve(static_cast<std::size_t>(s.table.N) * static_cast<std::size_t>(s.table.M));
  for (std::int32_t i = 1; i <= s.table.N; ++i)
    for (std::int32_t j = 1; j <= s.table.M; ++j) t.values.push_back(s.table.A[i][j]);
  for (std::int32_t i = 1; i <= s.table.N; ++i) {
    const REAL number = keeps_original_row_numbers(s.table) ? s.table.RW[i][1] : s.table.RO[i][1];
    t.row_labels.numbers.push_back(std::llround(number));
    if (!options.row_titles) continue;
    if (!s.table.row_title_texts.empty()) {
      t.row_labels.texts.push_back(s.table.row_title_texts[static_cast<std::size_t>(std::llround(number))]);
    } else {
      t.row_labels.titles.push_back(s.table.RO[i][1]);
    }
  }
  for (std::int32_t j = 1; j <= s.table.M; ++j) {
    const REAL number = keeps_original_column_numbers(s.table) ? s.table.CW[1][j] : s.table.CO[1][j];
    t.column_labels.numbers.push_back(std::llround(number));
    if (!options.column_titles) continue;
    if (!s.table.column_title_texts.empty()) {
      t.column_labels.texts.push_back(s.table.column_title_texts[static_cast<std::size_t>(std::llround(number))]);
    } else {
      t.column_labels.titles.push_back(s.table.CO[1][j]);
    }
  }
  return t;
}

Run eliminate(const Table& table, const Settings& settings, Control& control) {
  return guarded_call(table, settings, control, Kind::elimination);
}

Run eigen(const Table& table, const Settings& settings, Control& control) {
  return guarded_call(table, settings, control, Kind::eigenvalues);
}

Run rank(const Table& table, const Settings& settings, Control& control) {
  return guarded_call(table, settings, control, Kind::verdict_only);
}

}  // namespace qor

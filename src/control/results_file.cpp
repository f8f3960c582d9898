#include "control/results_file.h"

#include <cmath>
#include <new>

#include "analysis/rank_verdict.h"
#include "common/run_error.h"
#include "common/run_state.h"
#include "control/outputs_after_run.h"
#include "report/json_writer.h"
#include "report/output_file.h"
#include "report/output_names.h"

#ifndef QOR_VERSION
#error "QOR_VERSION is set from the project's version in CMakeLists.txt"
#endif

namespace {

const char* mode_name(const RunState& s) {
  if (s.FTW > 0) return "contribution tables";
  return s.JEV ? "eigenvalues" : "elimination";
}

void optional_number(JsonWriter& j, bool given, REAL value) {
  if (given) {
    j.number(value);
  } else {
    j.null();
  }
}

void write_settings(JsonWriter& j, const RunState& s) {
  j.key("settings");
  j.begin_object();
  j.key("mode");
  j.string(mode_name(s));
  j.key("product_matrix");
  j.boolean(s.settings.ITRN);
  j.key("absolute_error");
  j.number(s.settings.MER);
  j.key("relative_error");
  j.number(s.settings.MERPR);
  j.key("steps");
  j.integer(s.NU);
  j.key("row_titles");
  j.boolean(s.settings.BTOR);
  j.key("column_titles");
  j.boolean(s.settings.CTOC);
  j.key("separator");
  if (s.settings.SEP == 0) {
    j.null();
  } else {
    j.string(std::string(1, s.settings.SEP));
  }
  j.key("decimal_comma");
  j.boolean(s.settings.UCOMMA);
  j.key("rows");
  j.integer(s.N);
  j.key("columns");
  j.integer(s.M);
  j.end_object();
}

// Original numbers are whole; titles may have fractions, or be texts (kept
// by original number, the label then being that number).
void write_label(JsonWriter& j, const char* number_key, REAL number, const char* title_key, bool titled,
                 REAL title, const std::vector<std::string>& texts) {
  j.key(number_key);
  const long long original = std::llround(number);
  j.integer(original);
  j.key(title_key);
  if (titled && original > 0 && static_cast<std::size_t>(original) < texts.size()) {
    j.string(texts[static_cast<std::size_t>(original)]);
  } else {
    optional_number(j, titled, title);
  }
}

void write_pivots(JsonWriter& j, const RunState& s) {
  const bool errors = errors_known(s.MER, s.MERPR);
  j.key("steps_done");
  j.integer(static_cast<std::int64_t>(s.pivots.size()));
  j.key("pivots");
  j.begin_array();
  for (std::size_t k = 0; k < s.pivots.size(); ++k) {
    const PivotRecord& p = s.pivots[k];
    j.begin_object(true);
    j.key("step");
    j.integer(static_cast<std::int64_t>(k + 1));
    j.key("value");
    j.number(p.value);
    j.key("sd");
    optional_number(j, errors, std::sqrt(p.variance));
    write_label(j, "row", p.row, "row_title", s.settings.BTOR, p.row_label, s.row_title_texts);
    write_label(j, "column", p.column, "column_title", s.settings.CTOC, p.column_label, s.column_title_texts);
    j.end_object();
  }
  j.end_array();
}

void write_eigenvalues(JsonWriter& j, const RunState& s) {
  const bool errors = errors_known(s.MER, s.MERPR);
  j.key("eigenvalues");
  j.begin_array();
  for (std::size_t k = 0; k < s.eigen_tests.size(); ++k) {
    const EigenTestRecord& t = s.eigen_tests[k];
    const auto I = static_cast<std::int32_t>(k + 1);
    j.begin_object(true);
    j.key("index");
    j.integer(I);
    j.key("position");
    j.integer(std::llround(s.RO[I][1]));
    j.key("value");
    j.number(s.DE[I][1]);
    j.key("sd");
    optional_number(j, errors, errors ? std::sqrt(s.EE[I][1]) : 0);
    j.key("beyond_1_2_3_sd");
    if (t.tested) {
      j.begin_array(true);
      for (int n = 1; n <= 3; ++n) j.integer(t.NR[n]);
      j.end_array();
    } else {
      j.null();
    }
    j.key("chi_square");
    optional_number(j, t.tested, t.G);
    j.key("q_all");
    optional_number(j, t.probabilities, t.Q_all);
    j.key("q_rest");
    optional_number(j, t.probabilities, t.Q_rest);
    j.end_object();
  }
  j.end_array();
}

void write_verdict(JsonWriter& j, const RankVerdict& v) {
  j.begin_object();
  j.key("low");
  j.integer(v.low);
  j.key("high");
  j.integer(v.high);
  j.key("confident");
  j.boolean(v.low == v.high);
  j.key("error_given");
  j.boolean(v.error_given);
  j.key("sigma");
  j.number(v.sigma);
  j.key("edge");
  j.number(v.edge);
  j.key("singular_values");
  j.begin_array(true);
  for (std::size_t i = 1; i < v.singular.size(); ++i) j.number(v.singular[i]);
  j.end_array();
  j.key("q_after");
  j.begin_array(true);
  for (const REAL q : v.Q) j.number(q);
  j.end_array();
  j.end_object();
}

std::string results_text(const RunState& s, const RunOutcome& outcome) {
  JsonWriter j;
  j.begin_object();
  j.key("program");
  j.string("qor");
  j.key("version");
  j.string(QOR_VERSION);
  j.key("data_file");
  j.string(s.settings.AFNI.view());
  j.key("written_file");
  const std::string written = written_file(s);
  if (written.empty()) {
    j.null();  // no analysis ran, so no report was written
  } else {
    j.string(written);
  }
  write_settings(j, s);
  j.key("status");
  j.integer(outcome.stop != nullptr ? outcome.stop->number() : 0);
  j.key("message");
  if (outcome.stop != nullptr) {
    j.string(outcome.stop->report_line());
  } else {
    j.null();
  }
  // The results only when the analysis ran and the run ended normally.
  const bool results = outcome.stop == nullptr && s.NU != 0;
  j.key("results");
  if (results) {
    j.begin_object();
    if (s.JEV) {
      write_eigenvalues(j, s);
    } else {
      write_pivots(j, s);
    }
    j.end_object();
  } else {
    j.null();
  }
  j.key("rank_verdict");
  if (outcome.verdict) {
    write_verdict(j, *outcome.verdict);
  } else {
    j.null();
  }
  j.end_object();
  return j.text();
}

void write_lines(TextWriter& out, const std::string& text) {
  std::size_t from = 0;
  for (;;) {
    const std::size_t end = text.find('\n', from);
    out.write(std::string_view(text).substr(from, end - from));
    out.line_end();
    if (end == std::string::npos) return;
    from = end + 1;
  }
}

void write_file(RunState& s, const RunOutcome& outcome) {
  TextWriter out = create_output_file(s, results_file_name(s), "results file", OutputName::chosen);
  write_lines(out, results_text(s, outcome));
  out.close();
}

}  // namespace

void keep_pivots_for_results(RunState& s) {
  if (!s.settings.XJSON || s.JEV || s.NU == 0) return;
  const bool errors = errors_known(s.MER, s.MERPR);
  s.pivots.clear();
  for (std::int32_t i = 1; i <= s.MIN; ++i) {
    PivotRecord& p = s.pivots.emplace_back();
    p.value = s.A[0][i];
    p.variance = errors ? s.SD[i][i] : 0;
    p.row_label = s.RO[i][1];
    p.row = keeps_original_row_numbers(s) ? s.RW[i][1] : p.row_label;
    p.column_label = s.CO[1][i];
    p.column = keeps_original_column_numbers(s) ? s.CW[1][i] : p.column_label;
  }
}

void write_results_file(RunState& s, const RunOutcome& outcome) {
  if (!s.settings.XJSON || s.settings.GFNO.empty()) return;
  if (outcome.stop == nullptr) {
    write_file(s, outcome);
    return;
  }
  try {
    write_file(s, outcome);
  } catch (const RunError&) {
  } catch (const std::bad_alloc&) {
  }
}

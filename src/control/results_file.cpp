#include "control/results_file.h"

#include <cmath>
#include <new>

#include "analysis/qor.h"
#include "analysis/rank_verdict.h"
#include "common/run_error.h"
#include "common/run_state.h"
#include "control/outputs_after_run.h"
#include "report/json_writer.h"
#include "report/output_file.h"

#ifndef QOR_VERSION
#error "QOR_VERSION is set from the project's version in CMakeLists.txt"
#endif

namespace {

// The file the run writes its results to: the report (named as the analysis
// creates it) or, in a contribution-table run, the table file.
std::string written_file(const RunState& s) { return s.FTW > 0 ? s.GFNO.str() : report_file_name(s.GFNO.view()); }

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
  j.boolean(s.ITRN);
  j.key("absolute_error");
  j.number(s.MER);
  j.key("relative_error");
  j.number(s.MERPR);
  j.key("steps");
  j.integer(s.NU);
  j.key("row_titles");
  j.boolean(s.BTOR);
  j.key("column_titles");
  j.boolean(s.CTOC);
  j.key("separator");
  if (s.SEP == 0) {
    j.null();
  } else {
    j.string(std::string(1, s.SEP));
  }
  j.key("decimal_comma");
  j.boolean(s.UCOMMA);
  j.key("rows");
  j.integer(s.N);
  j.key("columns");
  j.integer(s.M);
  j.end_object();
}

// Original numbers are whole; titles may have fractions.
void write_label(JsonWriter& j, const char* number_key, REAL number, const char* title_key, bool titled,
                 REAL title) {
  j.key(number_key);
  j.integer(std::llround(number));
  j.key(title_key);
  optional_number(j, titled, title);
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
    write_label(j, "row", p.row, "row_title", s.BTOR, p.row_label);
    write_label(j, "column", p.column, "column_title", s.CTOC, p.column_label);
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
  j.key("rank");
  if (v.low == v.high) {
    j.integer(v.low);
  } else {
    j.null();
  }
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
  // A component weaker than "unseen" (its singular value without the noise)
  // does not show at this size; null where the noise is not of one level.
  j.key("limit_of_sight");
  if (v.limit.unseen > 0 && v.edge > 0) {
    j.begin_object(true);
    j.key("unseen_below");
    j.number(v.limit.unseen);
    j.key("unseen_below_edges");
    j.number(v.limit.unseen / v.edge);
    j.key("at_99_point");
    j.number(v.limit.clear);
    j.key("at_99_point_edges");
    j.number(v.limit.clear / v.edge);
    j.end_object();
  } else {
    j.null();
  }
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
  j.string(s.AFNI.view());
  j.key("written_file");
  j.string(written_file(s));
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
  TextWriter out = create_output_file(s, results_file_name(written_file(s)), "results file");
  write_lines(out, results_text(s, outcome));
  out.close();
}

}  // namespace

void keep_pivots_for_results(RunState& s) {
  if (!s.XJSON || s.JEV || s.NU == 0) return;
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

std::string results_file_name(const std::string& written) {
  const std::size_t slash = written.rfind('/');
  const std::size_t name_start = slash == std::string::npos ? 0 : slash + 1;
  const std::size_t dot = written.rfind('.');
  std::string stem = written;
  if (dot != std::string::npos && dot > name_start) stem = written.substr(0, dot);
  std::string name = stem + ".json";
  if (name == written) name += ".json";
  return name;
}

void write_results_file(RunState& s, const RunOutcome& outcome) {
  if (!s.XJSON || s.GFNO.empty()) return;
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

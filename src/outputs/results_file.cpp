#include "outputs/results_file.h"

#include <cmath>
#include <new>

#include "verdict/rank_verdict.h"
#include "common/run_error.h"
#include "common/program_run.h"
#include "outputs/outputs_after_run.h"
#include "outputs/json_writer.h"
#include "report/output_file.h"
#include "report/output_names.h"

#ifndef QOR_VERSION
#error "QOR_VERSION is set from the project's version in CMakeLists.txt"
#endif

RunProgress progress_of(const RunPlan& plan, const DataTable& table) {
  const char* mode = plan.FTW > 0 ? "contribution tables" : plan.JEV ? "eigenvalues" : "elimination";
  return {mode, plan.NU, table.N, table.M};
}

namespace {

void optional_number(JsonWriter& j, bool given, REAL value) {
  if (given) {
    j.number(value);
  } else {
    j.null();
  }
}

void write_settings(JsonWriter& j, const RunSettings& given, const RunProgress& progress) {
  j.key("settings");
  j.begin_object();
  j.key("mode");
  j.string(progress.mode);
  j.key("product_matrix");
  j.boolean(given.ITRN);
  j.key("absolute_error");
  j.number(given.MER);
  j.key("relative_error");
  j.number(given.MERPR);
  if (!given.ERRF.empty()) {
    j.key("error_file");
    j.string(given.ERRF.str());
  }
  j.key("steps");
  j.integer(progress.steps);
  j.key("row_titles");
  j.boolean(given.BTOR);
  j.key("column_titles");
  j.boolean(given.CTOC);
  j.key("separator");
  if (given.SEP == 0) {
    j.null();
  } else {
    j.string(std::string(1, given.SEP));
  }
  j.key("decimal_comma");
  j.boolean(given.UCOMMA);
  j.key("rows");
  j.integer(progress.rows);
  j.key("columns");
  j.integer(progress.columns);
  j.end_object();
}

// Original numbers are whole; titles may have fractions, or be texts.
void write_label(JsonWriter& j, const char* number_key, const char* title_key, const Label& label) {
  j.key(number_key);
  j.integer(label.number);
  j.key(title_key);
  if (label.text) {
    j.string(*label.text);
  } else {
    optional_number(j, label.titled, label.title);
  }
}

void write_pivots(JsonWriter& j, const AnalysisResults& r) {
  j.key("steps_done");
  j.integer(static_cast<std::int64_t>(r.pivots.size()));
  j.key("pivots");
  j.begin_array();
  for (std::size_t k = 0; k < r.pivots.size(); ++k) {
    const PivotResult& p = r.pivots[k];
    j.begin_object(true);
    j.key("step");
    j.integer(static_cast<std::int64_t>(k + 1));
    j.key("value");
    j.number(p.value);
    j.key("sd");
    optional_number(j, r.errors, std::sqrt(p.variance));
    write_label(j, "row", "row_title", p.row);
    write_label(j, "column", "column_title", p.column);
    j.end_object();
  }
  j.end_array();
}

void write_eigenvalues(JsonWriter& j, const AnalysisResults& r) {
  j.key("eigenvalues");
  j.begin_array();
  for (std::int32_t k = 0; k < r.eigenvalues_examined; ++k) {
    const EigenvalueResult& e = r.eigenvalues[static_cast<std::size_t>(k)];
    const EigenTestRecord& t = e.test;
    j.begin_object(true);
    j.key("index");
    j.integer(k + 1);
    j.key("position");
    j.integer(e.position);
    j.key("value");
    j.number(e.value);
    j.key("sd");
    optional_number(j, r.errors, r.errors ? std::sqrt(e.variance) : 0);
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

// Each window on a line of its own: its rows (counted among the rows
// analysed), its count, its noise edge and its singular values.
void write_windows(JsonWriter& j, const char* name, const std::vector<WindowCount>& windows) {
  j.key(name);
  j.begin_array();
  for (const WindowCount& w : windows) {
    j.begin_object(true);
    j.key("first");
    j.integer(w.first);
    j.key("last");
    j.integer(w.last);
    j.key("low");
    j.integer(w.low);
    j.key("high");
    j.integer(w.high);
    j.key("edge");
    j.number(w.edge);
    j.key("singular_values");
    j.begin_array(true);
    for (std::size_t k = 1; k < w.singular.size(); ++k) j.number(w.singular[k]);
    j.end_array();
    j.end_object();
  }
  j.end_array();
}

void write_evolving(JsonWriter& j, const EvolvingFactors& f) {
  j.begin_object();
  j.key("error_given");
  j.boolean(f.noise.error_given);
  j.key("sigma");
  j.number(f.noise.sigma);
  j.key("window");
  j.integer(f.window);
  j.key("components");
  j.begin_array();
  for (const ComponentRows& c : f.components) {
    j.begin_object(true);
    const auto row = [&](const char* key, std::int32_t r) {
      j.key(key);
      if (r > 0) {
        j.integer(r);
      } else {
        j.null();
      }
    };
    row("appears_low", c.appears_low);
    row("appears_high", c.appears_high);
    row("disappears_low", c.disappears_low);
    row("disappears_high", c.disappears_high);
    j.end_object();
  }
  j.end_array();
  write_windows(j, "forward", f.forward);
  write_windows(j, "backward", f.backward);
  write_windows(j, "moving", f.moving);
  j.end_object();
}

}  // namespace

std::string results_text(const RunSettings& given, const RunProgress& progress, const std::string& written,
                         const RunOutcome& outcome) {
  JsonWriter j;
  j.begin_object();
  j.key("program");
  j.string("qor");
  j.key("version");
  j.string(QOR_VERSION);
  j.key("data_file");
  j.string(given.AFNI.view());
  j.key("written_file");
  if (written.empty()) {
    j.null();  // no analysis ran, so no report was written
  } else {
    j.string(written);
  }
  write_settings(j, given, progress);
  j.key("status");
  j.integer(outcome.stop != nullptr ? outcome.stop->number() : 0);
  j.key("message");
  if (outcome.stop != nullptr) {
    j.string(outcome.stop->report_line());
  } else {
    j.null();
  }
  // The results only when the analysis ran and the run ended normally.
  const AnalysisResults* r = outcome.stop == nullptr && outcome.results && outcome.results->ran ? &*outcome.results : nullptr;
  j.key("results");
  if (r != nullptr) {
    j.begin_object();
    if (r->eigenvalue_mode) {
      write_eigenvalues(j, *r);
    } else {
      write_pivots(j, *r);
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
  // Only with ",EFA": without it the file stays as it was.
  if (outcome.evolving) {
    j.key("evolving_factors");
    write_evolving(j, *outcome.evolving);
  }
  j.end_object();
  return j.text();
}

namespace {

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

void write_file(ProgramRun& s, const RunOutcome& outcome) {
  TextWriter out = create_output_file(s, results_file_name(s), "results file", OutputName::chosen);
  write_lines(out, results_text(s.settings, progress_of(s.plan, s.table), written_file(s), outcome));
  out.close();
}

}  // namespace

void write_results_file(ProgramRun& s, const RunOutcome& outcome) {
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

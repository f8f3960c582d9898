#include "input/evolving_stage.h"

#include <cmath>

#include "common/console.h"
#include "common/run_state.h"
#include "common/text_writer.h"
#include "evolving/evolving_text.h"
#include "report/number_text.h"

namespace {

std::string row_name(const RunState& s, std::int32_t i) {
  const REAL label = s.RO[i][1];
  if (!s.row_title_texts.empty()) {
    const auto number = static_cast<std::size_t>(std::llround(label));
    if (number < s.row_title_texts.size() && !s.row_title_texts[number].empty()) return s.row_title_texts[number];
  }
  if (is_whole_label(label, kRowLabelWholeWithin)) return std::to_string(std::llround(label));
  const std::string t(RS(label, 10).view());
  return t.substr(t.find_first_not_of(' '));
}

}  // namespace

std::optional<EvolvingSample> take_evolving_sample(const RunState& s) {
  if (s.settings.EFA < 0 || s.N < 1 || s.M < 1) return std::nullopt;
  EvolvingSample x;
  x.N = s.N;
  x.M = s.M;
  x.A = MATRIX(s.N + 1, s.M + 1);
  for (std::int32_t i = 1; i <= s.N; ++i)
    for (std::int32_t j = 1; j <= s.M; ++j) x.A[i][j] = s.A[i][j];
  // The error as given: a table run clears the run's own.
  x.settings.ER = s.settings.MER;
  x.settings.ERPR = s.settings.MERPR;
  x.settings.window = s.settings.EFA;
  x.row_names.assign(static_cast<std::size_t>(s.N) + 1, std::string());
  for (std::int32_t i = 1; i <= s.N; ++i) x.row_names[static_cast<std::size_t>(i)] = row_name(s, i);
  return x;
}

EvolvingFactors report_evolving_factors(RunState& s, const EvolvingSample& x, TextWriter* report) {
  EvolvingFactors f = evolving_factors(x.A, x.N, x.M, x.settings, s.console, s.workers);
  if (report != nullptr) {
    report->line_end();
    write_evolving_block(*report, f, x.row_names);
  }
  return f;
}

#include "control/evolving_stage.h"

#include <cmath>

#include "common/console.h"
#include "common/element_errors.h"
#include "common/program_run.h"
#include "common/text_writer.h"
#include "evolving/evolving_text.h"
#include "common/number_text.h"

namespace {

std::string row_name(const ProgramRun& s, std::int32_t i) {
  const REAL label = s.table.RO[i][1];
  if (!s.table.row_title_texts.empty()) {
    const auto number = static_cast<std::size_t>(std::llround(label));
    if (number < s.table.row_title_texts.size() && !s.table.row_title_texts[number].empty()) return s.table.row_title_texts[number];
  }
  if (is_whole_label(label, kRowLabelWholeWithin)) return std::to_string(std::llround(label));
  const std::string t(RS(label, 10).view());
  return t.substr(t.find_first_not_of(' '));
}

}  // namespace

std::optional<EvolvingSample> take_evolving_sample(const ProgramRun& s) {
  if (s.settings.EFA < 0 || s.table.N < 1 || s.table.M < 1) return std::nullopt;
  EvolvingSample x;
  x.N = s.table.N;
  x.M = s.table.M;
  x.A = MATRIX(s.table.N + 1, s.table.M + 1);
  for (std::int32_t i = 1; i <= s.table.N; ++i)
    for (std::int32_t j = 1; j <= s.table.M; ++j) x.A[i][j] = s.table.A[i][j];
  // The error as given: a table run clears the run's own.
  x.settings.take_errors(errors_as_given(s.settings.MER, s.settings.MERPR, s.table));
  x.settings.window = s.settings.EFA;
  x.row_names.assign(static_cast<std::size_t>(s.table.N) + 1, std::string());
  for (std::int32_t i = 1; i <= s.table.N; ++i) x.row_names[static_cast<std::size_t>(i)] = row_name(s, i);
  return x;
}

EvolvingFactors report_evolving_factors(ProgramRun& s, const EvolvingSample& x, TextWriter* report) {
  EvolvingFactors f = evolving_factors(x.A, x.N, x.M, x.settings, s.console, s.workers);
  if (report != nullptr) {
    report->line_end();
    write_evolving_block(*report, f, x.row_names);
  }
  return f;
}

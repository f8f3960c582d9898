#include "library/evolving_call.h"

#include <new>

#include "analysis/reference_removal.h"
#include "common/console.h"
#include "common/run_error.h"
#include "common/data_table.h"
#include "common/element_errors.h"
#include "common/workers.h"
#include "evolving/evolving_factors.h"
#include "library/library_parts.h"

namespace qor {

Evolving evolving(const Table& table, const Settings& settings, std::int32_t window, Control& control) {
  control.stage = kPreparing;
  detail::check_table(table, 1);
  detail::check_labels(table.row_labels, table.rows, "row");
  detail::check_labels(table.column_labels, table.columns, "column");
  detail::check_settings(settings, table.rows, table.columns);
  detail::check_element_errors(settings, table.rows, table.columns);
  const std::int32_t rows = table.rows - (settings.reference_row > 0 ? 1 : 0);
  if (window < 0 || window > rows)
    throw RunError(kSettingOutOfRange,
                   "window must lie from 1 to " + std::to_string(rows) + ", the rows analysed (0: the default), not " +
                       std::to_string(window) + ".",
                   RunError::Kind::data);
  Evolving e;
  try {
    Console console(e.warnings);
    Workers workers(settings.threads);
    workers.stop_when(&control.stop);
    Settings plain = settings;
    plain.verdict = false;
    const RunSettings given =
        detail::settings_for(plain, table.row_labels.titled(), table.column_labels.titled(), false);
    DataTable d = detail::data_table_of(table, given);
    detail::take_element_errors(settings, d);
    remove_reference_row(d);
    remove_reference_column(d);
    control.stage = kAnalysing;
    EvolvingSettings x;
    x.take_errors(errors_as_given(given.MER, given.MERPR, d));
    x.window = window;
    e.factors = evolving_factors(d.A, d.N, d.M, x, console, workers);
    for (std::int32_t i = 1; i <= table.rows; ++i)
      if (i != settings.reference_row) e.table_rows.push_back(i);
  } catch (const std::bad_alloc&) {
    throw RunError(kNoMemory, "not enough memory for this run.");
  }
  control.stage = kDone;
  return e;
}

std::vector<WindowCount> evolving_moving_windows(const Table& table, const Settings& settings, std::int32_t window,
                                                 std::int32_t starts, Control& control) {
  control.stage = kPreparing;
  detail::check_table(table, 1);
  detail::check_settings(settings, table.rows, table.columns);
  const auto refuse = [](const std::string& why) { throw RunError(kSettingOutOfRange, why, RunError::Kind::data); };
  if (settings.absolute_errors.rows != 0 || settings.relative_errors_percent.rows != 0)
    refuse("the moving windows of a tall array take one error for every element, not errors element by element.");
  if (settings.absolute_error == 0 && settings.relative_error_percent == 0)
    refuse("the moving windows of a tall array need the error: the noise level of the whole array would have to be "
           "estimated first (give error or relative_error).");
  if (settings.reference_row != 0 || settings.reference_column != 0)
    refuse("the moving windows of a tall array take no reference row or column.");
  if (window < 1 || starts < 1 || starts + window - 1 > table.rows)
    refuse("windows of " + std::to_string(window) + " rows starting at rows 1 to " + std::to_string(starts) +
           " do not fit the " + std::to_string(table.rows) + " rows given.");
  std::vector<std::string> log;
  Console console(log);
  Workers workers(settings.threads);
  workers.stop_when(&control.stop);
  std::vector<WindowCount> windows;
  try {
    MATRIX A(table.rows + 1, table.columns + 1);
    for (std::int32_t i = 1; i <= table.rows; ++i)
      for (std::int32_t j = 1; j <= table.columns; ++j) A[i][j] = table.at(i - 1, j - 1);
    EvolvingSettings x;
    x.ER = settings.absolute_error;
    x.ERPR = settings.relative_error_percent / 100;
    EvolvingFactors work;
    control.stage = kAnalysing;
    windows = moving_windows(A, table.rows, table.columns, window, 1, starts, x, work, console, workers);
    EvolvingNoise noise;
    noise.error_given = true;
    count_components(windows, table.columns, noise);
  } catch (const std::bad_alloc&) {
    throw RunError(kNoMemory, "not enough memory for this block.");
  }
  control.stage = kDone;
  return windows;
}

}  // namespace qor

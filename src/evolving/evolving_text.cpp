#include "evolving/evolving_text.h"

#include <algorithm>
#include <string>

#include "common/text.h"
#include "common/text_writer.h"
#include "common/number_text.h"

namespace {

void write_line(TextWriter& out, const std::string& text) {
  out.write(text);
  out.line_end();
}

void write_wrapped(TextWriter& out, const std::string& text) {
  for (const std::string& line : wrap_words(text, 79, "  ")) write_line(out, line);
}

std::string trimmed(std::string_view t) {
  const std::size_t from = t.find_first_not_of(' ');
  return from == std::string_view::npos ? std::string() : std::string(t.substr(from));
}

std::string row_range_text(const std::vector<std::string>& names, std::int32_t low, std::int32_t high) {
  if (low == 0 || high == 0) return "not shown";
  if (low == high) return names[static_cast<std::size_t>(low)];
  return names[static_cast<std::size_t>(low)] + ".." + names[static_cast<std::size_t>(high)];
}

void write_noise(TextWriter& out, const EvolvingFactors& f) {
  const std::string sigma = trimmed(RS(f.noise.sigma, 12).view());
  if (!f.noise.error_given) {
    write_wrapped(out, "Noise: sigma = " + sigma +
                           ", estimated once from the whole matrix; each window's noise edge is sigma x (sqrt(rows) "
                           "+ sqrt(" + std::to_string(f.M) + ")), and a window counts the singular values that stand "
                           "out from such noise at its 99 % point, and may count those at its 90 % point.");
    return;
  }
  write_wrapped(out, std::string("Noise: sigma = ") + sigma + (f.noise.equal_errors ? ", given" : ", the root mean "
                     "square of the elements' errors") + "; each window's noise edge is " +
                     (f.noise.equal_errors ? "sigma x (sqrt(rows) + sqrt(" + std::to_string(f.M) + "))"
                                           : std::string("sqrt(largest row sum) + sqrt(largest column sum) of its "
                                                         "element variances")) +
                     ", and a window counts the singular values above it, less one that noise reaches at its 99 % "
                     "point, and may count one above the noise's 95 % point.");
}

void write_components(TextWriter& out, const EvolvingFactors& f, const std::vector<std::string>& names) {
  if (f.components.empty()) {
    write_line(out, "The whole matrix shows no component above the noise.");
    return;
  }
  write_wrapped(out, "Components, in the order they appear; the first to appear is taken as the first to disappear. "
                     "Rows by their titles (numbers), a range where the counts allow more than one; the rows from "
                     "the appearance to the disappearance are the component's concentration window:");
  out.write("Component");
  out.write_right("Appears in row", 22);
  out.write_right("Present to row", 22);
  out.line_end();
  for (std::size_t k = 0; k < f.components.size(); ++k) {
    const ComponentRows& c = f.components[k];
    write_integer(out, static_cast<std::int64_t>(k + 1), 9);
    out.write_right(row_range_text(names, c.appears_low, c.appears_high), 22);
    out.write_right(row_range_text(names, c.disappears_low, c.disappears_high), 22);
    out.line_end();
  }
}

void write_counts(TextWriter& out, const EvolvingFactors& f, const std::vector<std::string>& names) {
  write_wrapped(out, "Components by row: forward, of rows 1 to the row; backward, of the row to row " +
                         std::to_string(f.N) + "; moving, of the " + std::to_string(f.window) +
                         " rows from the row on" + (f.window_default ? " (the default window)" : "") + ".");
  out.write_right("Row", 12);
  out.write_right("Forward", 10);
  out.write_right("Backward", 10);
  out.write_right("Moving", 10);
  out.line_end();
  for (std::int32_t i = 1; i <= f.N; ++i) {
    const std::size_t k = static_cast<std::size_t>(i - 1);
    out.write_right(names[static_cast<std::size_t>(i)], 12);
    out.write_right(count_range_text(f.forward[k].low, f.forward[k].high), 10);
    out.write_right(count_range_text(f.backward[k].low, f.backward[k].high), 10);
    if (k < f.moving.size()) out.write_right(count_range_text(f.moving[k].low, f.moving[k].high), 10);
    out.line_end();
  }
}

}  // namespace

std::string count_range_text(std::int32_t low, std::int32_t high) {
  return low == high ? std::to_string(low) : std::to_string(low) + ".." + std::to_string(high);
}

void write_evolving_block(TextWriter& out, const EvolvingFactors& f, const std::vector<std::string>& row_names) {
  write_line(out, "Evolving factor analysis: the components along the rows");
  write_wrapped(out, std::to_string(f.N) + " rows x " + std::to_string(f.M) +
                         " columns; the singular values of growing windows of rows from the first and from the last "
                         "row, and of moving windows of " + std::to_string(f.window) + " rows.");
  write_noise(out, f);
  write_components(out, f, row_names);
  write_counts(out, f, row_names);
}

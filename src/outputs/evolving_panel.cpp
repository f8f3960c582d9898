#include "outputs/evolving_panel.h"

#include <algorithm>
#include <vector>

#include "evolving/evolving_text.h"
#include "outputs/picture_layout.h"
#include "outputs/svg_writer.h"

namespace {

// The singular values drawn: those of the components the whole matrix may
// hold and two more, at most six.
std::int32_t values_drawn(const EvolvingFactors& f) {
  const std::int32_t p = std::min(f.N, f.M);
  const std::int32_t whole = f.forward.empty() ? 0 : f.forward.back().high;
  return std::min({p, whole + 2, 6});
}

// Value k of the windows that have it, at their row: the forward window's
// last row, the backward window's first.
std::vector<Point> value_line(const Panel& p, const std::vector<WindowCount>& windows, std::int32_t k, bool forward,
                              std::int64_t step) {
  std::vector<Point> line;
  const auto n = static_cast<std::int64_t>(windows.size());
  for (std::int64_t i = 0; i < n; i += step) {
    const WindowCount& w = windows[static_cast<std::size_t>(i)];
    if (static_cast<std::int32_t>(w.singular.size()) <= k || !(w.singular[static_cast<std::size_t>(k)] > 0)) continue;
    line.push_back(p.at(forward ? w.last : w.first, w.singular[static_cast<std::size_t>(k)]));
  }
  return line;
}

}  // namespace

void draw_evolving_panel(SvgWriter& svg, double top, const EvolvingFactors& f, const std::string& data_file) {
  Panel p(svg, top);
  const std::int32_t drawn = values_drawn(f);
  std::vector<REAL> values;
  for (const auto* series : {&f.forward, &f.backward})
    for (const WindowCount& w : *series) {
      for (std::int32_t k = 1; k <= drawn && k < static_cast<std::int32_t>(w.singular.size()); ++k)
        values.push_back(w.singular[static_cast<std::size_t>(k)]);
      values.push_back(w.edge);
    }
  Axis x;
  x.lo = 0.5L;
  x.hi = static_cast<REAL>(std::max(f.N, 1)) + 0.5L;
  p.set_x(x, plain_ticks(x));
  p.set_y(log_axis(values));
  const std::int32_t components = f.forward.empty() ? 0 : f.forward.back().high;
  p.draw_frame("Evolving factors, " + std::to_string(components) + " component" + (components == 1 ? "" : "s") +
                   ": " + data_file,
               "row (from 1, in the order analysed)", "singular value");
  std::int64_t step = 1;
  shown_indices(f.N, step);
  for (std::int32_t k = 1; k <= drawn; ++k) {
    const int c = (k - 1) % 6;
    svg.polyline(value_line(p, f.forward, k, true, step), {kSeriesColours[c], 1.3, dashes::kSolid});
    svg.polyline(value_line(p, f.backward, k, false, step), {kSeriesColours[c], 1.1, dashes::kDashed});
  }
  std::vector<Point> edge;
  for (std::int64_t i = 0; i < static_cast<std::int64_t>(f.forward.size()); i += step) {
    const WindowCount& w = f.forward[static_cast<std::size_t>(i)];
    edge.push_back(p.at(w.last, w.edge));
  }
  const Stroke edge_stroke{okabe_ito::kBlack, 1.2, dashes::kDotted};
  svg.polyline(edge, edge_stroke);
  // The band: each moving window at its first row, darker with more
  // components, orange where its count is a range.
  const double band_top = p.bottom() - 12;
  const REAL most = std::max<REAL>(1, static_cast<REAL>(components));
  for (const WindowCount& w : f.moving) {
    const double from = p.x().at(w.first - 0.5L), to = p.x().at(w.first + 0.5L);
    if (w.low > 0)
      svg.rect({from, band_top}, to - from, 12, okabe_ito::kBlue,
               static_cast<double>(std::min<REAL>(1, static_cast<REAL>(w.low) / most)) * 0.8);
    if (w.high > w.low) svg.rect({from, band_top}, to - from, 6, okabe_ito::kOrange, 0.7);
  }
  p.add_legend({"forward: rows 1 to the row", {kSeriesColours[0], 1.3, dashes::kSolid}});
  p.add_legend({"backward: the row to the last", {kSeriesColours[0], 1.1, dashes::kDashed}});
  p.add_legend({"forward noise edge", edge_stroke});
  p.add_note("Singular values 1 to " + std::to_string(drawn) + ", one colour each.");
  p.add_note("Band at the bottom: the count of the " + std::to_string(f.window) +
             " rows from the row on, darker blue with more components; orange where it is a range.");
  for (std::size_t k = 0; k < f.components.size() && k < 4; ++k) {
    const ComponentRows& c = f.components[k];
    p.add_note("Component " + std::to_string(k + 1) + ": rows " +
               (c.appears_low > 0 ? count_range_text(c.appears_low, c.appears_high) : std::string("?")) + " to " +
               (c.disappears_high > 0 ? count_range_text(c.disappears_low, c.disappears_high) : std::string("?")) +
               ".");
  }
  if (step > 1) p.add_note(thinning_note(step, "row"));
  p.draw_legend();
}

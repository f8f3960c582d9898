#include "outputs/evidence_picture.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "analysis/noise_edge.h"
#include "analysis/analysis_results.h"
#include "verdict/rank_verdict.h"
#include "verdict/verdict_text.h"
#include "common/program_run.h"
#include "outputs/outputs_after_run.h"
#include "common/console.h"
#include "common/run_error.h"
#include "common/text.h"
#include "common/text_writer.h"
#include "common/number_text.h"
#include "report/output_file.h"
#include "report/output_names.h"
#include "outputs/evolving_panel.h"
#include "outputs/picture_layout.h"
#include "outputs/svg_writer.h"

namespace {

// Step lines of at most this many classes; wider histograms merge neighbours.
constexpr std::int32_t kMostClasses = 150;

// Values with error bars of plus or minus 2 standard deviations on a log
// axis. A bar whose lower end is at or below zero, or below the axis, runs
// to the axis bottom and ends in a triangle; a value of 0 sits there as a
// hollow triangle.
struct ValueSeries {
  std::vector<REAL> value;  // [1..count]; magnitudes
  std::vector<REAL> sd;     // [1..count] when errors are known, else empty
  std::vector<bool> negative;
};

// Values 1..count, all 0, with standard deviations when errors are known.
ValueSeries zero_series(std::int64_t count, bool errors) {
  ValueSeries v;
  v.value.assign(static_cast<std::size_t>(count) + 1, 0);
  if (errors) v.sd.assign(v.value.size(), 0);
  return v;
}

void draw_values_with_bars(SvgWriter& svg, const Panel& p, const ValueSeries& v, const char* colour,
                           Marker marker, std::int64_t count, std::int64_t& k, std::int64_t& skipped) {
  const Stroke bar{colour, 1.1, dashes::kSolid};
  std::vector<Point> trace;
  for (const std::int64_t i : shown_indices(count, k)) {
    const REAL x = static_cast<REAL>(i), y = v.value[static_cast<std::size_t>(i)];
    if (!std::isfinite(y)) {
      ++skipped;
      continue;
    }
    if (!v.sd.empty() && std::isfinite(v.sd[static_cast<std::size_t>(i)])) {
      const REAL sd = v.sd[static_cast<std::size_t>(i)];
      const REAL lower = y - 2 * sd;
      const Point top = p.at(x, y + 2 * sd);
      const Point low = p.at(x, lower);
      svg.line(top, low, bar);
      svg.line({top.x - 3, top.y}, {top.x + 3, top.y}, bar);
      if (p.y().below(lower)) {
        svg.marker(Marker::down_triangle, {low.x, low.y - 3}, 6, colour);
      } else {
        svg.line({low.x - 3, low.y}, {low.x + 3, low.y}, bar);
      }
    }
    const Point at = p.at(x, y);
    trace.push_back(at);
    if (!(y > 0)) {
      svg.marker(Marker::down_triangle, {at.x, at.y - 4}, 8, colour, true);
      continue;
    }
    const bool hollow = !v.negative.empty() && v.negative[static_cast<std::size_t>(i)];
    svg.marker(marker, at, 7, colour, hollow);
  }
  svg.polyline(trace, {colour, 0.8, dashes::kDotted});
}

// A noise level per component ([1..count]) as a dashed line.
void draw_level(SvgWriter& svg, const Panel& p, const std::vector<REAL>& level, std::int64_t count,
                const Stroke& stroke) {
  std::int64_t k = 1;
  std::vector<Point> points;
  for (const std::int64_t i : shown_indices(count, k))
    if (std::isfinite(level[static_cast<std::size_t>(i)]) && level[static_cast<std::size_t>(i)] > 0)
      points.push_back(p.at(static_cast<REAL>(i), level[static_cast<std::size_t>(i)]));
  if (points.size() == 1) {  // a lone level: a short dash across its step
    const double half = (p.x().at(2) - p.x().at(1)) * 0.4;
    points = {{points[0].x - half, points[0].y}, {points[0].x + half, points[0].y}};
  }
  svg.polyline(points, stroke);
}

// One level across the whole panel.
void draw_edge(SvgWriter& svg, const Panel& p, REAL edge, const Stroke& stroke) {
  if (edge > 0 && std::isfinite(edge)) svg.line(p.at(p.x().lo, edge), p.at(p.x().hi, edge), stroke);
}

std::vector<REAL> all_values(const ValueSeries& v, const std::vector<REAL>& level) {
  std::vector<REAL> values;
  for (std::size_t i = 1; i < v.value.size(); ++i) {
    values.push_back(v.value[i]);
    if (!v.sd.empty()) values.push_back(v.value[i] + 2 * v.sd[i]);
  }
  for (std::size_t i = 1; i < level.size(); ++i) values.push_back(level[i]);
  return values;
}

void note_skipped(Panel& p, std::int64_t skipped) {
  if (skipped > 0) p.add_note(std::to_string(skipped) + " values beyond the range of numbers left out.");
}

const Stroke kNoiseStroke{okabe_ito::kBlack, 1.4, dashes::kDashed};

struct Picture {
  const RunSettings& given;
  const AnalysisResults& r;
  SvgWriter svg;
  double top = kHeaderHeight;
  std::string data_file;  // what the titles call the data (data_name)
};

// The data file, or for data handed over in memory (the library) "array
// N x M" of the rows and columns analysed.
std::string data_name(const RunSettings& given, const AnalysisResults& r) {
  if (!given.AFNI.empty()) return given.AFNI.str();
  return "array " + std::to_string(r.N) + " x " + std::to_string(r.M);
}

Panel next_panel(Picture& pic) {
  Panel p(pic.svg, pic.top);
  pic.top += kPanelHeight;
  return p;
}

bool elimination_ran(const AnalysisResults& r) { return r.ran && !r.eigenvalue_mode; }
bool eigenvalues_ran(const AnalysisResults& r) { return r.ran && r.eigenvalue_mode && !r.eigenvalues.empty(); }

// The largest magnitude among K independent normal values of standard
// deviation sd is about sd sqrt(2 ln(2K)) (the expected maximum of |x| for
// K draws lies a little below it): the level a pivot of pure noise reaches
// when K remainder elements are left.
REAL pure_noise_pivot(REAL sd, REAL K) { return sd * std::sqrt(2 * std::log(2 * K)); }

void draw_pivot_panel(Picture& pic) {
  const AnalysisResults& r = pic.r;
  const auto count = static_cast<std::int64_t>(r.pivots.size());
  const bool errors = r.errors;
  ValueSeries v = zero_series(count, errors);
  std::vector<REAL> level;
  if (errors) level.assign(v.value.size(), 0);
  for (std::int32_t i = 1; i <= count; ++i) {
    const PivotResult& pivot = r.pivots[static_cast<std::size_t>(i - 1)];
    v.value[static_cast<std::size_t>(i)] = std::fabs(pivot.value);
    if (!errors) continue;
    const REAL sd = std::sqrt(pivot.variance);
    v.sd[static_cast<std::size_t>(i)] = sd;
    const REAL K = static_cast<REAL>(r.N - i + 1) * static_cast<REAL>(r.M - i + 1);
    level[static_cast<std::size_t>(i)] = pure_noise_pivot(sd, K);
  }
  Panel p = next_panel(pic);
  p.set_x(component_axis(count), whole_tick, true);
  p.set_y(log_axis(all_values(v, level)));
  p.draw_frame("Elimination pivots: " + pic.data_file, "elimination step", "|pivot|");
  std::int64_t k = 1, skipped = 0;
  if (count == 0) {
    p.add_note("The first pivot is 0: the matrix holds no component.");
    p.draw_legend();
    return;
  }
  if (errors) draw_level(pic.svg, p, level, count, kNoiseStroke);
  draw_values_with_bars(pic.svg, p, v, kSeriesColours[0], Marker::circle, count, k, skipped);
  p.add_legend({"|pivot|", {kSeriesColours[0], 1.1, dashes::kSolid}, errors, true});
  if (errors) {
    p.add_legend({"pure-noise level", kNoiseStroke});
    p.add_note("Bars: plus or minus 2 propagated standard deviations; a triangle at the bottom marks a bar "
               "that reaches zero.");
    p.add_note("Pure-noise level: sd x sqrt(2 ln 2K), about the largest of K normal values with the pivot's "
               "standard deviation sd, K the elements left.");
  } else {
    p.add_note("No error given: no bars and no noise level.");
  }
  if (count < r.steps) p.add_note("Step " + std::to_string(count + 1) + ": the remainder is all zero (pivot 0).");
  if (k > 1) p.add_note(thinning_note(k, "pivot"));
  note_skipped(p, skipped);
  p.draw_legend();
}

bool has_probabilities(const AnalysisResults& r) {
  return r.eigenvalues_examined > 0 && r.eigenvalues.front().test.probabilities;
}

// Noise edge of the eigenvalues: the product matrix's largest noise
// eigenvalue is the square of the data's largest noise singular value, so
// its edge is the square of the verdict's noise edge; a symmetric matrix of
// order n with elements of standard deviation sigma has its noise
// eigenvalues within 2 sigma sqrt(n) (Wigner's semicircle law, Wigner, 1958,
// Ann. Math. 67, 325-327).
struct EigenvalueEdge {
  REAL edge = 0, sigma = 0;
  std::string formula;
};

EigenvalueEdge eigenvalue_noise_edge(const AnalysisResults& r, const RankVerdict* verdict) {
  EigenvalueEdge e;
  if (r.product_matrix && verdict != nullptr && verdict->error_given) {
    // The verdict judged the same matrix with the same errors: its edge.
    e.edge = verdict->edge * verdict->edge;
    e.sigma = verdict->sigma;
    e.formula = "(" + verdict_noise_edge_formula(*verdict) + ")\xB2, sigma =" + RS(e.sigma, 10).str() + " (" +
                sigma_origin(true, verdict->equal_errors) + ")";
    return e;
  }
  if (r.product_matrix) {
    e.edge = r.noise.edge * r.noise.edge;
    e.sigma = r.noise.rms;
    const NoiseEdgeKind kind = r.noise.equal ? NoiseEdgeKind::equal_errors : NoiseEdgeKind::row_column_bound;
    e.formula = "(" + noise_edge_formula(kind, r.N, r.M) + ")\xB2, sigma =" + RS(e.sigma, 10).str() + " (" +
                sigma_origin(true, r.noise.equal) + ")";
    return e;
  }
  const auto order = static_cast<std::int32_t>(r.eigenvalues.size());
  e.sigma = r.square_rms_error;
  e.edge = 2 * e.sigma * std::sqrt(static_cast<REAL>(order));
  e.formula = "2 sigma sqrt(" + std::to_string(order) + "), sigma =" + RS(e.sigma, 10).str() +
              " (root mean square of the given errors)";
  return e;
}

void draw_eigenvalue_panel(Picture& pic, const RankVerdict* verdict) {
  const AnalysisResults& r = pic.r;
  const auto count = static_cast<std::int64_t>(r.eigenvalues.size());
  const bool errors = r.errors;
  ValueSeries v = zero_series(count, errors);
  v.negative.assign(v.value.size(), false);
  for (std::int32_t i = 1; i <= count; ++i) {
    const EigenvalueResult& e = r.eigenvalues[static_cast<std::size_t>(i - 1)];
    v.value[static_cast<std::size_t>(i)] = std::fabs(e.value);
    v.negative[static_cast<std::size_t>(i)] = e.value < 0;
    if (errors) v.sd[static_cast<std::size_t>(i)] = std::sqrt(e.variance);
  }
  std::vector<REAL> level;
  EigenvalueEdge edge;
  if (errors) {
    edge = eigenvalue_noise_edge(r, verdict);
    level = {0, edge.edge};  // all_values takes it as one more value
  }
  Panel p = next_panel(pic);
  p.set_x(component_axis(count), whole_tick, true);
  p.set_y(log_axis(all_values(v, level)));
  const std::string of = r.product_matrix ? "Eigenvalues of the product matrix: " : "Eigenvalues: ";
  p.draw_frame(of + pic.data_file, "component", "|eigenvalue|");
  std::int64_t k = 1, skipped = 0;
  if (errors) draw_edge(pic.svg, p, level[1], kNoiseStroke);
  draw_values_with_bars(pic.svg, p, v, kSeriesColours[0], Marker::circle, count, k, skipped);
  p.add_legend({"|eigenvalue|", {kSeriesColours[0], 1.1, dashes::kSolid}, errors, true});
  if (std::find(v.negative.begin(), v.negative.end(), true) != v.negative.end())
    p.add_legend({"negative eigenvalue", {kSeriesColours[0], 1.1, dashes::kSolid}, false, true,
                  Marker::circle, false, true});
  if (errors) {
    p.add_legend({"noise edge" + RS(level[1], 10).str(), kNoiseStroke});
    p.add_note("Bars: plus or minus 2 standard deviations; a triangle at the bottom marks a bar that "
               "reaches zero.");
    p.add_note("Noise edge: " + edge.formula + ".");
  } else {
    p.add_note("No error given: no bars and no noise edge.");
  }
  if (errors && !has_probabilities(r))
    p.add_note("Without a report file the residual test's probabilities are not computed: no panel of them.");
  if (k > 1) p.add_note(thinning_note(k, "eigenvalue"));
  note_skipped(p, skipped);
  p.draw_legend();
}

void draw_probability_panel(Picture& pic) {
  const AnalysisResults& r = pic.r;
  const auto count = static_cast<std::int64_t>(r.eigenvalues_examined);
  Panel p = next_panel(pic);
  p.set_x(component_axis(count), whole_tick, true);
  Axis y;
  y.lo = 0;
  y.hi = 1;
  p.set_y(y, fraction_tick);
  p.draw_frame("Residual test: " + pic.data_file, "components in the rebuilt data", "tail probability Q");
  const Stroke limit{okabe_ito::kBlack, 1.2, dashes::kDashed};
  pic.svg.line(p.at(p.x().lo, 0.05L), p.at(p.x().hi, 0.05L), limit);
  std::int64_t k = 1;
  const std::vector<std::int64_t> shown = shown_indices(count, k);
  for (int series = 0; series < 2; ++series) {
    const Stroke stroke{kSeriesColours[series], 1.6, kSeriesDashes[series]};
    std::vector<Point> points;
    for (const std::int64_t i : shown) {
      const EigenTestRecord& t = r.eigenvalues[static_cast<std::size_t>(i - 1)].test;
      const REAL q = series == 0 ? t.Q_all : t.Q_rest;
      if (!std::isfinite(q)) continue;
      points.push_back(p.at(static_cast<REAL>(i), q));
    }
    pic.svg.polyline(points, stroke);
    for (const Point& at : points) pic.svg.marker(kSeriesMarkers[series], at, 7, kSeriesColours[series]);
  }
  p.add_legend({"Q(nm-i)", {kSeriesColours[0], 1.6, kSeriesDashes[0]}, true, true, kSeriesMarkers[0]});
  p.add_legend({"Q((n-i)(m-i))", {kSeriesColours[1], 1.6, kSeriesDashes[1]}, true, true, kSeriesMarkers[1]});
  p.add_legend({"Q = 0.05", limit});
  p.add_note("The residuals after i components fit the given error where Q stands above 0.05.");
  if (k > 1) p.add_note(thinning_note(k, "component"));
  p.draw_legend();
}

std::string verdict_text(const RankVerdict& v) {
  if (v.low == v.high) return "rank " + std::to_string(v.low);
  return "rank " + std::to_string(v.low) + " to " + std::to_string(v.high) + " (uncertain)";
}

void draw_verdict_panel(Picture& pic, const RankVerdict& v) {
  const auto count = static_cast<std::int64_t>(v.singular.empty() ? 0 : v.singular.size() - 1);
  ValueSeries values;
  values.value = v.singular;
  if (values.value.empty()) values.value.assign(1, 0);
  std::vector<REAL> level = {0, v.edge};
  // With the error each component meets the edge of the noise the ones
  // before it leave; at most about 200 points draw that curve.
  std::vector<Point> residual;
  const std::int64_t step = std::max<std::int64_t>(1, count / 200);
  const bool residual_edges = v.error_given && v.equal_errors && v.edge > 0 && count > 1;
  if (residual_edges) level.push_back(residual_edge(v, static_cast<std::int32_t>(count)));
  Panel p = next_panel(pic);
  p.set_x(component_axis(count), whole_tick, true);
  p.set_y(log_axis(all_values(values, level)));
  p.draw_frame("Rank verdict, " + verdict_text(v) + ": " + pic.data_file, "component", "singular value");
  const double top = p.bottom() - kPlotHeight;
  if (v.high > v.low) {
    const double from = p.x().at(v.low + 0.5L), to = p.x().at(v.high + 0.5L);
    pic.svg.rect({from, top}, to - from, kPlotHeight, okabe_ito::kOrange, 0.25);
  }
  const Stroke mark{okabe_ito::kVermillion, 2, dashes::kSolid};
  const double at = p.x().at(v.low + 0.5L);
  pic.svg.line({at, top}, {at, p.bottom()}, mark);
  draw_edge(pic.svg, p, v.edge, kNoiseStroke);
  const Stroke residual_stroke{okabe_ito::kBluishGreen, 1.4, dashes::kDotted};
  if (residual_edges) {
    for (std::int64_t c = 1;; c = std::min(count, c + step)) {
      residual.push_back(p.at(static_cast<REAL>(c), residual_edge(v, static_cast<std::int32_t>(c))));
      if (c == count) break;
    }
    pic.svg.polyline(residual, residual_stroke);
  }
  std::int64_t k = 1, skipped = 0;
  draw_values_with_bars(pic.svg, p, values, kSeriesColours[0], Marker::circle, count, k, skipped);
  p.add_legend({"singular value", {kSeriesColours[0], 1.1, dashes::kSolid}, false, true});
  if (v.edge > 0)
    p.add_legend({v.error_given ? "noise edge (given error)" : "noise edge (estimated)", kNoiseStroke});
  if (residual_edges) p.add_legend({"edge of the noise left before each component", residual_stroke});
  p.add_legend({v.low == v.high ? "verdict" : "verdict, lowest rank", mark});
  if (v.high > v.low) p.add_legend({"uncertain range", {}, false, false, Marker::circle, true});
  p.add_note("Noise edge" + RS(v.edge, 10).str() + " = " + verdict_noise_edge_formula(v) +
             ", sigma =" + RS(v.sigma, 10).str() + " (" + sigma_origin(v.error_given, v.equal_errors) + ").");
  p.add_note("Components left of the solid line count.");
  if (count == 0) p.add_note("No singular value: nothing is left to judge.");
  if (k > 1) p.add_note(thinning_note(k, "singular value"));
  note_skipped(p, skipped);
  p.draw_legend();
}

struct ClassRange {
  std::int32_t first = 1, last = 1, merge = 1;
};

// The classes between the first and the last that hold a count in one of
// the columns, one more on each side, widened to hold lo..hi; merged so that
// at most kMostClasses remain.
ClassRange class_range(const HistogramResult& h, const std::vector<std::int32_t>& columns, REAL lo = 0,
                       REAL hi = 0) {
  ClassRange r{h.classes + 1, 0, 1};
  for (std::int32_t i = 1; i <= h.classes; ++i)
    for (const std::int32_t j : columns)
      if (h.counts[i][j] > 0) {
        r.first = std::min(r.first, i);
        r.last = std::max(r.last, i);
      }
  if (r.last == 0) return {1, h.classes, 1};
  r.first = std::max(1, r.first - 1);
  r.last = std::min(h.classes, r.last + 1);
  while (r.first > 1 && h.lowest_edge + static_cast<REAL>(r.first - 1) * h.width > lo) --r.first;
  while (r.last < h.classes && h.lowest_edge + static_cast<REAL>(r.last) * h.width < hi) ++r.last;
  const std::int32_t classes = r.last - r.first + 1;
  r.merge = (classes + kMostClasses - 1) / kMostClasses;
  return r;
}

REAL class_lower_edge(const HistogramResult& h, std::int32_t i) {
  return h.lowest_edge + static_cast<REAL>(i - 1) * h.width;
}

std::vector<Point> histogram_steps(const HistogramResult& h, const Panel& p, std::int32_t column, const ClassRange& r) {
  std::vector<Point> points{p.at(class_lower_edge(h, r.first), 0)};
  for (std::int32_t i = r.first; i <= r.last; i += r.merge) {
    const std::int32_t end = std::min(r.last, i + r.merge - 1);
    REAL sum = 0;
    for (std::int32_t b = i; b <= end; ++b) sum += h.counts[b][column];
    const REAL mean = sum / static_cast<REAL>(end - i + 1);
    points.push_back(p.at(class_lower_edge(h, i), mean));
    points.push_back(p.at(class_lower_edge(h, end + 1), mean));
  }
  points.push_back(p.at(class_lower_edge(h, r.last + 1), 0));
  return points;
}

// The curve a remainder of pure noise would give: its elements' count
// times the class width times the normal density with the root mean square
// of their propagated errors, on the scale of the column's largest class.
struct NormalCurve {
  REAL sd = 0, scale = 0;
};

NormalCurve normal_curve(const AnalysisResults& r, const HistogramResult& h, std::int32_t step) {
  NormalCurve c;
  if (step < 1 || !r.errors) return c;
  const REAL largest = h.largest[static_cast<std::size_t>(step + 1)];
  REAL elements = 0;
  for (std::int32_t i = 1; i <= h.classes; ++i) elements += std::round(h.counts[i][step + 1] * largest);
  c.sd = static_cast<std::size_t>(step) < h.remainder_error.size() ? h.remainder_error[static_cast<std::size_t>(step)] : 0;
  if (!(c.sd > 0) || !(largest > 0)) return c;
  c.scale = elements * h.width / (c.sd * std::sqrt(2 * 3.14159265358979323846264338327950288L)) / largest;
  return c;
}

bool column_filled(const HistogramResult& h, std::int32_t column) {
  return column >= 2 && column <= h.columns && h.largest[static_cast<std::size_t>(column)] > 0;
}

// The remainder steps worth a panel of their own: the verdict's rank when it
// has a remainder counted (else the last step counted), and the last step
// when that differs. Empty when no remainder was counted.
std::vector<std::int32_t> remainder_steps(const HistogramResult& h, const RankVerdict* verdict) {
  std::int32_t last = 0;
  for (std::int32_t j = 2; j <= h.columns; ++j)
    if (column_filled(h, j)) last = j - 1;
  if (last == 0) return {};
  const std::int32_t rank = verdict != nullptr ? verdict->low : 0;
  if (rank >= 1 && rank < last && column_filled(h, rank + 1)) return {rank, last};
  return {last};
}

Axis count_axis(REAL curve_scale) {
  Axis y;
  y.lo = 0;
  y.hi = std::min(3.0L, std::max(1.0L, curve_scale)) * 1.05L;
  return y;
}

// The class width the lines show: the histogram's, times the classes merged.
std::string class_width_title(const HistogramResult& h, const ClassRange& r) {
  if (r.merge == 1) return "element value (class width" + RS(h.width, 8).str() + ")";
  return "element value (classes of" + RS(h.width, 8).str() + " merged " + std::to_string(r.merge) +
         " at a time: width" + RS(h.width * static_cast<REAL>(r.merge), 8).str() + ")";
}

void draw_histogram_frame(Panel& p, const HistogramResult& h, const ClassRange& r, const Axis& y,
                          const std::string& title) {
  Axis x;
  x.lo = class_lower_edge(h, r.first);
  x.hi = class_lower_edge(h, r.last + 1);
  // A margin on either side, so that an outer class is not drawn on the frame.
  const REAL margin = (x.hi - x.lo) / 50;
  x.lo -= margin;
  x.hi += margin;
  p.set_x(x, plain_ticks(x));
  p.set_y(y, plain_ticks(y));
  p.draw_frame(title, class_width_title(h, r), "count / largest count");
}

void note_histogram(Panel& p, const ClassRange& r) {
  p.add_note("Each histogram line is scaled to its largest class, as in Qorgauss.bin.");
  if (r.merge > 1) p.add_note("Classes merged " + std::to_string(r.merge) + " at a time (their mean shown).");
}

// The input matrix on an axis of its own.
void draw_input_histogram_panel(Picture& pic) {
  const HistogramResult& h = *pic.r.histogram;
  const ClassRange r = class_range(h, {1});
  Panel p = next_panel(pic);
  draw_histogram_frame(p, h, r, count_axis(0), "Histogram of the input: " + pic.data_file);
  const Stroke stroke{kSeriesColours[0], 1.5, kSeriesDashes[0]};
  pic.svg.polyline(histogram_steps(h, p, 1, r), stroke);
  p.add_legend({"input matrix", stroke});
  note_histogram(p, r);
  p.draw_legend();
}

// The remainder where the noise should show, on its own scale, with the
// normal curve of the error carried through to it.
void draw_remainder_histogram_panel(Picture& pic, const std::vector<std::int32_t>& steps, const RankVerdict* verdict) {
  const HistogramResult& h = *pic.r.histogram;
  const std::int32_t step = steps.front();
  const NormalCurve curve = normal_curve(pic.r, h, step);
  std::vector<std::int32_t> columns;
  for (const std::int32_t k : steps) columns.push_back(k + 1);
  const ClassRange r = class_range(h, columns, -4 * curve.sd, 4 * curve.sd);
  Panel p = next_panel(pic);
  const Axis y = count_axis(curve.scale);
  draw_histogram_frame(p, h, r, y, "Remainder after step " + std::to_string(step) + ": " + pic.data_file);
  for (std::size_t n = 0; n < columns.size(); ++n) {
    const Stroke stroke{kSeriesColours[n + 1], 1.5, kSeriesDashes[n + 1]};
    pic.svg.polyline(histogram_steps(h, p, columns[n], r), stroke);
    p.add_legend({"after step " + std::to_string(steps[n]), stroke});
  }
  if (curve.scale > 0) {
    std::vector<Point> points;
    const REAL lo = class_lower_edge(h, r.first), width = class_lower_edge(h, r.last + 1) - lo;
    for (int n = 0; n <= 200; ++n) {
      const REAL v = lo + width * n / 200;
      const REAL z = v / curve.sd;
      points.push_back(p.at(v, std::min(y.hi, curve.scale * std::exp(-z * z / 2))));
    }
    const Stroke normal{okabe_ito::kBlack, 1.3, dashes::kDotted};
    pic.svg.polyline(points, normal);
    p.add_legend({"normal, step " + std::to_string(step), normal});
    p.add_note("Normal curve: mean 0, sd =" + RS(curve.sd, 10).str() + " (the given error carried through step " +
               std::to_string(step) + "), on the scale of the line after step " + std::to_string(step) +
               ": its height is what pure noise would give there, not 1.");
    if (curve.scale > y.hi) p.add_note("The curve is cut at the top of the axis.");
  } else {
    p.add_note(pic.r.errors ? "No normal curve: the remainder's errors are not known."
                            : "No error given: no normal curve.");
  }
  if (verdict != nullptr && step == verdict->low)
    p.add_note("Step " + std::to_string(step) + " is the verdict's rank" +
               (verdict->low == verdict->high ? "" : " (the lowest of its range)") + ".");
  if (steps.size() > 1) p.add_note("After step " + std::to_string(steps.back()) + ": the last step counted.");
  note_histogram(p, r);
  p.draw_legend();
}

std::string method_text(const AnalysisResults& r) {
  if (r.table_steps != 0) return "contribution tables after " + std::to_string(r.table_steps - 1) + " steps";
  std::string m = r.eigenvalue_mode ? "eigenvalue analysis" : "elimination";
  if (r.product_matrix) m += " of the product matrix";
  return m;
}

// An error file, or (a library call's tables) errors the analysis or the
// verdict took where no single error was given.
bool errors_came_by_element(const RunSettings& given, const AnalysisResults& results, const RankVerdict* verdict) {
  if (!given.ERRF.empty()) return true;
  return !errors_known(given.MER, given.MERPR) && (results.errors || (verdict != nullptr && verdict->error_given));
}

// by_element: the errors came element by element (an error file, or a
// library call's table), which the analysis or the verdict took.
std::string error_text(const RunSettings& given, bool by_element) {
  if (!errors_known(given.MER, given.MERPR) && !by_element) return "no error given";
  std::string e = "error";
  if (by_element) e += !given.ERRF.empty() ? " of each element from " + given.ERRF.str() : " of each element";
  if (given.MER != 0) e += RS(given.MER, 10).str();
  if (given.MERPR != 0) e += (given.MER != 0 || by_element ? " and" : "") + RS(given.MERPR * 100, 10).str() + " %";
  return e;
}

}  // namespace

std::string evidence_picture(const RunSettings& given, const AnalysisResults& results, const RankVerdict* verdict,
                             const EvolvingFactors* evolving) {
  const bool pivots = elimination_ran(results);
  const bool eigenvalues = eigenvalues_ran(results);
  const bool probabilities = eigenvalues && has_probabilities(results);
  const bool histogram = results.histogram.has_value();
  const std::vector<std::int32_t> steps =
      histogram && elimination_ran(results) ? remainder_steps(*results.histogram, verdict) : std::vector<std::int32_t>{};
  const int panels =
      pivots + eigenvalues + probabilities + (verdict != nullptr) + histogram + !steps.empty() + (evolving != nullptr);
  if (panels == 0) return {};
  Picture pic{given, results, SvgWriter(kWidth, kHeaderHeight + panels * kPanelHeight + 10), kHeaderHeight,
              data_name(given, results)};
  pic.svg.text({16, 22}, "qor: " + pic.data_file, {15, Anchor::start, true});
  pic.svg.text({16, 38},
               std::to_string(results.N) + " x " + std::to_string(results.M) + ", " + method_text(results) + ", " +
                   error_text(given, errors_came_by_element(given, results, verdict)),
               {11.5});
  if (pivots) draw_pivot_panel(pic);
  if (eigenvalues) draw_eigenvalue_panel(pic, verdict);
  if (probabilities) draw_probability_panel(pic);
  if (verdict != nullptr) draw_verdict_panel(pic, *verdict);
  if (histogram) draw_input_histogram_panel(pic);
  if (!steps.empty()) draw_remainder_histogram_panel(pic, steps, verdict);
  if (evolving != nullptr) {
    draw_evolving_panel(pic.svg, pic.top, *evolving, pic.data_file);
    pic.top += kPanelHeight;
  }
  return pic.svg.finish();
}

void write_evidence_picture(ProgramRun& s, const RunOutcome& outcome) {
  s.console.fresh_line();
  if (outcome.stop != nullptr || !outcome.results) {
    s.console.write_line("No picture: the run stopped before its results were complete.");
    s.console.flush();
    return;
  }
  const std::string svg = evidence_picture(s.settings, *outcome.results, outcome.verdict ? &*outcome.verdict : nullptr,
                                          outcome.evolving ? &*outcome.evolving : nullptr);
  if (svg.empty()) {
    s.console.write_line("No picture: the run has no pivots, eigenvalues, verdict or histogram to show.");
    s.console.flush();
    return;
  }
  const std::string name = picture_file_name(s);
  TextWriter file = create_output_file(s, name, "picture file", OutputName::chosen);
  file.write(svg);
  file.close();
  s.console.write_line("Picture written to " + name + ".");
  s.console.flush();
}

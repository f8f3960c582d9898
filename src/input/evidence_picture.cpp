#include "input/evidence_picture.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "analysis/noise_edge.h"
#include "analysis/rank_verdict.h"
#include "common/console.h"
#include "common/run_error.h"
#include "common/run_state.h"
#include "common/text.h"
#include "common/text_writer.h"
#include "report/number_text.h"
#include "report/output_file.h"
#include "report/output_names.h"
#include "report/svg_writer.h"

namespace {

// Page layout in pixels: every panel has its plot on the left and its
// legend and notes in a column on the right, so that nothing covers data.
constexpr double kWidth = 800;
constexpr double kHeaderHeight = 46;
constexpr double kPanelHeight = 320;
constexpr double kPlotLeft = 96;
constexpr double kPlotRight = 560;
constexpr double kPlotTop = 34;     // below the panel's top
constexpr double kPlotHeight = 220;
constexpr double kLegendLeft = 580;
constexpr std::size_t kNoteColumns = 36;  // characters of a note line at the notes' size

// A series of more points than this shows every k-th one (and its last).
constexpr std::int64_t kMostPoints = 300;
// Step lines of at most this many classes; wider histograms merge neighbours.
constexpr std::int32_t kMostClasses = 150;
// Count columns of the histogram drawn at most: the input and some steps.
constexpr std::size_t kMostHistogramLines = 6;

const char* const kSeriesColours[] = {okabe_ito::kBlue, okabe_ito::kVermillion, okabe_ito::kBluishGreen,
                                      okabe_ito::kReddishPurple, okabe_ito::kOrange, okabe_ito::kSkyBlue};
const char* const kSeriesDashes[] = {dashes::kSolid, dashes::kDashed, dashes::kDotted,
                                     dashes::kDashDot, dashes::kLongDash, "4 2 1 2"};
const Marker kSeriesMarkers[] = {Marker::circle, Marker::square, Marker::triangle,
                                 Marker::circle, Marker::square, Marker::triangle};

std::string trimmed(std::string text) {
  text.erase(0, text.find_first_not_of(' '));
  return text;
}

// Tick texts in the report's number forms.
std::string scientific_tick(REAL v) { return trimmed(RS(v, 8).str()); }
std::string fraction_tick(REAL v) { return fixed_text(v, 0, 2); }
std::string whole_tick(REAL v) { return integer_text(std::llround(v), 0); }
// 10^e as RS writes an exact power of ten: "1.0E+03", "1.0E-4000".
std::string decade_tick(REAL e) {
  const long long exponent = std::llround(e);
  const std::string digits = std::to_string(exponent < 0 ? -exponent : exponent);
  return std::string("1.0E") + (exponent < 0 ? "-" : "+") + (digits.size() < 2 ? "0" : "") + digits;
}

struct Axis {
  bool log = false;  // lo and hi are then decade exponents
  REAL lo = 0, hi = 1;
  double from = 0, to = 1;  // pixels of lo and hi
  // Where v lies, kept inside the frame; on a log axis a value at or below
  // 0 lies at the bottom.
  double at(REAL v) const {
    REAL t = 0;
    if (!log) {
      t = (v - lo) / (hi - lo);
    } else if (v > 0) {
      t = (std::log10(v) - lo) / (hi - lo);
    }
    if (!(t >= 0)) t = 0;
    if (t > 1) t = 1;
    return from + static_cast<double>(t) * (to - from);
  }
  bool below(REAL v) const { return log ? !(v > 0) || std::log10(v) < lo : v < lo; }
};

// Decades that hold every value given (the finite positive ones count).
Axis log_axis(const std::vector<REAL>& values) {
  REAL smallest = 0, largest = 0;
  for (const REAL v : values) {
    if (!(v > 0) || !std::isfinite(v)) continue;
    if (smallest == 0 || v < smallest) smallest = v;
    if (v > largest) largest = v;
  }
  Axis a;
  a.log = true;
  if (largest == 0) return a;  // nothing positive: one decade from 1 to 10
  a.lo = std::floor(std::log10(smallest));
  a.hi = std::ceil(std::log10(largest));
  if (a.hi <= a.lo) a.hi = a.lo + 1;
  return a;
}

// 1, 2 or 5 times a power of ten, near an eighth of the range.
REAL nice_step(REAL range) {
  if (!(range > 0)) return 1;
  const REAL rough = range / 8;
  const REAL decade = std::pow(10.0L, std::floor(std::log10(rough)));
  for (const REAL f : {1.0L, 2.0L, 5.0L})
    if (f * decade >= rough) return f * decade;
  return 10 * decade;
}

struct LegendEntry {
  std::string text;
  Stroke stroke;
  bool line = true;
  bool has_marker = false;
  Marker marker = Marker::circle;
  bool band = false;  // a shaded range
  bool hollow = false;
};

// One panel: frame, ticks, axis labels, title, legend and notes.
class Panel {
 public:
  Panel(SvgWriter& svg, double top) : svg_(svg), top_(top) {
    x_.from = kPlotLeft;
    x_.to = kPlotRight;
    y_.from = top + kPlotTop + kPlotHeight;
    y_.to = top + kPlotTop;
  }

  void set_x(Axis a, std::function<std::string(REAL)> label, bool whole = false) {
    a.from = x_.from;
    a.to = x_.to;
    x_ = a;
    x_label_ = std::move(label);
    x_whole_ = whole;
  }
  void set_y(Axis a, std::function<std::string(REAL)> label = scientific_tick) {
    a.from = y_.from;
    a.to = y_.to;
    y_ = a;
    y_label_ = std::move(label);
  }
  const Axis& x() const { return x_; }
  const Axis& y() const { return y_; }
  Point at(REAL x, REAL y) const { return {x_.at(x), y_.at(y)}; }
  double bottom() const { return y_.from; }

  void add_legend(LegendEntry e) { legend_.push_back(std::move(e)); }
  void add_note(const std::string& note) { notes_.push_back(note); }

  // Everything but the data, which the caller draws between the axes.
  void draw_frame(const std::string& title, const std::string& x_title, const std::string& y_title) {
    svg_.text({16, top_ + 20}, title, {13.5, Anchor::start, true});
    svg_.rect({kPlotLeft, top_ + kPlotTop}, kPlotRight - kPlotLeft, kPlotHeight, "none", 1, &frame_);
    draw_y_ticks();
    draw_x_ticks();
    svg_.text({(kPlotLeft + kPlotRight) / 2, y_.from + 38}, x_title, {12, Anchor::middle});
    svg_.text({kPlotLeft - 76, (y_.from + y_.to) / 2}, y_title, {12, Anchor::middle, false, true});
  }

  void draw_legend() {
    double y = top_ + kPlotTop + 6;
    for (const LegendEntry& e : legend_) {
      const double middle = kLegendLeft + 14;
      if (e.band) {
        svg_.rect({kLegendLeft, y - 6}, 28, 12, okabe_ito::kOrange, 0.25);
      } else if (e.line) {
        svg_.line({kLegendLeft, y}, {kLegendLeft + 28, y}, e.stroke);
      }
      if (e.has_marker) svg_.marker(e.marker, {middle, y}, 7, e.stroke.colour, e.hollow);
      svg_.text({kLegendLeft + 36, y + 4}, e.text, {11});
      y += 17;
    }
    y += 6;
    for (const std::string& note : notes_) {
      for (const std::string& line : wrapped(note)) {
        svg_.text({kLegendLeft, y + 4}, line, {10.5});
        y += 14;
      }
      y += 3;
    }
  }

 private:
  static std::vector<std::string> wrapped(const std::string& text) { return wrap_words(text, kNoteColumns); }

  void draw_y_ticks() {
    for (const REAL v : tick_values(y_, false)) {
      const double y = y_.at(y_.log ? std::pow(10.0L, v) : v);
      svg_.line({kPlotLeft - 5, y}, {kPlotLeft, y}, frame_);
      svg_.line({kPlotLeft, y}, {kPlotRight, y}, grid_);
      const std::string text = y_.log ? decade_tick(v) : y_label_(v);
      svg_.text({kPlotLeft - 8, y + 4}, text, {11, Anchor::end});
    }
  }

  void draw_x_ticks() {
    for (const REAL v : tick_values(x_, x_whole_)) {
      const double x = x_.at(v);
      svg_.line({x, y_.from}, {x, y_.from + 5}, frame_);
      svg_.text({x, y_.from + 18}, x_label_(v), {11, Anchor::middle});
    }
  }

  // Decade exponents on a log axis (at most nine, evenly spaced), else
  // multiples of a nice step; whole numbers only when asked.
  static std::vector<REAL> tick_values(const Axis& a, bool whole) {
    std::vector<REAL> ticks;
    if (a.log) {
      const REAL step = std::max(1.0L, nice_step(a.hi - a.lo));
      for (REAL e = std::ceil(a.lo / step) * step; e <= a.hi; e += step) ticks.push_back(e);
      return ticks;
    }
    REAL step = nice_step(a.hi - a.lo);
    if (whole && step < 1) step = 1;
    for (REAL k = std::ceil(a.lo / step); k * step <= a.hi && ticks.size() < 12; k += 1) ticks.push_back(k * step + 0.0L);  // + 0: no tick "-0"
    return ticks;
  }

  SvgWriter& svg_;
  double top_;
  Axis x_, y_;
  std::function<std::string(REAL)> x_label_ = whole_tick;
  std::function<std::string(REAL)> y_label_ = scientific_tick;
  bool x_whole_ = false;
  Stroke frame_{okabe_ito::kBlack, 1, dashes::kSolid};
  Stroke grid_{"#DDDDDD", 0.8, dashes::kSolid};
  std::vector<LegendEntry> legend_;
  std::vector<std::string> notes_;
};

// The indices 1..count a series shows: every k-th, and the last.
std::vector<std::int64_t> shown_indices(std::int64_t count, std::int64_t& k) {
  k = (count + kMostPoints - 1) / kMostPoints;
  if (k < 1) k = 1;
  std::vector<std::int64_t> shown;
  for (std::int64_t i = 1; i <= count; i += k) shown.push_back(i);
  if (!shown.empty() && shown.back() != count) shown.push_back(count);
  return shown;
}

std::string thinning_note(std::int64_t k, const std::string& what) {
  return "One " + what + " in " + std::to_string(k) + " shown (and the last), to keep the picture small.";
}

Axis component_axis(std::int64_t count) {
  Axis a;
  a.lo = 0.5L;
  a.hi = static_cast<REAL>(std::max<std::int64_t>(count, 1)) + 0.5L;
  return a;
}

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

// Root mean square of the elements' standard deviations over rows
// from..rows and columns from..columns of the variances. Each variance is
// divided by the count before it is added, so that the mean of variances
// near the top of the range stays finite.
REAL rms_error(const MATRIX& variances, std::int32_t from, std::int32_t rows, std::int32_t columns) {
  if (rows < from || columns < from) return 0;
  const REAL count = static_cast<REAL>(rows - from + 1) * static_cast<REAL>(columns - from + 1);
  REAL mean = 0;
  for (std::int32_t i = from; i <= rows; ++i)
    for (std::int32_t j = from; j <= columns; ++j) mean += variances[i][j] / count;
  return std::sqrt(mean);
}

struct Picture {
  const RunState& s;
  SvgWriter svg;
  double top = kHeaderHeight;
  std::string data_file;
};

Panel next_panel(Picture& pic) {
  Panel p(pic.svg, pic.top);
  pic.top += kPanelHeight;
  return p;
}

bool elimination_ran(const RunState& s) { return s.NU != 0 && !s.JEV; }
bool eigenvalues_ran(const RunState& s) { return s.NU != 0 && s.JEV && s.DE.allocated(); }
bool errors_in_analysis(const RunState& s) { return errors_known(s.MER, s.MERPR) && s.SD.allocated(); }

// The largest magnitude among K independent normal values of standard
// deviation sd is about sd sqrt(2 ln(2K)) (the expected maximum of |x| for
// K draws lies a little below it): the level a pivot of pure noise reaches
// when K remainder elements are left.
REAL pure_noise_pivot(REAL sd, REAL K) { return sd * std::sqrt(2 * std::log(2 * K)); }

void draw_pivot_panel(Picture& pic) {
  const RunState& s = pic.s;
  const std::int64_t count = s.MIN;
  const bool errors = errors_in_analysis(s);
  ValueSeries v = zero_series(count, errors);
  std::vector<REAL> level;
  if (errors) level.assign(v.value.size(), 0);
  for (std::int32_t i = 1; i <= s.MIN; ++i) {
    v.value[static_cast<std::size_t>(i)] = std::fabs(s.A[0][i]);
    if (!errors) continue;
    const REAL sd = std::sqrt(s.SD[i][i]);
    v.sd[static_cast<std::size_t>(i)] = sd;
    const REAL K = static_cast<REAL>(s.N - i + 1) * static_cast<REAL>(s.M - i + 1);
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
  if (s.MIN < s.NU) p.add_note("Step " + std::to_string(s.MIN + 1) + ": the remainder is all zero (pivot 0).");
  if (k > 1) p.add_note(thinning_note(k, "pivot"));
  note_skipped(p, skipped);
  p.draw_legend();
}

bool has_probabilities(const RunState& s) {
  return !s.eigen_tests.empty() && s.eigen_tests.front().probabilities;
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

EigenvalueEdge eigenvalue_noise_edge(const RunState& s) {
  EigenvalueEdge e;
  if (s.settings.ITRN) {
    const NoiseEdge noise = noise_edge_of_variances(s.SD, s.N, s.M);
    e.edge = noise.edge * noise.edge;
    e.sigma = noise.rms;
    e.formula = "(" + noise_edge_formula(noise.equal, s.N, s.M) + ")\xB2, sigma =" + RS(e.sigma, 10).str() + " (" +
                sigma_origin(true, noise.equal) + ")";
    return e;
  }
  e.sigma = rms_error(s.SD, 1, s.MIN, s.MIN);
  e.edge = 2 * e.sigma * std::sqrt(static_cast<REAL>(s.MIN));
  e.formula = "2 sigma sqrt(" + std::to_string(s.MIN) + "), sigma =" + RS(e.sigma, 10).str() +
              " (root mean square of the given errors)";
  return e;
}

void draw_eigenvalue_panel(Picture& pic) {
  const RunState& s = pic.s;
  const std::int64_t count = s.MIN;
  const bool errors = errors_in_analysis(s);
  ValueSeries v = zero_series(count, errors);
  v.negative.assign(v.value.size(), false);
  for (std::int32_t i = 1; i <= s.MIN; ++i) {
    v.value[static_cast<std::size_t>(i)] = std::fabs(s.DE[i][1]);
    v.negative[static_cast<std::size_t>(i)] = s.DE[i][1] < 0;
    if (errors) v.sd[static_cast<std::size_t>(i)] = std::sqrt(s.EE[i][1]);
  }
  std::vector<REAL> level;
  EigenvalueEdge edge;
  if (errors) {
    edge = eigenvalue_noise_edge(s);
    level = {0, edge.edge};  // all_values takes it as one more value
  }
  Panel p = next_panel(pic);
  p.set_x(component_axis(count), whole_tick, true);
  p.set_y(log_axis(all_values(v, level)));
  const std::string of = s.settings.ITRN ? "Eigenvalues of the product matrix: " : "Eigenvalues: ";
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
  if (errors && !has_probabilities(s))
    p.add_note("Without a report file the residual test's probabilities are not computed: no panel of them.");
  if (k > 1) p.add_note(thinning_note(k, "eigenvalue"));
  note_skipped(p, skipped);
  p.draw_legend();
}

void draw_probability_panel(Picture& pic) {
  const RunState& s = pic.s;
  const auto count = static_cast<std::int64_t>(s.eigen_tests.size());
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
      const EigenTestRecord& r = s.eigen_tests[static_cast<std::size_t>(i - 1)];
      const REAL q = series == 0 ? r.Q_all : r.Q_rest;
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
  const std::vector<REAL> level = {0, v.edge};
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
  std::int64_t k = 1, skipped = 0;
  draw_values_with_bars(pic.svg, p, values, kSeriesColours[0], Marker::circle, count, k, skipped);
  p.add_legend({"singular value", {kSeriesColours[0], 1.1, dashes::kSolid}, false, true});
  if (v.edge > 0)
    p.add_legend({v.error_given ? "noise edge (given error)" : "noise edge (estimated)", kNoiseStroke});
  p.add_legend({v.low == v.high ? "verdict" : "verdict, lowest rank", mark});
  if (v.high > v.low) p.add_legend({"uncertain range", {}, false, false, Marker::circle, true});
  p.add_note("Noise edge" + RS(v.edge, 10).str() + " = " + noise_edge_formula(v.equal_errors, v.N, v.M) +
             ", sigma =" + RS(v.sigma, 10).str() + " (" + sigma_origin(v.error_given, v.equal_errors) + ").");
  p.add_note("Components left of the solid line count.");
  if (count == 0) p.add_note("No singular value: nothing is left to judge.");
  if (k > 1) p.add_note(thinning_note(k, "singular value"));
  note_skipped(p, skipped);
  p.draw_legend();
}

// The histogram's count columns worth drawing: the input and, of the
// remainders that received counts, at most a few evenly spread ones with
// the last among them.
std::vector<std::int32_t> histogram_columns(const RunState& s, std::int32_t& remainders) {
  std::vector<std::int32_t> filled;
  for (std::int32_t j = 2; j <= s.GK; ++j)
    if (s.histogram_largest[static_cast<std::size_t>(j)] > 0) filled.push_back(j);
  remainders = static_cast<std::int32_t>(filled.size());
  std::vector<std::int32_t> shown{1};
  const std::size_t room = kMostHistogramLines - 1;
  if (filled.size() <= room) {
    shown.insert(shown.end(), filled.begin(), filled.end());
    return shown;
  }
  for (std::size_t i = 0; i < room; ++i) shown.push_back(filled[(i + 1) * (filled.size() - 1) / room]);
  return shown;
}

struct ClassRange {
  std::int32_t first = 1, last = 1, merge = 1;
};

// The classes between the first and the last that hold a count, one more
// on each side; merged so that at most kMostClasses remain.
ClassRange class_range(const RunState& s, const std::vector<std::int32_t>& columns) {
  ClassRange r{s.GL + 1, 0, 1};
  for (std::int32_t i = 1; i <= s.GL; ++i)
    for (const std::int32_t j : columns)
      if (s.GB[i][j] > 0) {
        r.first = std::min(r.first, i);
        r.last = std::max(r.last, i);
      }
  if (r.last == 0) return {1, s.GL, 1};
  r.first = std::max(1, r.first - 1);
  r.last = std::min(s.GL, r.last + 1);
  const std::int32_t classes = r.last - r.first + 1;
  r.merge = (classes + kMostClasses - 1) / kMostClasses;
  return r;
}

REAL class_lower_edge(const RunState& s, std::int32_t i) { return s.GA + static_cast<REAL>(i - 1) * s.settings.RGAUSS; }

std::vector<Point> histogram_steps(const RunState& s, const Panel& p, std::int32_t column, const ClassRange& r) {
  std::vector<Point> points{p.at(class_lower_edge(s, r.first), 0)};
  for (std::int32_t i = r.first; i <= r.last; i += r.merge) {
    const std::int32_t end = std::min(r.last, i + r.merge - 1);
    REAL sum = 0;
    for (std::int32_t b = i; b <= end; ++b) sum += s.GB[b][column];
    const REAL mean = sum / static_cast<REAL>(end - i + 1);
    points.push_back(p.at(class_lower_edge(s, i), mean));
    points.push_back(p.at(class_lower_edge(s, end + 1), mean));
  }
  points.push_back(p.at(class_lower_edge(s, r.last + 1), 0));
  return points;
}

// The curve a remainder of pure noise would give in the last column drawn:
// its elements' count times the class width times the normal density with
// the root mean square of their propagated errors, on the scale of the
// column's largest class.
struct NormalCurve {
  REAL sd = 0, scale = 0;
  std::int32_t step = 0;
};

NormalCurve last_step_curve(const RunState& s, std::int32_t column) {
  NormalCurve c;
  if (column < 2 || !elimination_ran(s) || !errors_in_analysis(s)) return c;
  const REAL largest = s.histogram_largest[static_cast<std::size_t>(column)];
  REAL elements = 0;
  for (std::int32_t i = 1; i <= s.GL; ++i) elements += std::round(s.GB[i][column] * largest);
  c.step = column - 1;
  c.sd = rms_error(s.SD, c.step + 1, s.N, s.M);
  if (!(c.sd > 0) || !(largest > 0)) return c;
  c.scale = elements * s.settings.RGAUSS / (c.sd * std::sqrt(2 * 3.14159265358979323846264338327950288L)) / largest;
  return c;
}

std::string step_name(std::int32_t column) {
  return column == 1 ? "input matrix" : "after step " + std::to_string(column - 1);
}

void draw_histogram_panel(Picture& pic) {
  const RunState& s = pic.s;
  std::int32_t remainders = 0;
  const std::vector<std::int32_t> columns = histogram_columns(s, remainders);
  const ClassRange r = class_range(s, columns);
  const NormalCurve curve = last_step_curve(s, columns.back());
  Panel p = next_panel(pic);
  Axis x;
  x.lo = class_lower_edge(s, r.first);
  x.hi = class_lower_edge(s, r.last + 1);
  p.set_x(x, scientific_tick);
  Axis y;
  y.lo = 0;
  y.hi = std::min(3.0L, std::max(1.0L, curve.scale)) * 1.05L;
  p.set_y(y, fraction_tick);
  p.draw_frame("Histogram: " + pic.data_file, "element value (class width" + RS(s.settings.RGAUSS, 8).str() + ")",
               "count / largest count");
  for (std::size_t n = 0; n < columns.size(); ++n) {
    const Stroke stroke{kSeriesColours[n], 1.5, kSeriesDashes[n]};
    pic.svg.polyline(histogram_steps(s, p, columns[n], r), stroke);
    p.add_legend({step_name(columns[n]), stroke});
  }
  if (curve.scale > 0) {
    std::vector<Point> points;
    const REAL width = x.hi - x.lo;
    for (int n = 0; n <= 200; ++n) {
      const REAL v = x.lo + width * n / 200;
      const REAL z = v / curve.sd;
      points.push_back(p.at(v, std::min(y.hi, curve.scale * std::exp(-z * z / 2))));
    }
    const Stroke normal{okabe_ito::kBlack, 1.3, dashes::kDotted};
    pic.svg.polyline(points, normal);
    p.add_legend({"normal, step " + std::to_string(curve.step), normal});
    p.add_note("Normal curve: mean 0, sd =" + RS(curve.sd, 10).str() +
               " (the given error carried through step " + std::to_string(curve.step) + ").");
    if (curve.scale > y.hi) p.add_note("The curve is cut at the top of the axis.");
  } else if (columns.back() >= 2) {
    p.add_note("No error given: no normal curve.");
  }
  p.add_note("Each line is scaled to its largest class, as in Qorgauss.bin.");
  if (remainders + 1 > static_cast<std::int32_t>(columns.size()))
    p.add_note(std::to_string(columns.size() - 1) + " of the " + std::to_string(remainders) +
               " remainders shown, evenly spread, the last among them.");
  if (r.merge > 1)
    p.add_note("Classes merged " + std::to_string(r.merge) + " at a time (their mean shown).");
  p.draw_legend();
}

std::string method_text(const RunState& s) {
  if (s.FTW != 0) return "contribution tables after " + std::to_string(s.FTW - 1) + " steps";
  std::string m = s.JEV ? "eigenvalue analysis" : "elimination";
  if (s.settings.ITRN) m += " of the product matrix";
  return m;
}

std::string error_text(const RunState& s) {
  if (!errors_known(s.settings.MER, s.settings.MERPR)) return "no error given";
  std::string e = "error";
  if (s.settings.MER != 0) e += RS(s.settings.MER, 10).str();
  if (s.settings.MERPR != 0) e += (s.settings.MER != 0 ? " and" : "") + RS(s.settings.MERPR * 100, 10).str() + " %";
  return e;
}

}  // namespace

std::string evidence_picture(const RunState& s, const RankVerdict* verdict) {
  const bool pivots = elimination_ran(s);
  const bool eigenvalues = eigenvalues_ran(s);
  const bool probabilities = eigenvalues && has_probabilities(s);
  const bool histogram = s.settings.RGAUSS > 0 && s.GB.allocated() && !s.histogram_largest.empty();
  const int panels = pivots + eigenvalues + probabilities + (verdict != nullptr) + histogram;
  if (panels == 0) return {};
  Picture pic{s, SvgWriter(kWidth, kHeaderHeight + panels * kPanelHeight + 10), kHeaderHeight, s.settings.AFNI.str()};
  pic.svg.text({16, 22}, "qor: " + pic.data_file, {15, Anchor::start, true});
  pic.svg.text({16, 38},
               std::to_string(s.N) + " x " + std::to_string(s.M) + ", " + method_text(s) + ", " + error_text(s),
               {11.5});
  if (pivots) draw_pivot_panel(pic);
  if (eigenvalues) draw_eigenvalue_panel(pic);
  if (probabilities) draw_probability_panel(pic);
  if (verdict != nullptr) draw_verdict_panel(pic, *verdict);
  if (histogram) draw_histogram_panel(pic);
  return pic.svg.finish();
}

void write_evidence_picture(RunState& s, const RankVerdict* verdict, const RunError* stop) {
  s.console.fresh_line();
  if (stop != nullptr) {
    s.console.write_line("No picture: the run stopped before its results were complete.");
    s.console.flush();
    return;
  }
  const std::string svg = evidence_picture(s, verdict);
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

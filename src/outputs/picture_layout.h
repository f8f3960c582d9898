#pragma once

#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "common/real.h"
#include "outputs/svg_writer.h"

// The picture's page: panels of a plot with its axes, ticks and titles on
// the left and its legend and notes in a column on the right, so that
// nothing covers data. Sizes in pixels.

inline constexpr double kWidth = 800;
inline constexpr double kHeaderHeight = 46;
inline constexpr double kPanelHeight = 320;
inline constexpr double kPlotLeft = 96;
inline constexpr double kPlotRight = 560;
inline constexpr double kPlotTop = 34;  // below the panel's top
inline constexpr double kPlotHeight = 220;
inline constexpr double kLegendLeft = 580;
inline constexpr std::size_t kNoteColumns = 36;  // characters of a note line at the notes' size

// A series of more points than this shows every k-th one (and its last).
inline constexpr std::int64_t kMostPoints = 300;

inline const char* const kSeriesColours[] = {okabe_ito::kBlue,          okabe_ito::kVermillion, okabe_ito::kBluishGreen,
                                             okabe_ito::kReddishPurple, okabe_ito::kOrange,     okabe_ito::kSkyBlue};
inline const char* const kSeriesDashes[] = {dashes::kSolid,   dashes::kDashed,   dashes::kDotted,
                                            dashes::kDashDot, dashes::kLongDash, "4 2 1 2"};
inline const Marker kSeriesMarkers[] = {Marker::circle, Marker::square, Marker::triangle,
                                        Marker::circle, Marker::square, Marker::triangle};

// Tick texts in the report's number forms.
std::string scientific_tick(REAL v);
std::string fraction_tick(REAL v);
std::string whole_tick(REAL v);
// 10^e: plainly from 0.0001 to 100000 ("0.01", "1", "1000"), beyond as RS
// writes an exact power of ten ("1.0E+06", "1.0E-4000").
std::string decade_tick(REAL e);

struct Axis;
// Ticks of a linear axis written plainly, with the decimals its step needs
// ("0", "0.2", "0.4"; "0.05"; "1500"), while the axis lies within 100000 in
// magnitude and its step is at least 0.0001, as decade_tick; else in the
// scientific form of scientific_tick.
std::function<std::string(REAL)> plain_ticks(const Axis& a);

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
Axis log_axis(const std::vector<REAL>& values);
// 1, 2 or 5 times a power of ten, near an eighth of the range.
REAL nice_step(REAL range);
// Components 1..count, each at a whole number.
Axis component_axis(std::int64_t count);

// The indices 1..count a series shows: every k-th, and the last.
std::vector<std::int64_t> shown_indices(std::int64_t count, std::int64_t& k);
std::string thinning_note(std::int64_t k, const std::string& what);

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
  Panel(SvgWriter& svg, double top);

  void set_x(Axis a, std::function<std::string(REAL)> label, bool whole = false);
  void set_y(Axis a, std::function<std::string(REAL)> label = scientific_tick);
  const Axis& x() const { return x_; }
  const Axis& y() const { return y_; }
  Point at(REAL x, REAL y) const { return {x_.at(x), y_.at(y)}; }
  double bottom() const { return y_.from; }

  void add_legend(LegendEntry e) { legend_.push_back(std::move(e)); }
  void add_note(const std::string& note) { notes_.push_back(note); }

  // Everything but the data, which the caller draws between the axes.
  void draw_frame(const std::string& title, const std::string& x_title, const std::string& y_title);
  void draw_legend();

 private:
  void draw_y_ticks();
  void draw_x_ticks();

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

#include "outputs/picture_layout.h"

#include <algorithm>

#include "common/text.h"
#include "common/number_text.h"

namespace {

std::string trimmed(std::string text) {
  text.erase(0, text.find_first_not_of(' '));
  return text;
}

// Decade exponents on a log axis (at most nine, evenly spaced), else
// multiples of a nice step; whole numbers only when asked.
std::vector<REAL> tick_values(const Axis& a, bool whole) {
  std::vector<REAL> ticks;
  if (a.log) {
    const REAL step = std::max(1.0L, nice_step(a.hi - a.lo));
    for (REAL e = std::ceil(a.lo / step) * step; e <= a.hi; e += step) ticks.push_back(e);
    return ticks;
  }
  REAL step = nice_step(a.hi - a.lo);
  if (whole && step < 1) step = 1;
  for (REAL k = std::ceil(a.lo / step); k * step <= a.hi && ticks.size() < 12; k += 1)
    ticks.push_back(k * step + 0.0L);  // + 0: no tick "-0"
  return ticks;
}

}  // namespace

std::string scientific_tick(REAL v) { return trimmed(RS(v, 8).str()); }
std::string fraction_tick(REAL v) { return fixed_text(v, 0, 2); }
std::string whole_tick(REAL v) { return integer_text(std::llround(v), 0); }

std::function<std::string(REAL)> plain_ticks(const Axis& a) {
  const REAL step = nice_step(a.hi - a.lo);
  const REAL largest = std::max(std::fabs(a.lo), std::fabs(a.hi));
  if (!(step >= 0.0001L) || !(largest < 100000)) return scientific_tick;
  int decimals = 0;
  // The step is 1, 2 or 5 times a power of ten: one decimal more per decade below 1.
  for (REAL unit = 1; step < unit * 0.999L; unit /= 10) ++decimals;
  return [decimals](REAL v) { return v == 0 ? std::string("0") : fixed_text(v, 0, decimals); };
}

std::string decade_tick(REAL e) {
  const long long exponent = std::llround(e);
  // Plain where it reads at a glance and stays short: 0.0001 to 100000.
  if (exponent >= 0 && exponent <= 5) return "1" + std::string(static_cast<std::size_t>(exponent), '0');
  if (exponent < 0 && exponent >= -4) return "0." + std::string(static_cast<std::size_t>(-exponent - 1), '0') + "1";
  const std::string digits = std::to_string(exponent < 0 ? -exponent : exponent);
  return std::string("1.0E") + (exponent < 0 ? "-" : "+") + (digits.size() < 2 ? "0" : "") + digits;
}

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

REAL nice_step(REAL range) {
  if (!(range > 0)) return 1;
  const REAL rough = range / 8;
  const REAL decade = std::pow(10.0L, std::floor(std::log10(rough)));
  for (const REAL f : {1.0L, 2.0L, 5.0L})
    if (f * decade >= rough) return f * decade;
  return 10 * decade;
}

Axis component_axis(std::int64_t count) {
  Axis a;
  a.lo = 0.5L;
  a.hi = static_cast<REAL>(std::max<std::int64_t>(count, 1)) + 0.5L;
  return a;
}

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

Panel::Panel(SvgWriter& svg, double top) : svg_(svg), top_(top) {
  x_.from = kPlotLeft;
  x_.to = kPlotRight;
  y_.from = top + kPlotTop + kPlotHeight;
  y_.to = top + kPlotTop;
}

void Panel::set_x(Axis a, std::function<std::string(REAL)> label, bool whole) {
  a.from = x_.from;
  a.to = x_.to;
  x_ = a;
  x_label_ = std::move(label);
  x_whole_ = whole;
}

void Panel::set_y(Axis a, std::function<std::string(REAL)> label) {
  a.from = y_.from;
  a.to = y_.to;
  y_ = a;
  y_label_ = std::move(label);
}

void Panel::draw_frame(const std::string& title, const std::string& x_title, const std::string& y_title) {
  svg_.text({16, top_ + 20}, title, {13.5, Anchor::start, true});
  svg_.rect({kPlotLeft, top_ + kPlotTop}, kPlotRight - kPlotLeft, kPlotHeight, "none", 1, &frame_);
  draw_y_ticks();
  draw_x_ticks();
  svg_.text({(kPlotLeft + kPlotRight) / 2, y_.from + 38}, x_title, {12, Anchor::middle});
  svg_.text({kPlotLeft - 76, (y_.from + y_.to) / 2}, y_title, {12, Anchor::middle, false, true});
}

void Panel::draw_legend() {
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
    for (const std::string& line : wrap_words(note, kNoteColumns)) {
      svg_.text({kLegendLeft, y + 4}, line, {10.5});
      y += 14;
    }
    y += 3;
  }
}

void Panel::draw_y_ticks() {
  for (const REAL v : tick_values(y_, false)) {
    const double y = y_.at(y_.log ? std::pow(10.0L, v) : v);
    svg_.line({kPlotLeft - 5, y}, {kPlotLeft, y}, frame_);
    svg_.line({kPlotLeft, y}, {kPlotRight, y}, grid_);
    const std::string text = y_.log ? decade_tick(v) : y_label_(v);
    svg_.text({kPlotLeft - 8, y + 4}, text, {11, Anchor::end});
  }
}

void Panel::draw_x_ticks() {
  for (const REAL v : tick_values(x_, x_whole_)) {
    const double x = x_.at(v);
    svg_.line({x, y_.from}, {x, y_.from + 5}, frame_);
    svg_.text({x, y_.from + 18}, x_label_(v), {11, Anchor::middle});
  }
}

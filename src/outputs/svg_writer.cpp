#include "outputs/svg_writer.h"

#include <cmath>
#include <cstdio>

namespace {

bool finite(Point p) { return std::isfinite(p.x) && std::isfinite(p.y); }

// One decimal is a tenth of a pixel: finer than any screen shows, and it
// keeps a picture of many points small.
std::string number(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", v);
  std::string s(text);
  if (s == "-0.0") return "0";
  if (s.size() > 2 && s.compare(s.size() - 2, 2, ".0") == 0) s.resize(s.size() - 2);
  return s;
}

std::string stroke_attributes(const Stroke& stroke) {
  std::string a = " stroke=\"" + std::string(stroke.colour) + "\" stroke-width=\"" + number(stroke.width) + "\"";
  if (*stroke.dash != '\0') a += " stroke-dasharray=\"" + std::string(stroke.dash) + "\"";
  return a;
}

const char* anchor_name(Anchor anchor) {
  switch (anchor) {
    case Anchor::start: return "start";
    case Anchor::middle: return "middle";
    case Anchor::end: return "end";
  }
  return "start";
}

}  // namespace

std::string xml_escaped(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&apos;"; break;
      default:
        out += (static_cast<unsigned char>(c) < 32 && c != '\t') ? '?' : c;
    }
  }
  return out;
}

SvgWriter::SvgWriter(double width, double height) {
  body_ = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" standalone=\"no\"?>\n"
          "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"" +
          number(width) + "\" height=\"" + number(height) + "\" viewBox=\"0 0 " + number(width) + " " +
          number(height) +
          "\" font-family=\"DejaVu Sans, Arial, Helvetica, sans-serif\">\n"
          "<rect x=\"0\" y=\"0\" width=\"" +
          number(width) + "\" height=\"" + number(height) + "\" fill=\"#FFFFFF\"/>\n";
}

void SvgWriter::line(Point from, Point to, const Stroke& stroke) {
  if (!finite(from) || !finite(to)) return;
  body_ += "<line x1=\"" + number(from.x) + "\" y1=\"" + number(from.y) + "\" x2=\"" + number(to.x) + "\" y2=\"" +
           number(to.y) + "\"" + stroke_attributes(stroke) + "/>\n";
}

void SvgWriter::polyline(const std::vector<Point>& points, const Stroke& stroke) {
  std::string list;
  for (const Point& p : points) {
    if (!finite(p)) continue;
    if (!list.empty()) list += ' ';
    list += number(p.x) + "," + number(p.y);
  }
  if (list.empty()) return;
  body_ += "<polyline fill=\"none\" points=\"" + list + "\"" + stroke_attributes(stroke) + "/>\n";
}

void SvgWriter::rect(Point corner, double width, double height, const char* fill, double opacity,
                     const Stroke* stroke) {
  if (!finite(corner) || !std::isfinite(width) || !std::isfinite(height) || width < 0 || height < 0) return;
  body_ += "<rect x=\"" + number(corner.x) + "\" y=\"" + number(corner.y) + "\" width=\"" + number(width) +
           "\" height=\"" + number(height) + "\" fill=\"" + fill + "\"";
  if (opacity < 1) {
    char text[16];
    std::snprintf(text, sizeof text, "%.2f", opacity > 0 ? opacity : 0.0);
    body_ += std::string(" fill-opacity=\"") + text + "\"";
  }
  body_ += stroke != nullptr ? stroke_attributes(*stroke) : std::string(" stroke=\"none\"");
  body_ += "/>\n";
}

void SvgWriter::marker(Marker shape, Point at, double size, const char* colour, bool hollow) {
  if (!finite(at)) return;
  const std::string paint = std::string(" fill=\"") + (hollow ? "#FFFFFF" : colour) + "\" stroke=\"" + colour +
                            "\" stroke-width=\"1.2\"/>\n";
  const double h = size / 2;
  switch (shape) {
    case Marker::circle:
      body_ += "<circle cx=\"" + number(at.x) + "\" cy=\"" + number(at.y) + "\" r=\"" + number(h) + "\"" + paint;
      return;
    case Marker::square:
      body_ += "<rect x=\"" + number(at.x - h) + "\" y=\"" + number(at.y - h) + "\" width=\"" + number(size) +
               "\" height=\"" + number(size) + "\"" + paint;
      return;
    case Marker::triangle:
    case Marker::down_triangle: {
      const double tip = shape == Marker::triangle ? -h : h;
      body_ += "<polygon points=\"" + number(at.x) + "," + number(at.y + tip) + " " + number(at.x - h) + "," +
               number(at.y - tip) + " " + number(at.x + h) + "," + number(at.y - tip) + "\"" + paint;
      return;
    }
  }
}

void SvgWriter::text(Point at, std::string_view text, const TextStyle& style) {
  if (!finite(at)) return;
  body_ += "<text x=\"" + number(at.x) + "\" y=\"" + number(at.y) + "\" font-size=\"" + number(style.size) + "\"";
  if (style.anchor != Anchor::start) body_ += std::string(" text-anchor=\"") + anchor_name(style.anchor) + "\"";
  if (style.bold) body_ += " font-weight=\"bold\"";
  if (style.colour != okabe_ito::kBlack) body_ += std::string(" fill=\"") + style.colour + "\"";
  if (style.vertical) body_ += " transform=\"rotate(-90 " + number(at.x) + " " + number(at.y) + ")\"";
  body_ += ">" + xml_escaped(text) + "</text>\n";
}

std::string SvgWriter::finish() { return body_ + "</svg>\n"; }

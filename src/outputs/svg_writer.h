#pragma once

#include <string>
#include <string_view>
#include <vector>

// A small writer of SVG 1.1 pictures: lines, polylines, rectangles, markers
// and text, nothing more. The document declares ISO-8859-1, since the
// program's texts (file names, titles) are single bytes; every text is
// escaped. A shape with a coordinate that is not finite is left out, so the
// file never holds NaN or infinity.

// Colours distinguishable with the common forms of colour-blind vision:
// Okabe, M. and Ito, K. (2008), "Color Universal Design (CUD): How to make
// figures and presentations that are friendly to colorblind people".
// Yellow is left out: it hardly shows on white.
namespace okabe_ito {
inline constexpr const char* kBlack = "#000000";
inline constexpr const char* kOrange = "#E69F00";
inline constexpr const char* kSkyBlue = "#56B4E9";
inline constexpr const char* kBluishGreen = "#009E73";
inline constexpr const char* kBlue = "#0072B2";
inline constexpr const char* kVermillion = "#D55E00";
inline constexpr const char* kReddishPurple = "#CC79A7";
}  // namespace okabe_ito

// Dash patterns that tell the lines apart in black and white ("" is solid).
namespace dashes {
inline constexpr const char* kSolid = "";
inline constexpr const char* kDashed = "7 4";
inline constexpr const char* kDotted = "2 3";
inline constexpr const char* kDashDot = "9 3 2 3";
inline constexpr const char* kLongDash = "14 5";
}  // namespace dashes

struct Stroke {
  const char* colour = okabe_ito::kBlack;
  double width = 1.5;
  const char* dash = dashes::kSolid;
};

struct Point {
  double x = 0, y = 0;
};

enum class Marker { circle, square, triangle, down_triangle };
enum class Anchor { start, middle, end };

struct TextStyle {
  double size = 12;
  Anchor anchor = Anchor::start;
  bool bold = false;
  bool vertical = false;  // turned a quarter left about its anchor point
  const char* colour = okabe_ito::kBlack;
};

// Text as XML character data: & < > " ' escaped, and control characters,
// which XML 1.0 cannot hold at all, shown as '?'. Bytes from 128 up stay:
// in ISO-8859-1 each is a character.
std::string xml_escaped(std::string_view text);

class SvgWriter {
 public:
  SvgWriter(double width, double height);

  void line(Point from, Point to, const Stroke& stroke);
  void polyline(const std::vector<Point>& points, const Stroke& stroke);
  // fill is a colour or "none"; opacity applies to the fill only.
  void rect(Point corner, double width, double height, const char* fill, double opacity,
            const Stroke* stroke = nullptr);
  // A marker of the given size centred on at; hollow markers are white inside.
  void marker(Marker shape, Point at, double size, const char* colour, bool hollow = false);
  void text(Point at, std::string_view text, const TextStyle& style = {});
  // The whole document, closed.
  std::string finish();

 private:
  std::string body_;
};

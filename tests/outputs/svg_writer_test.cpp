#include "outputs/svg_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

TEST(SvgWriter, EveryTextIsEscaped) {
  for (const auto& [text, escaped] :
       {std::pair{"a<b&c\"d'e>f", "a&lt;b&amp;c&quot;d&apos;e&gt;f"}, {"x\x01y\tz", "x?y\tz"},
        {"\xB1 \xE6", "\xB1 \xE6"}, {"", ""}}) {
    EXPECT_EQ(xml_escaped(text), escaped) << text;
  }
  SvgWriter svg(10, 10);
  svg.text({1, 2}, "<&>");
  EXPECT_NE(svg.finish().find(">&lt;&amp;&gt;</text>"), std::string::npos);
}

TEST(SvgWriter, NothingThatIsNotFiniteReachesTheFile) {
  const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
  SvgWriter svg(100, 50);
  svg.line({0, nan}, {1, 1}, {});
  svg.rect({inf, 0}, 1, 1, "none", 1);
  svg.marker(Marker::circle, {nan, 0}, 4, okabe_ito::kBlue);
  svg.text({0, inf}, "lost");
  svg.polyline({{1, 2}, {nan, 3}, {4.25, -0.04}}, {okabe_ito::kOrange, 1, dashes::kDashed});
  const std::string doc = svg.finish();
  EXPECT_EQ(doc.find("nan"), std::string::npos);
  EXPECT_EQ(doc.find("inf"), std::string::npos);
  EXPECT_EQ(doc.find("<line"), std::string::npos);
  EXPECT_EQ(doc.find("lost"), std::string::npos);
  // the finite points stay, to a tenth of a pixel, and -0.04 is written 0
  EXPECT_NE(doc.find("points=\"1,2 4.2,0\""), std::string::npos) << doc;
  EXPECT_NE(doc.find("stroke-dasharray=\"7 4\""), std::string::npos);
  EXPECT_EQ(doc.rfind("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"", 0), 0u);
  EXPECT_EQ(doc.substr(doc.size() - 7), "</svg>\n");
}

}  // namespace

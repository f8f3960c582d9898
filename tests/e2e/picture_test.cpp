// The picture of the evidence (",PLOT"): well-formed, rendered, escaped, and
// sound for the matrices that give the least to draw.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "e2e/run_support.h"
#include "test_data.h"
#include "test_support.h"

namespace {

using qor_test::read_file;
using qor_test::run_qor;
using qor_test::write_file;

bool tool_available(const std::string& name) {
  return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

bool well_formed(const std::string& svg) {
  return std::system(("xmllint --noout " + svg + " 2>/dev/null").c_str()) == 0;
}

// Width and height from the PNG's header, 0 x 0 when it is none.
std::pair<int, int> png_size(const std::string& png) {
  const std::string bytes = read_file(png);
  if (bytes.size() < 24 || bytes.compare(1, 3, "PNG") != 0) return {0, 0};
  auto word = [&](std::size_t at) {
    int v = 0;
    for (std::size_t i = at; i < at + 4; ++i) v = v * 256 + static_cast<unsigned char>(bytes[i]);
    return v;
  };
  return {word(16), word(20)};
}

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

struct Picture : ::testing::Test {
  qor_test::TempDir dir;
};

// With ",PLOT" the report stays the checked one; the picture has 46 pixels of
// title, 320 for each panel and a margin of 10.
TEST_F(Picture, BundledExampleIsWellFormedAndRenders) {
  const std::filesystem::path source(QOR_SOURCE_DIR);
  std::filesystem::create_directory("examples");
  std::filesystem::copy_file(source / "examples/mixtures.txt", "examples/mixtures.txt");
  const auto plain = run_qor({"examples/mixtures.txt,TOR,TOC,PLOT", "mixtures.out*", "S10:4", "0.002", "5"});
  EXPECT_EQ(plain.status, 0);
  std::string report = read_file(source / "tests/e2e/mixtures.out");  // but for parameter 1 in its header
  report.replace(report.find(",TOC "), 5, ",TOC,PLOT ");
  EXPECT_EQ(read_file("MIXTURES.OUT"), report);
  EXPECT_TRUE(has(plain.out, "\r\nPicture written to MIXTURES.svg.\r\n")) << plain.out;
  const std::string one_panel = read_file("MIXTURES.svg");
  const auto all = run_qor({"examples/mixtures.txt,TOR,TOC,PLOT,RANK,TG0.01", "mixtures.out*", "S10:4", "0.002"});
  EXPECT_EQ(all.status, 0);
  EXPECT_TRUE(has(read_file("MIXTURES.svg"), "Rank verdict, rank 3: examples/mixtures.txt"));
  EXPECT_TRUE(has(read_file("MIXTURES.svg"), "Remainder after step 3: examples/mixtures.txt"));
  EXPECT_TRUE(has(read_file("MIXTURES.svg"), "Step 3 is the verdict&apos;s rank."));
  EXPECT_TRUE(has(one_panel, "Elimination pivots: examples/mixtures.txt"));
  if (!tool_available("xmllint") || !tool_available("rsvg-convert")) GTEST_SKIP() << "xmllint or rsvg-convert missing";
  EXPECT_TRUE(well_formed("MIXTURES.svg"));
  ASSERT_EQ(std::system("rsvg-convert MIXTURES.svg -o all.png"), 0);
  // The pivots, the verdict, the input's histogram and the remainder's.
  EXPECT_EQ(png_size("all.png"), std::pair(800, 46 + 4 * 320 + 10));
  write_file("one.svg", one_panel);
  ASSERT_EQ(std::system("rsvg-convert one.svg -o one.png"), 0);
  EXPECT_EQ(png_size("one.png"), std::pair(800, 46 + 320 + 10));
}

// 301 pivots: one in ceil(301 / 300) = 2 is shown, steps 1, 3, ..., 301,
// and the picture says so.
TEST_F(Picture, LongSeriesAreThinnedAndSaySo) {
  write_file("d.txt", qor_test::matrix_text(301, 301, 0, 7));
  const auto run = run_qor({"d.txt,PLOT", "big.out*"});
  ASSERT_EQ(run.status, 0);
  const std::string svg = read_file("BIG.svg");
  std::size_t circles = 0;
  for (std::size_t at = svg.find("<circle"); at != std::string::npos; at = svg.find("<circle", at + 1)) ++circles;
  EXPECT_EQ(circles, 151u + 1) << "and one in the legend";
  EXPECT_TRUE(has(svg, ">One pivot in 2 shown (and the"));
}

TEST_F(Picture, DataFileNameIsEscaped) {
  write_file("a<&\"b.txt", "1 2\n3 4\n");
  const auto run = run_qor({"a<&\"b.txt,PLOT", "p.out", "", "0.1"});
  ASSERT_EQ(run.status, 0) << run.out;
  const std::string svg = read_file("P.svg");
  EXPECT_TRUE(has(svg, "qor: a&lt;&amp;&quot;b.txt<"));
  EXPECT_FALSE(has(svg, "a<&"));
  if (tool_available("xmllint")) {
    EXPECT_TRUE(well_formed("P.svg"));
  }
}

// Each gives a sound picture, with what it found in its text, or none with
// a message. The noise edges: 2 x 0.1 x sqrt(2) for the symmetric 2 x 2;
// 0.01^2 (sqrt(3) + sqrt(2))^2 = 1E-4 (5 + 2 sqrt(6)) for the product of the
// 3 x 2 of one component.
TEST_F(Picture, SmallestMatricesAndAStop) {
  struct Case {
    const char* data;
    std::vector<std::string> args;
    int status;
    const char* console;
    const char* in_picture;
  };
  const Case cases[] = {
      {"0 0 0\n0 0 0\n", {"d.txt,PLOT", "z.out", "", "0.01"}, 0, "Picture written to Z.svg.",
       "The first pivot is 0: the matrix"},
      {"0 0 0\n0 0 0\n", {"d.txt,PLOT,RANK,TG0.1", "z.out", "", "0.01"}, 0, "Picture written to Z.svg.",
       "Rank verdict, rank 0: d.txt"},
      {"1 2 3 4\n", {"d.txt,PLOT,RANK", "r.out", "", "0.01"}, 0, "Picture written to R.svg.",
       "Rank verdict, rank 1: d.txt"},
      {"1 2\n2 4\n3 6\n", {"d.txt,PLOT", "c.out", "B", "0.01"}, 0, "Picture written to C.svg.",
       "noise edge 9.899E-04"},
      {"2 1\n1 2\n", {"d.txt,PLOT", "e.out", "E", "0.1"}, 0, "Picture written to E.svg.",
       "noise edge 2.828E-01"},
      {"2 1\n1 3\n", {"d.txt,PLOT,RANK", "n.out", "", "0.1", "1"}, 0, "Picture written to N.svg.",
       "Rank verdict, rank 2: d.txt"},
      {"1e4000 1\n1 1e4000\n", {"d.txt,PLOT", "o.out", "T", "0.01"}, 67,
       "No picture: the run stopped before its results were complete.", nullptr},
      {"1 2\n3 4\n", {"d.txt,PLOT,TW1", ""}, 0,
       "No picture: the run has no pivots, eigenvalues, verdict or histogram to show.", nullptr},
  };
  const bool xmllint = tool_available("xmllint");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0] + " " + c.args[1]);
    for (const auto& e : std::filesystem::directory_iterator(".")) std::filesystem::remove(e.path());
    write_file("d.txt", c.data);
    const auto run = run_qor(c.args);
    EXPECT_EQ(run.status, c.status) << run.out;
    EXPECT_TRUE(has(run.out, std::string("\r\n") + c.console + "\r\n")) << run.out;
    std::string svg_name;
    for (const auto& e : std::filesystem::directory_iterator("."))
      if (e.path().extension() == ".svg") svg_name = e.path().filename().string();
    if (c.in_picture == nullptr) {
      EXPECT_EQ(svg_name, "");
      continue;
    }
    const std::string svg = read_file(svg_name);
    EXPECT_TRUE(has(svg, c.in_picture));
    EXPECT_FALSE(has(svg, "nan") || has(svg, "inf") || has(svg, "Inf") || has(svg, "NaN"));
    if (xmllint) {
      EXPECT_TRUE(well_formed(svg_name));
    }
  }
}

}  // namespace

namespace {

// The picture states the noise edge as the verdict block does: the same
// value and the same formula, for equal and for unequal errors; the product
// matrix's eigenvalue edge is that edge squared.
TEST_F(Picture, NoiseEdgeAsTheVerdictStatesIt) {
  std::filesystem::copy_file(std::filesystem::path(QOR_SOURCE_DIR) / "examples/mixtures.txt", "mixtures.txt");
  for (const char* error : {"0.002", "0.002%3"}) {
    const auto run = run_qor({"mixtures.txt,TOR,TOC,PLOT,RANK", "m.out*", "B", error});
    ASSERT_EQ(run.status, 0) << run.out;
    const std::string block = run.out.substr(run.out.find("Noise edge:"));
    const std::string line = block.substr(0, block.find("\r\n"));
    const REAL edge = std::stold(line.substr(11, 12));              // "Noise edge: 1.58742E-02 = ..."
    const std::string formula = line.substr(line.find(" = ") + 3);  // the words after it, on this line
    const std::string picture = qor_test::svg_texts(read_file("M.svg"));
    auto four_digits = [](REAL v) {
      char text[32];
      std::snprintf(text, sizeof text, "%.3LE", v);
      return std::string(text);
    };
    EXPECT_TRUE(has(picture, "Noise edge " + four_digits(edge) + " = " + formula.substr(0, 20))) << picture;
    EXPECT_TRUE(has(picture, "noise edge " + four_digits(edge * edge))) << picture;
    EXPECT_EQ(has(picture, "errors with random signs"), std::string(error) != "0.002") << picture;
  }
}

}  // namespace

// ",EFA" end to end: the block follows everything else in the report, whose
// bytes before it are those of the run without it; the parameter-file key;
// the window given; the results file and the picture's panel.
#include <gtest/gtest.h>

#include <filesystem>

#include "e2e/run_support.h"
#include "test_support.h"

namespace {

using qor_test::read_file;
using qor_test::run_qor;
using qor_test::write_file;

struct EvolvingRun : ::testing::Test {
  qor_test::TempDir dir;
  void SetUp() override {
    std::filesystem::create_directory("examples");
    std::filesystem::copy_file(std::filesystem::path(QOR_SOURCE_DIR) / "examples" / "chromatogram.txt",
                               "examples/chromatogram.txt");
  }
};

// The report after the header's line of parameter 1, which names the keywords.
std::string after_parameters(const std::string& report) {
  return report.substr(report.find("\r\n", report.find("Input parameters:")));
}

std::size_t count_of(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

TEST_F(EvolvingRun, BlockFollowsAnUnchangedReport) {
  for (const char* method : {"S", "B"}) {
    SCOPED_TRACE(method);
    const auto plain = run_qor({"examples/chromatogram.txt,TOR,TOC,RANK", "plain.out", method, "0.002"});
    const auto with = run_qor({"examples/chromatogram.txt,TOR,TOC,RANK,EFA", "efa.out", method, "0.002"});
    ASSERT_EQ(plain.status, 0) << plain.out;
    ASSERT_EQ(with.status, 0) << with.out;
    EXPECT_EQ(qor_test::without_time(with.out), qor_test::without_time(plain.out));
    const std::string before = after_parameters(read_file("PLAIN.OUT"));
    const std::string after = after_parameters(read_file("EFA.OUT"));
    ASSERT_GT(after.size(), before.size());
    EXPECT_EQ(after.substr(0, before.size()), before);
    const std::string block = after.substr(before.size());
    EXPECT_EQ(block.rfind("\r\nEvolving factor analysis: the components along the rows\r\n", 0), 0u) << block;
    // Three components, and a line of counts for each of the 60 rows.
    EXPECT_NE(block.find("\r\n        3 "), std::string::npos) << block;
    EXPECT_EQ(block.find("\r\n        4 "), std::string::npos) << block;
    EXPECT_NE(block.find("moving windows of 7 rows"), std::string::npos) << block;
    EXPECT_EQ(count_of(block, "\r\n         218 "), 1u) << "the last row's title";
  }
}

TEST_F(EvolvingRun, ParameterFileKeyAndWindow) {
  write_file("p.txt", "A examples/chromatogram.txt\r\nB +\r\nC +\r\nG key.out\r\nM 0.002\r\nW 9\r\n");
  ASSERT_EQ(run_qor({"p.txt"}).status, 0);
  const auto keyword = run_qor({"examples/chromatogram.txt,TOR,TOC,EFA9", "kw.out", "", "0.002"});
  ASSERT_EQ(keyword.status, 0) << keyword.out;
  const std::string by_key = read_file("KEY.OUT"), by_keyword = read_file("KW.OUT");
  const std::string title = "Evolving factor analysis";
  ASSERT_NE(by_key.find(title), std::string::npos);
  EXPECT_EQ(by_key.substr(by_key.find(title)), by_keyword.substr(by_keyword.find(title)));
  EXPECT_NE(by_key.find("moving windows of 9 rows"), std::string::npos);
}

TEST_F(EvolvingRun, ResultsFileAndPicture) {
  const auto run = run_qor({"examples/chromatogram.txt,TOR,TOC,EFA,JSON,PLOT", "r.out", "", "0.002"});
  ASSERT_EQ(run.status, 0) << run.out;
  const std::string json = read_file("R.json");
  EXPECT_NE(json.find("\"evolving_factors\""), std::string::npos);
  EXPECT_EQ(count_of(json, "{\"first\": 1, \"last\": "), 60u + 2u) << "the forward windows, the first backward and moving ones";
  const auto plain = run_qor({"examples/chromatogram.txt,TOR,TOC,JSON", "p.out", "", "0.002"});
  ASSERT_EQ(plain.status, 0);
  EXPECT_EQ(read_file("P.json").find("evolving"), std::string::npos);
  const std::string svg = read_file("R.svg");
  EXPECT_NE(svg.find("Evolving factors, 3 components"), std::string::npos);
}

}  // namespace

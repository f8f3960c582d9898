// qor --help, -h and --version, run as a user types them.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "e2e/run_support.h"
#include "test_support.h"

namespace {

using Lines = std::vector<std::string>;

const std::string kFirstUsageLine = "Usage: qor datafile[,keywords] report [method] [error] [steps] [reference]\r\n";

// The version as project() in CMakeLists.txt states it.
std::string project_version() {
  const std::string cmake = qor_test::read_file(std::string(QOR_SOURCE_DIR) + "/CMakeLists.txt");
  const std::string key = "project(qor VERSION ";
  const std::size_t at = cmake.find(key);
  if (at == std::string::npos) return "none";
  const std::size_t begin = at + key.size();
  return cmake.substr(begin, cmake.find_first_not_of("0123456789.", begin) - begin);
}

// Every ",XY..." (a comma and two or more capitals) in the text.
std::set<std::string> keywords_in(const std::string& text) {
  std::set<std::string> keywords;
  for (std::size_t at = text.find(','); at != std::string::npos; at = text.find(',', at + 1)) {
    std::size_t end = at + 1;
    while (end < text.size() && text[end] >= 'A' && text[end] <= 'Z') ++end;
    if (end - at > 2) keywords.insert(text.substr(at, end - at));
  }
  return keywords;
}

TEST(Usage, HelpAndVersionAreNeverFileNames) {
  qor_test::TempDir dir;
  // Files of these names would be read as parameter files before.
  for (const char* name : {"--help", "-h", "--version", "--Help"}) qor_test::write_file(name, "A d.txt\r\n");
  for (const Lines& params : {Lines{"--help"}, Lines{"-h"}, Lines{"-h", "d.txt", "out.txt"}}) {
    const auto run = qor_test::run_qor(params);
    EXPECT_EQ(run.status, 0) << params[0];
    EXPECT_EQ(run.out.rfind(kFirstUsageLine, 0), 0u) << run.out;
    EXPECT_NE(run.out.find("\"qor ?\""), std::string::npos);
    EXPECT_NE(run.out.find("\"man qor\""), std::string::npos);
  }
  const auto version = qor_test::run_qor({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "qor " + project_version() + "\r\n");
  // Another spelling is still a parameter file, one that names a missing data file.
  EXPECT_EQ(qor_test::run_qor({"--Help"}).status, 2);
  EXPECT_FALSE(std::filesystem::exists("OUT.TXT"));
}

// An 80-column terminal never wraps the summary, and every keyword it names
// is explained in the help file, the manual page and the README as well.
TEST(Usage, FitsTheScreenAndEveryKeywordIsDocumented) {
  qor_test::TempDir dir;
  const std::string usage = qor_test::run_qor({"--help"}).out;
  for (std::size_t at = 0, end; (end = usage.find("\r\n", at)) != std::string::npos; at = end + 2)
    EXPECT_LE(end - at, 79u) << usage.substr(at, end - at);
  const std::string source(QOR_SOURCE_DIR);
  const std::string documents[] = {qor_test::read_file(source + "/Qor.hlp"),
                                   qor_test::read_file(source + "/doc/qor.1.in"),
                                   qor_test::read_file(source + "/README.md")};
  const std::set<std::string> keywords = keywords_in(usage);
  EXPECT_GE(keywords.size(), 6u);
  for (const std::string& k : keywords)
    for (const std::string& document : documents) EXPECT_NE(document.find(k), std::string::npos) << k;
}

}  // namespace

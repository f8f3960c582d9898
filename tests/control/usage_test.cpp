// qor --help, -h and --version, run as a user types them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e/run_support.h"
#include "test_support.h"

namespace {

// The version as project() in CMakeLists.txt states it.
std::string project_version() {
  const std::string cmake = qor_test::read_file(std::string(QOR_SOURCE_DIR) + "/CMakeLists.txt");
  const std::size_t at = cmake.find("project(qor VERSION ") + 20;
  return cmake.substr(at, cmake.find_first_not_of("0123456789.", at) - at);
}

TEST(Usage, HelpAndVersionAreNeverFileNames) {
  qor_test::TempDir dir;
  // Files of these names would have been read as parameter files.
  for (const char* name : {"--help", "-h", "--version", "--Help"}) qor_test::write_file(name, "A d.txt\r\n");
  using Lines = std::vector<std::string>;
  for (const Lines& params : {Lines{"--help"}, Lines{"-h"}, Lines{"-h", "d.txt", "out.txt"}}) {
    const auto run = qor_test::run_qor(params);
    EXPECT_EQ(run.status, 0) << params[0];
    EXPECT_EQ(run.out.rfind("Usage: qor datafile[,keywords] report [method] [error] [steps] [reference]\n", 0), 0u);
    EXPECT_NE(run.out.find("\"qor '?'\" (the help browser) and \"man qor\""), std::string::npos) << run.out;
    // No line wraps on an 80-column terminal.
    EXPECT_EQ(run.out.find('\r'), std::string::npos) << "lines end with LF alone";
    for (std::size_t at = 0, end; (end = run.out.find('\n', at)) != std::string::npos; at = end + 1)
      EXPECT_LE(end - at, 79u) << run.out.substr(at, end - at);
  }
  const auto version = qor_test::run_qor({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "qor " + project_version() + "\n");
  // Another spelling is still a parameter file, one that names a missing data file.
  EXPECT_EQ(qor_test::run_qor({"--Help"}).status, 2);
}

}  // namespace

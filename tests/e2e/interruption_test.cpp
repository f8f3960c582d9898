// Ctrl-C during a long run: the report ends with a line that says so, the
// results and the picture are written whole, one line goes to standard
// error and the status is 130. Before the run a listing of over 100 MB was
// announced with the way to leave it out.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "e2e/run_support.h"
#include "test_support.h"

namespace {

// 1200 x 120 values whose step listing with errors takes about 2 MB a step.
void write_big_table(const std::string& path) {
  std::ofstream out(path);
  for (int i = 1; i <= 1200; ++i) {
    for (int j = 1; j <= 120; ++j) out << ((i * 37 + j * 101) % 997) / 997.0 + (i == j ? 1 : 0) << ' ';
    out << '\n';
  }
}

std::string last_line(const std::string& text) {
  const std::size_t end = text.rfind("\r\n");
  const std::size_t start = text.rfind("\r\n", end - 1);
  return text.substr(start == std::string::npos ? 0 : start + 2, end - (start == std::string::npos ? 0 : start + 2));
}

TEST(Interruption, CtrlCMarksTheReportAndFinishesTheOtherFiles) {
  qor_test::TempDir dir;
  write_big_table("big.txt");
  const int out = open("/dev/null", O_WRONLY);
  const int err = open("stderr.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const pid_t pid = qor_test::spawn_program(QOR_BINARY, {"big.txt,JSON,PLOT", "run.txt", "S", "0.002"}, out, -1, err);
  close(out);
  close(err);
  ASSERT_GT(pid, 0);
  // Waits (boundedly) until the report holds a step's listing, so that the
  // run is inside the analysis when Ctrl-C comes.
  bool listing = false;
  for (int polls = 0; polls < 6000 && !listing; ++polls) {
    std::error_code missing;
    const std::uintmax_t size = std::filesystem::file_size("RUN.TXT", missing);
    listing = !missing && size > 2'000'000;
    if (!listing) usleep(10'000);
  }
  ASSERT_TRUE(listing) << "the report never grew";
  kill(pid, SIGINT);
  EXPECT_EQ(qor_test::wait_for_status(pid), 130);

  const std::string report = qor_test::read_file("RUN.TXT");
  const std::string last = last_line(report);
  EXPECT_EQ(last.rfind("Run interrupted (Ctrl-C) after ", 0), 0u) << last;
  EXPECT_NE(last.find(" step"), std::string::npos) << last;
  EXPECT_NE(last.find("; the report ends here."), std::string::npos) << last;
  EXPECT_EQ(report.substr(report.size() - 2), "\r\n");

  const std::string errors = qor_test::read_file("stderr.txt");
  EXPECT_NE(errors.find("the step listing will write about "), std::string::npos) << errors;
  EXPECT_NE(errors.find("'*' at the end of the report name"), std::string::npos) << errors;
  EXPECT_NE(errors.find("qor: run interrupted (Ctrl-C)"), std::string::npos) << errors;

  // The results are whole and say how the run ended; a run stopped before
  // its results has no picture, and none half-written.
  const std::string json = qor_test::read_file("RUN.json");
  EXPECT_NE(json.find("\"status\": 130"), std::string::npos);
  EXPECT_NE(json.find("interrupted (Ctrl-C)"), std::string::npos);
  EXPECT_EQ(json[json.find_last_not_of("\r\n")], '}');
  if (std::filesystem::exists("RUN.svg")) {
    EXPECT_NE(qor_test::read_file("RUN.svg").find("</svg>"), std::string::npos);
  }
}

}  // namespace

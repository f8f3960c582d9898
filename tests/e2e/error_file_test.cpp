// The error file (",ERR=name"): read by the data file's rules and
// selections, each element's own error in the elimination, the eigenvalue
// analysis and the verdict; one error repeated is the report of that error
// given once; a file that does not fit stops the run with error 106.
#include <gtest/gtest.h>

#include <string>

#include "e2e/run_support.h"
#include "test_support.h"

namespace {

// The report without its second line, which repeats the parameters.
std::string without_parameters(const std::string& report) {
  const std::size_t first = report.find('\n');
  const std::size_t second = report.find('\n', first + 1);
  return report.substr(0, first + 1) + report.substr(second + 1);
}

// A folder of its own holding the 2 x 2 data file d.txt.
class ErrorFile2x2 : public ::testing::Test {
 protected:
  ErrorFile2x2() { qor_test::write_file("d.txt", "2 1\n1 5\n"); }
  qor_test::TempDir dir;
};

TEST(ErrorFile, ARepeatedErrorGivesTheReportOfThatErrorGivenOnce) {
  qor_test::TempDir dir;
  qor_test::write_file("d.txt", "11 4 1 2 9\n12 1 5 1 9\n13 2 1 3 9\n14 7 7 7 7\n");
  qor_test::write_file("e.txt", "11 0.02 0.02 0.02 5\n12 0.02 0.02 0.02 5\n13 0.02 0.02 0.02 5\n14 5 5 5 5\n");
  for (const char* mode : {"7:3", "B", "E"}) {
    SCOPED_TRACE(mode);
    const qor_test::RunResult once = qor_test::run_qor({"d.txt,TOR,R[4],C[4],RANK", "ONCE.TXT", mode, "0.02"});
    const qor_test::RunResult file = qor_test::run_qor({"d.txt,TOR,R[4],C[4],RANK,ERR=e.txt", "FILE.TXT", mode, "0"});
    ASSERT_EQ(once.status, 0) << once.out;
    ASSERT_EQ(file.status, 0) << file.out;
    EXPECT_EQ(without_parameters(qor_test::read_file("FILE.TXT")), without_parameters(qor_test::read_file("ONCE.TXT")));
  }
}

// The pivot 5 carries its own error 0.3; the remainder 2 - 1/5 x 1 ... as
// propagated by hand: 0.1^2 + 0.2^2/25 + 0.1^2/25 + 0.3^2/625 = 0.012144.
TEST_F(ErrorFile2x2, EachElementKeepsItsOwnError) {
  qor_test::write_file("e.txt", "0.1 0.2\n0.1 0.3\n");
  const qor_test::RunResult run = qor_test::run_qor({"d.txt,ERR=e.txt", "R.TXT", "10:6", "@0"});
  ASSERT_EQ(run.status, 0) << run.out;
  const std::string report = qor_test::read_file("R.TXT");
  EXPECT_NE(report.find("  0.300000  0.110200"), std::string::npos) << report;
}

TEST_F(ErrorFile2x2, AFileThatDoesNotFitStopsTheRun) {
  qor_test::write_file("short.txt", "0.1 0.2\n");
  qor_test::write_file("negative.txt", "0.1 0.2\n0.1 -0.3\n");
  const struct {
    const char* file;
    const char* words;
  } cases[] = {
      {"short.txt", "holds 1 rows of 2 values, the data file 2 rows of 2"},
      {"negative.txt", "gives -0.3 as the error of the value in row 2, column 2"},
      {"missing.txt", "missing.txt"},
  };
  for (const auto& c : cases) {
    const qor_test::RunResult run = qor_test::run_qor({std::string("d.txt,ERR=") + c.file, "R.TXT", "7:3", "0"});
    EXPECT_NE(run.status, 0) << c.file;
    EXPECT_NE(run.out.find(c.words), std::string::npos) << run.out;
  }
}

// The error file is an input: no output may replace it.
TEST_F(ErrorFile2x2, NoOutputReplacesTheErrorFile) {
  qor_test::write_file("E.TXT", "0.1 0.2\n0.1 0.3\n");
  const qor_test::RunResult run = qor_test::run_qor({"d.txt,ERR=E.TXT", "e.txt", "7:3", "0"});
  EXPECT_EQ(run.status, 17) << run.out;
  EXPECT_EQ(qor_test::read_file("E.TXT"), "0.1 0.2\n0.1 0.3\n");
}

}  // namespace

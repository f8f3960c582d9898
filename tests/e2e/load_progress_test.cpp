// The loading percentage of a large data file: on a terminal only, and
// never in what a pipe receives.
#include <gtest/gtest.h>

#include "e2e/pty_support.h"
#include "e2e/run_support.h"
#include "test_data.h"
#include "test_support.h"

namespace {

using qor_test::run_qor;
using qor_test::write_file;

struct LoadProgressRun : ::testing::Test {
  qor_test::TempDir dir;
  // 25,000 rows of six values with six decimals: about 1.7 MB, above the
  // megabyte from which the line is shown.
  void SetUp() override { write_file("d.txt", qor_test::matrix_text(25000, 6, 0, 7)); }
};

// The counting pass fills 0 to 50 % at column 1 (the cursor goes back each
// time), the loader's 38 blanks overwrite it, the value pass goes on from
// 50 % at column 39, and its line is blanked before the first diagonal.
TEST_F(LoadProgressRun, PercentageOnATerminal) {
  qor_test::Pty qor(80, 25, {"d.txt", "O"});
  ASSERT_GT(qor.pid, 0);
  const std::string back_to_1 = "\x1b[1G";
  const std::string back_to_39 = "\x1b[39G";
  EXPECT_TRUE(qor.wait_for({"Loading 0 %     " + back_to_1, "Loading 25 %    " + back_to_1,
                            "Loading 50 %    " + back_to_1 + std::string(38, ' ') + "Loading 50 %    " + back_to_39,
                            "Loading 75 %    " + back_to_39, "Loading 100 %   " + back_to_39,
                            std::string(16, ' ') + back_to_39 + "Diagonal 1/6       " + back_to_39, "Time:"}))
      << qor.seen.substr(qor.seen.size() > 600 ? qor.seen.size() - 600 : 0);
  EXPECT_EQ(qor.exit_status(), 0);
}

TEST_F(LoadProgressRun, NothingOnAPipe) {
  const auto run = run_qor({"d.txt", "o"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out.find("Loading"), std::string::npos);
  EXPECT_EQ(run.out.find('\x1b'), std::string::npos);
  // The pipe gets the loader's 38 blanks right at the start, as for any file.
  EXPECT_EQ(run.out.substr(0, 43), std::string(38, ' ') + "Time:") << run.out.substr(0, 200);
}

}  // namespace

// Mode E reads the data matrix itself as a symmetric one. On a matrix that
// is not square, or not symmetric, the run is the one the mode defines, with
// one warning on standard error; a square symmetric matrix gets none.
#include <gtest/gtest.h>

#include <string>

#include "e2e/run_support.h"
#include "test_support.h"

namespace {

TEST(MatrixItself, ModeEWarnsOnceOfAMatrixThatIsNotSquareAndSymmetric) {
  qor_test::TempDir dir;
  qor_test::write_file("wide.txt", "4 1 2\n1 3 5\n");
  qor_test::write_file("skew.txt", "4 1 0\n2 3 0\n0 0 1\n");
  qor_test::write_file("sym.txt", "4 1 0\n1 3 0\n0 0 1\n");
  const std::string also = " (mode B analyses the product of the matrix with its transpose).\n";
  const struct {
    const char* file;
    std::string err;
  } cases[] = {
      {"wide.txt", "qor: mode E analyses the data matrix itself as a symmetric matrix, but it has 2 rows and 3 "
                   "columns: its leading 2 x 2 block is analysed" + also},
      {"skew.txt", "qor: mode E analyses the data matrix itself as a symmetric matrix, but row 1, column 2 differs "
                   "from row 2, column 1: the results are not those of a symmetric matrix" + also},
      {"sym.txt", ""},
  };
  for (const auto& c : cases) {
    const qor_test::RunResult run = qor_test::run_qor_with_errors({c.file, "E.TXT", "E", "0.01"});
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(run.err, c.err) << c.file;
    EXPECT_NE(run.out.find("Time:"), std::string::npos) << run.out;
    // The product matrix reads no such thing.
    EXPECT_EQ(qor_test::run_qor_with_errors({c.file, "B.TXT", "B", "0.01"}).err, "") << c.file;
  }
}

}  // namespace

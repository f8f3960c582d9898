// A tall matrix by blocks of rows: the sums of the blocks are decomposed
// once, and the eigenvalues are those of the product matrix.
#include "library/blockwise.h"

#include <gtest/gtest.h>

#include "library/table_of.h"
#include "numeric/eigen.h"

namespace {

qor::Run blockwise_run(const std::vector<qor::Table>& blocks, const qor::Settings& settings) {
  qor::BlockSums total;
  std::int64_t first_row = 1;
  for (std::size_t b = 0; b < blocks.size(); ++b) {
    const qor::BlockSums sums = qor::block_sums(blocks[b], settings, first_row);
    total = b == 0 ? sums : qor::add_sums(total, sums);
    first_row += blocks[b].rows;
  }
  qor::Blockwise client(total, settings);
  qor::BlockTests tests;
  first_row = 1;
  for (std::size_t b = 0; b < blocks.size(); ++b) {
    const qor::BlockTests t =
        qor::block_tests(blocks[b], settings, client.eigenvectors(), client.tests_wanted(), first_row);
    tests = b == 0 ? t : qor::add_tests(tests, t);
    first_row += blocks[b].rows;
  }
  qor::Control control;
  return client.finish(tests, control);
}

// Rows (3 0), (0 2), (0 0) in blocks of two and one: the product of the
// columns is diag(9, 4), so the eigenvalues are 9 and 4 exactly, and the
// residual after both components is 0 everywhere.
TEST(Blockwise, DecomposesTheSumsOnceAndFindsTheProductsEigenvalues) {
  struct Case {
    const char* name;
    REAL error;
  };
  for (const Case c : {Case{"without the error", 0}, Case{"with the error", 0.5L}}) {
    SCOPED_TRACE(c.name);
    qor::Settings settings;
    settings.absolute_error = c.error;
    settings.verdict = true;
    const std::int64_t before = TRED2_calls();
    const qor::Run run = blockwise_run({qor_test::table_of(2, 2, {3, 0, 0, 2}), qor_test::table_of(1, 2, {0, 0})}, settings);
    EXPECT_EQ(TRED2_calls() - before, 1);
    ASSERT_EQ(run.results.eigenvalues.size(), 2u);
    EXPECT_EQ(run.results.eigenvalues[0].value, 9);
    EXPECT_EQ(run.results.eigenvalues[1].value, 4);
    EXPECT_TRUE(run.verdict.has_value());
    if (c.error != 0) {
      // With the eigenvector e_i the eigenvalue is sum_k a_ki^2, whose
      // variance is sum_k (2 a_ki)^2 x 0.25: 4 x 9 x 0.25 = 9 for the first
      // column, 4 x 4 x 0.25 = 4 for the second.
      EXPECT_EQ(run.results.eigenvalues[0].variance, 9);
      EXPECT_EQ(run.results.eigenvalues[1].variance, 4);
      ASSERT_TRUE(run.results.eigenvalues[1].test.tested);
      EXPECT_EQ(run.results.eigenvalues[1].test.G, 0);
    }
  }
}

}  // namespace

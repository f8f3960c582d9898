// The noise edge from element variances, worked out by hand.
#include "analysis/noise_edge.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

MATRIX variances(std::initializer_list<std::initializer_list<double>> rows) {
  const auto N = static_cast<std::int32_t>(rows.size());
  const auto M = static_cast<std::int32_t>(rows.begin()->size());
  MATRIX SD(N + 1, M + 1);
  std::int32_t i = 1;
  for (const auto& row : rows) {
    std::int32_t j = 1;
    for (const double v : row) SD[i][j++] = v;
    ++i;
  }
  return SD;
}

TEST(NoiseEdge, RowAndColumnSumsOfTheVariances) {
  // Row sums 6 and 3, column sums 2, 5 and 2: sqrt(6) + sqrt(5); mean variance 9/6.
  const NoiseEdge uneven = noise_edge_of_variances(variances({{1, 4, 1}, {1, 1, 1}}), 2, 3);
  EXPECT_NEAR(static_cast<double>(uneven.edge), 4.685557720282968, 1e-15);
  EXPECT_NEAR(static_cast<double>(uneven.rms), 1.224744871391589, 1e-15);
  EXPECT_FALSE(uneven.equal);
  EXPECT_EQ(uneven.included, 6);
  // Equal variances 0.25: the edge of sigma 0.5, 0.5 (sqrt(2) + sqrt(3)).
  const NoiseEdge equal = noise_edge_of_variances(variances({{0.25, 0.25, 0.25}, {0.25, 0.25, 0.25}}), 2, 3);
  EXPECT_TRUE(equal.equal);
  EXPECT_NEAR(static_cast<double>(equal.edge), 1.573132184970, 1e-12);
  EXPECT_EQ(equal.edge, noise_edge_of_sigma(0.5L, 2, 3));
  // Equal variances: sigma is their root, not the root of their mean, which
  // depends on the order of the sums (0.01^2 summed 240 times).
  MATRIX many(7, 41);
  for (std::int32_t i = 1; i <= 6; ++i)
    for (std::int32_t j = 1; j <= 40; ++j) many[i][j] = 0.01L * 0.01L;
  EXPECT_EQ(noise_edge_of_variances(many, 6, 40).rms, 0.01L);
  // A zero variance leaves its element out of the count; sums beyond REAL give no finite edge.
  EXPECT_EQ(noise_edge_of_variances(variances({{0, 1}, {1, 1}}), 2, 2).included, 3);
  MATRIX huge(2, 3);
  huge[1][1] = huge[1][2] = 1e4932L;
  EXPECT_FALSE(std::isfinite(noise_edge_of_variances(huge, 1, 2).edge));
}

// Rows in blocks: the first row of each block, and blocks whose variances
// are equal within but differ between them.
TEST(NoiseEdge, BlocksOfRowsAddUpToTheWholeMatrix) {
  struct Case {
    MATRIX upper, lower;
    std::int32_t upper_rows, lower_rows, columns;
    double edge;
    bool equal;
    std::int64_t included;
  };
  const Case cases[] = {
      // The matrix {1 4 1; 1 1 1} again: sqrt(6) + sqrt(5).
      {variances({{1, 4, 1}}), variances({{1, 1, 1}}), 1, 1, 3, 4.685557720282968, false, 6},
      // Each block equal, at 1 and at 4: rows 3 and 12, columns 5 each: sqrt(12) + sqrt(5).
      {variances({{1, 1, 1}}), variances({{4, 4, 4}}), 1, 1, 3, 5.700169592637544, false, 6},
      // 0.25 throughout, in blocks of two rows and one: 0.5 (sqrt(3) + sqrt(2)).
      {variances({{0.25, 0.25}, {0.25, 0.25}}), variances({{0.25, 0.25}}), 2, 1, 2, 1.573132184970986, true, 6},
  };
  for (const Case& c : cases) {
    const VarianceSums sums = added_variance_sums(variance_sums(c.upper, c.upper_rows, c.columns),
                                                  variance_sums(c.lower, c.lower_rows, c.columns));
    const NoiseEdge e = noise_edge_of_sums(sums, c.upper_rows + c.lower_rows, c.columns);
    EXPECT_NEAR(static_cast<double>(e.edge), c.edge, 1e-12);
    EXPECT_EQ(e.equal, c.equal);
    EXPECT_EQ(e.included, c.included);
  }
}

TEST(NoiseEdge, TheFormulaInWords) {
  EXPECT_EQ(noise_edge_formula(NoiseEdgeKind::equal_errors, 12, 20), "sigma x (sqrt(12) + sqrt(20))");
  EXPECT_EQ(noise_edge_formula(NoiseEdgeKind::row_column_bound, 12, 20),
            "sqrt(largest row sum) + sqrt(largest column sum) of the element variances");
  EXPECT_EQ(noise_edge_formula(NoiseEdgeKind::drawn, 12, 20, 19),
            "the largest singular value of 19 matrices of the elements' errors with random signs");
  EXPECT_EQ(sigma_origin(true, true), "given");
  EXPECT_EQ(sigma_origin(true, false), "given; root mean square of the elements' errors");
  EXPECT_EQ(sigma_origin(false, true), "estimated from the data");
}

}  // namespace

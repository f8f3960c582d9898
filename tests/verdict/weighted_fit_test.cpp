// The fit weighted by the element variances, against optima worked out apart
// (numpy): with variances 1 / (a_i b_j) the best weighted rank-r fit is the
// plain one of diag(sqrt a) X diag(sqrt b), its chi-square the sum of that
// matrix's squared singular values past r.
#include "verdict/weighted_fit.h"

#include <gtest/gtest.h>

#include <cmath>

#include "common/matrix.h"
#include "common/workers.h"

namespace {

constexpr double kData[6][4] = {{4.1, 2.0, 1.2, 3.3}, {2.2, 1.1, 0.4, 1.9}, {6.3, 2.9, 2.2, 4.8},
                                {1.0, 0.7, 0.1, 0.9}, {3.1, 1.2, 1.4, 2.2}, {5.0, 2.6, 1.3, 4.4}};
constexpr double kRowWeights[6] = {1, 4, 0.25, 9, 1, 0.5};
constexpr double kColumnWeights[4] = {2, 1, 0.1, 3};
// Right singular vectors of the data, one per column, decreasing.
constexpr double kVectors[4][4] = {{-0.712143079895606, 0.241348358634018, 0.282712506639848, -0.595547514587106},
                                   {-0.340850134130654, -0.344494867165517, 0.655529214605647, 0.579159668276574},
                                   {-0.223781968451304, 0.808376169036915, -0.153155921081734, 0.5224871900505},
                                   {-0.571484952046836, -0.411827907765464, -0.683299605755428, 0.192105108583876}};

struct Fixture {
  bool transposed;
  MATRIX A, SD, T{5, 5};
  explicit Fixture(bool t) : transposed(t), A(t ? 5 : 7, t ? 7 : 5), SD(t ? 5 : 7, t ? 7 : 5) {
    for (int i = 1; i <= 6; ++i)
      for (int j = 1; j <= 4; ++j) {
        const int r = transposed ? j : i, c = transposed ? i : j;
        A[r][c] = kData[i - 1][j - 1];
        SD[r][c] = 1 / (kRowWeights[i - 1] * kColumnWeights[j - 1]);
      }
    for (int k = 1; k <= 4; ++k)
      for (int c = 1; c <= 4; ++c) T[k][c] = kVectors[k - 1][c - 1];
  }
  REAL chi_square(int r, Workers& workers) const {
    // No error given: the variances of SD throughout.
    return weighted_fit_chi_square(WeightedFitInputs{A, SD, T, transposed ? 4 : 6, transposed ? 6 : 4, 0, 0}, r,
                                   workers);
  }
};

// Optimum 0.852778848314894 at r = 1, 0.130209200575914 at r = 2; the
// plain components' weighted residuals are 1.1126 and 0.2762. Either side
// may be the longer one, and threads do not change the sum.
TEST(WeightedFit, ReachesTheWeightedOptimum) {
  Workers one(1), two(2);
  two.set_work_per_part(0);
  for (bool transposed : {false, true}) {
    const Fixture f(transposed);
    EXPECT_NEAR(static_cast<double>(f.chi_square(1, one)), 0.852778848314894, 1e-9) << transposed;
    const double two_components = static_cast<double>(f.chi_square(2, one));
    EXPECT_GE(two_components, 0.130209200575914 * (1 - 1e-12)) << transposed;
    EXPECT_LE(two_components, 0.130209200575914 * 1.001) << transposed;
    EXPECT_EQ(f.chi_square(2, one), f.chi_square(2, two)) << transposed;
  }
}

// An element of variance 0 is left out of the fit and of the sum: its value
// does not matter.
TEST(WeightedFit, ElementOfVarianceZeroIsLeftOut) {
  Workers one(1);
  Fixture f(false);
  f.SD[3][2] = 0;
  const REAL before = f.chi_square(1, one);
  f.A[3][2] = 1000;
  EXPECT_EQ(f.chi_square(1, one), before);
  EXPECT_TRUE(std::isfinite(static_cast<double>(before)));
}

}  // namespace

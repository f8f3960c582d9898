#include "numeric/gamma.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>

#include "test_support.h"

namespace {

// Standard input is empty, so every pause meets the end of input at once.
class GammaTest : public ::testing::Test {
 protected:
  REAL Q(REAL a, REAL x) { return GAMMQ(a, x, c_.console()); }
  Console& console() { return c_.console(); }
  std::string text() { return c_.text(); }

 private:
  qor_test::CapturedConsole c_;
};

double ratio(REAL q, REAL want) { return static_cast<double>(q / want); }

TEST_F(GammaTest, ValuesAndCutOffsWithoutPause) {
  // a <= 0, x = 0, and a series with a ln x - ln Gamma(a) - x <= -15 (P taken as 0).
  for (auto [a, x] : {std::pair<REAL, REAL>{0, 5}, {-1, 0.5L}, {-1, -3}, {2.5L, 0}, {20, 0.01L}})
    EXPECT_EQ(Q(a, x), 1) << a << " " << x;
  // Q(1, x) = exp(-x), down to the cut-off: ln 73 - 73 < -68.
  EXPECT_NEAR(ratio(Q(1, 10), std::exp(-10.0L)), 1.0, 3e-7);
  EXPECT_NEAR(ratio(Q(1, 0.5L), std::exp(-0.5L)), 1.0, 3e-7);
  EXPECT_GT(Q(1, 72), 0);
  EXPECT_NEAR(ratio(Q(1, 72), std::exp(-72.0L)), 1.0, 3e-7);
  EXPECT_EQ(Q(1, 73), 0);
  // Upper 5 % point of chi-square with 4 degrees of freedom: 9.487729.
  EXPECT_NEAR(static_cast<double>(Q(2, 9.487729L / 2)), 0.05, 5e-5);
  // Q(1/2, x) = erfc(sqrt(x)), series branch.
  EXPECT_NEAR(static_cast<double>(Q(0.5L, 0.3L)), std::erfc(std::sqrt(0.3)), 1e-6);
  EXPECT_EQ(text(), "");
}

TEST_F(GammaTest, BoundaryXEqualsAPlusOneTakesTheFraction) {
  REAL gcf = 0, gser = 0, gln = 0;
  GCF(3, 4, gcf, gln, console());
  GSER(3, 4, gser, gln, console());
  EXPECT_EQ(Q(3, 4), gcf);
  EXPECT_NE(Q(3, 4), 1 - gser);  // the two approximations differ in their last bits
  EXPECT_NEAR(static_cast<double>(gcf + gser), 1.0, 1e-6);
  EXPECT_EQ(text(), "");
}

TEST_F(GammaTest, NegativeXAndNonConvergencePause) {
  EXPECT_EQ(Q(2, -0.5L), 1);
  REAL gser = 0, gcf = 0, gln = 0;
  GSER(1e8L, 1e8L - 1, gser, gln, console());
  GCF(1e8L, 1e8L + 1, gcf, gln, console());
  EXPECT_EQ(text(),
            "Pause in Gser - x less than 0\r\n"
            "Pause in Gser - a too large, itmax too small\r\n"
            "Pause in Gcf - a too large, itmax too small\r\n");
}

TEST(GammaLn, KnownValues) {
  EXPECT_NEAR(static_cast<double>(GAMMLN(1)), 0.0, 1e-10);
  EXPECT_NEAR(static_cast<double>(GAMMLN(2)), 0.0, 1e-10);
  EXPECT_NEAR(static_cast<double>(GAMMLN(0.5L)), std::log(std::sqrt(M_PI)), 1e-10);
  EXPECT_NEAR(static_cast<double>(GAMMLN(10)), std::log(362880.0), 1e-9);
}

}  // namespace

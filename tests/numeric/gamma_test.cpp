#include "numeric/gamma.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
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

TEST_F(GammaTest, OnlyANegativeXOrNoConvergenceWithinTheBoundPauses) {
  EXPECT_EQ(Q(2, -0.5L), 1);
  REAL gser = 0, gcf = 0, gln = 0;
  // A large a needs far more than 1000 terms, and gets them: no pause.
  EXPECT_GT(GSER(1e8L, 1e8L - 1, gser, gln, console()), 1000);
  EXPECT_EQ(text(), "Pause in Gser - x less than 0\r\n");
  // A series or fraction that cannot converge (x not a number) stops at the bound.
  const REAL nan = std::numeric_limits<REAL>::quiet_NaN();
  EXPECT_EQ(GSER(100, nan, gser, gln, console()), 1060);
  EXPECT_EQ(GCF(100, nan, gcf, gln, console()), 1060);
  EXPECT_EQ(text(),
            "Pause in Gser - x less than 0\r\n"
            "Pause in Gser - a too large, itmax too small\r\n"
            "Pause in Gcf - a too large, itmax too small\r\n");
}

// Worked out by the series and the fraction as they stood when both stopped
// at 1000 terms: a value that converged within them keeps every bit.
TEST_F(GammaTest, ValuesConvergingWithinAThousandTermsKeepTheirBits) {
  struct Case {
    REAL a, x, q;
  };
  const Case cases[] = {
      {0x8p-4L, 0x9.99999999999999ap-5L, 0xe.08d4cc5c37bc676p-5L},    // 0.5, 0.3
      {0x8p-4L, 0x8p-2L, 0xb.a5e7ddbd7a9b738p-8L},                     // 0.5, 2
      {0xcp-3L, 0x9.99999999999999ap-3L, 0xf.cbdad71651f5168p-5L},     // 1.5, 1.2
      {0xcp-2L, 0xf.fef9db22d0e5604p-2L, 0xf.3f7c962bae0dd38p-6L},     // 3, 3.999
      {0xfp-1L, 0xc.cp+0L, 0xb.2a932f037f66d18p-8L},                   // 7.5, 12.75
      {0xc.4p+1L, 0xa.1p+1L, 0xc.f1c1349cdea7665p-4L},                 // 24.5, 20.125
      {0xc.8p+3L, 0xc.ap+3L, 0xe.4eac76c3e365f32p-5L},                 // 100, 101
      {0xf.ap+6L, 0xf.5p+6L, 0xb.c016750637754e1p-4L},                 // 1000, 980
      {0xf.ap+6L, 0x8.48p+7L, 0xf.b2a419b1ec2f5b1p-9L},                // 1000, 1060
      {0xc.0e6p+10L, 0xc.0eap+10L, 0xf.d8c88e263896af2p-5L},           // 12345.5, 12346.5
      {0x9.c4p+11L, 0x9.858p+11L, 0xf.ff3fd426bfde3eap-4L},            // 20000, 19500
      {0xe.a6p+11L, 0xe.a61p+11L, 0xf.f0526f6426ceddp-5L},             // 30000, 30000.5
      {0x9.c4p+12L, 0x9.c4p+12L, 0xf.fa9b1405c44b63ap-5L},             // 40000, 40000
      {0xc.35p+13L, 0xc.3508p+13L, 0xf.f2384901c859e9fp-5L},           // 1e5, 1e5 + 1
      {0xf.424p+16L, 0xf.55c8p+16L, 0xa.063c02cac233622p-25L},         // 1e6, 1.005e6
      {0x9.8968p+20L, 0x9.8e4ap+20L, 0x8.f60e547af965aa5p-36L},        // 1e7, 1e7 + 2e4
      {0x8p-3L, 0x9p+3L, 0x8.bad7867c4f0b44dp-107L},                   // 1, 72
  };
  for (const Case& c : cases) EXPECT_EQ(Q(c.a, c.x), c.q) << c.a << " " << c.x;
  EXPECT_EQ(text(), "");
}

// scipy.special.gammaincc, worked out apart, for x near a, where the series
// (x < a + 1) and the fraction need the most terms. The series stops at its
// first term below EPS times its sum, but the terms after it fall off slowly
// (by x / (a + n) each), so P comes out low by about 0.3 EPS sqrt(a) of
// itself: allow EPS (1 + sqrt(a)) of P. The fraction is good to about EPS of
// Q: allow 2 EPS. ln Gamma(a) (1.5e8 at a = 10^7) is within about 1e-11, far
// below either.
TEST_F(GammaTest, LargeANearXAgainstIndependentValues) {
  struct Case {
    REAL a, x, q;
  };
  const Case cases[] = {
      {1000, 937L, 0.9785705519498716L},          {1000, 984L, 0.6908048732238681L},
      {1000, 1000L, 0.4957947558197845L},         {1000, 1000.5L, 0.489489289076821L},
      {1000, 1001L, 0.48318854707021375L},        {1000, 1016L, 0.30368960237352777L},
      {1000, 1095L, 0.0017253880928077253L},      {10000, 9800L, 0.9777924561860303L},
      {10000, 9950L, 0.6905821151388174L},        {10000, 10000L, 0.4986701916600448L},
      {10000, 10000.5L, 0.4966755550569483L},     {10000, 10001L, 0.49468106803778145L},
      {10000, 10050L, 0.3076575592974344L},       {10000, 10300L, 0.0014704948963856813L},
      {100000, 99368L, 0.9773431497836327L},      {100000, 99842L, 0.6910571263896025L},
      {100000, 100000L, 0.4995794778896348L},     {100000, 100000.5L, 0.4989486971245578L},
      {100000, 100001L, 0.49831792109029277L},    {100000, 100158L, 0.3083858420293794L},
      {100000, 100949L, 0.0013829976105782615L},  {1000000, 998000L, 0.9773038859932632L},
      {1000000, 999500L, 0.6913744431091847L},    {1000000, 1000000L, 0.4998670192391274L},
      {1000000, 1000000.5L, 0.4996675481737283L}, {1000000, 1000001L, 0.49946807725793246L},
      {1000000, 1000500L, 0.3084495242285028L},   {1000000, 1003000L, 0.0013617406462175913L},
      {1e7L, 9993675L, 0.9772745337363913L},      {1e7L, 9998419L, 0.6914191691263192L},
      {1e7L, 10000000L, 0.4999579477912763L},     {1e7L, 10000000.5L, 0.49989486948059125L},
      {1e7L, 10000001L, 0.49983179117463705L},    {1e7L, 10001581L, 0.3085251599775237L},
      {1e7L, 10009487L, 0.0013534032321362765L},  {1e8L, 99999999L, 0.5000265961521259L},
      {1e8L, 100000001L, 0.49994680769624494L},
  };
  constexpr double kEps = 3e-7;
  for (const Case& c : cases) {
    const double want = static_cast<double>(c.q);
    const double got = static_cast<double>(Q(c.a, c.x));
    const bool series = c.x < c.a + 1;
    const double allowed = series ? (1 - want) * kEps * (1 + std::sqrt(static_cast<double>(c.a))) : want * 2 * kEps;
    EXPECT_NEAR(got, want, allowed) << c.a << " " << c.x << (series ? " series" : " fraction");
  }
  EXPECT_EQ(text(), "");
}

// Terms counted where each needs the most: the series at x = a, the
// fraction at x = a + 1. Both stay within the bound; the series goes past
// 1000 terms from a = 10^5 on, and takes about 1.2 10^4 at a = 10^7.
TEST_F(GammaTest, TermsStayWithinTheBound) {
  struct Case {
    REAL a;
    std::int64_t bound;
  };
  const Case cases[] = {{1e3L, 1189}, {1e4L, 1600}, {1e5L, 2897}, {1e6L, 7000}, {1e7L, 19973}, {1e8L, 61000}};
  for (const Case& c : cases) {
    EXPECT_EQ(gamma_term_bound(c.a), c.bound) << c.a;
    REAL p = 0, q = 0, gln = 0;
    const std::int64_t series = GSER(c.a, c.a, p, gln, console());
    const std::int64_t fraction = GCF(c.a, c.a + 1, q, gln, console());
    EXPECT_LE(series, c.bound) << c.a;
    EXPECT_LE(fraction, c.bound) << c.a;
    if (c.a >= 1e5L) {
      EXPECT_GT(series, 1000) << c.a;
    }
    if (c.a == 1e7L) {
      EXPECT_LT(series, 15000);
    }
  }
  EXPECT_EQ(text(), "");
}

TEST(GammaLn, KnownValues) {
  EXPECT_NEAR(static_cast<double>(GAMMLN(1)), 0.0, 1e-10);
  EXPECT_NEAR(static_cast<double>(GAMMLN(2)), 0.0, 1e-10);
  EXPECT_NEAR(static_cast<double>(GAMMLN(0.5L)), std::log(std::sqrt(M_PI)), 1e-10);
  EXPECT_NEAR(static_cast<double>(GAMMLN(10)), std::log(362880.0), 1e-9);
}

}  // namespace

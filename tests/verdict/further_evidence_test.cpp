// The further counts of the verdict without the error: the F law's tail,
// the F-test of Faber and Kowalski with the noise estimated, and the
// element-wise cross-validation, against values worked out apart with
// numpy and scipy (scipy.stats.f.sf; a plain expectation-maximisation fit
// by full singular value decompositions, run to convergence).
#include "verdict/further_evidence.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

// PRESS comes in units of the largest element squared.
double press_unit(const MATRIX& A, int N, int M) {
  REAL largest = 0;
  for (int i = 1; i <= N; ++i)
    for (int j = 1; j <= M; ++j) largest = std::max(largest, std::fabs(A[i][j]));
  return static_cast<double>(largest * largest);
}

TEST(FurtherEvidence, TailOfTheFLaw) {
  const struct {
    double x, d1, d2, tail;
  } cases[] = {
      {2.5, 3, 10, 0.11903956265827814},      {1.0, 7.3, 150.2, 0.43519019042797752},
      {0.2, 1, 1, 0.73227952719876999},       {1.3, 40.5, 800, 0.10285833490891602},
      {1e-3, 5, 5, 0.99999982882173089},      {60, 2.5, 3.5, 0.0018288030554714711},
  };
  for (const auto& c : cases) EXPECT_NEAR(f_tail(c.x, c.d1, c.d2), c.tail, 1e-12 * std::max(1.0, c.tail)) << c.x;
  EXPECT_EQ(f_tail(0, 3, 4), 1);
  EXPECT_EQ(f_tail(-1, 3, 4), 1);
  EXPECT_EQ(f_tail(INFINITY, 3, 4), 0);
}

// Eigenvalues of n x p data; the tail probabilities of F for k = 1..p-1 and
// the largest k below 0.01.
TEST(FurtherEvidence, FaberKowalskiFromTheSmallestUp) {
  const struct {
    std::vector<REAL> eigenvalues;
    std::int32_t N, M, count;
    std::vector<double> P;
  } cases[] = {
      // A small eigenvalue on a small residual still stands out: 4.
      {{0, 147.59619, 58.08692, 0.018710522, 0.012461118, 6.4730350e-4, 1.7115887e-4},
       9, 6, 4, {0, 0.000418719, 3.50421e-31, 0.321645, 0.0027886, 0.43394}},
      {{0, 400, 30, 20, 10}, 10, 4, 1, {0, 2.11951e-05, 0.705954, 0.656218}},
      // The same, 4 x 10: only the shorter and longer sides count.
      {{0, 400, 30, 20, 10}, 4, 10, 1, {0, 2.11951e-05, 0.705954, 0.656218}},
      {{0, 900, 200, 150, 148, 130, 120, 110, 100, 95, 90}, 30, 10, 1,
       {0, 3.73317e-09, 0.947903, 0.993456, 0.981374, 0.984593, 0.977745, 0.968169, 0.956134, 0.917967}},
  };
  for (const auto& c : cases) {
    const FaberKowalski f = faber_kowalski_count(c.eigenvalues, c.N, c.M);
    EXPECT_EQ(f.count, c.count) << c.eigenvalues[1];
    ASSERT_EQ(f.P.size(), c.P.size());
    for (std::size_t k = 1; k < c.P.size(); ++k) EXPECT_NEAR(f.P[k], c.P[k], 2e-5 * c.P[k] + 1e-12) << k;
  }
  // Nothing to set a component against.
  EXPECT_EQ(faber_kowalski_count({0, 5}, 1, 7).count, 0);
  EXPECT_EQ(faber_kowalski_count({0, 0, 0, 0}, 3, 5).count, 0);
}

// 9 x 6 data of rank 2, 3 sin(i) cos(j) + 2 cos(2i + j), with 0.05 sin(7ij +
// 1.3) on top; the segments are the diagonals (i - j) mod 7. PRESS of 0 to 2
// components worked out apart: 205.71510671471, 103.427308693985,
// 0.105202700805112, least at 2 (0.340997846816174 at 3).
TEST(FurtherEvidence, ElementWiseCrossValidation) {
  MATRIX A(10, 7), T(7, 7);
  for (int i = 1; i <= 9; ++i)
    for (int j = 1; j <= 6; ++j)
      A[i][j] = 3 * std::sin(REAL(i)) * std::cos(REAL(j)) + 2 * std::cos(REAL(2 * i + j)) +
                0.05L * std::sin(REAL(7 * i * j) + 1.3L);
  // The data's right singular vectors (numpy), the start of the fits.
  const double V[6][3] = {{0.33496426, 0.48201168, 0.43119304},   {-0.23727848, 0.51213476, 0.2083946},
                          {-0.57720659, 0.07729921, -0.46620338}, {-0.39422577, -0.43245426, 0.31581969},
                          {0.15400648, -0.53939442, 0.40852586},  {0.56497652, -0.14643952, -0.53540939}};
  for (int b = 1; b <= 6; ++b)
    for (int c = 1; c <= 3; ++c) T[b][c] = V[b - 1][c - 1];
  const CrossValidation cv = cross_validate(A, T, 9, 6, 0, 3);
  ASSERT_TRUE(cv.complete);
  EXPECT_EQ(cv.best, 2);
  ASSERT_EQ(cv.press.size(), 4u);
  const double unit = press_unit(A, 9, 6);
  const double expected[] = {205.71510671471, 103.427308693985, 0.105202700805112, 0.340997846816174};
  for (int r = 0; r <= 2; ++r) {
    EXPECT_TRUE(cv.whole[r]) << r;
    EXPECT_NEAR(cv.press[r] * unit, expected[r], 1e-6 * expected[r]) << r;
  }
  // Three components pass the least PRESS before all seven segments are
  // fitted: they are given up there, with a part of their sum.
  EXPECT_FALSE(cv.whole[3]);
  EXPECT_GE(cv.press[3], cv.press[2]);
  EXPECT_LT(cv.press[3] * unit, expected[3]);
  // Tried alone, three components are fitted in every segment.
  const CrossValidation three = cross_validate(A, T, 9, 6, 3, 3);
  ASSERT_TRUE(three.complete);
  EXPECT_TRUE(three.whole[0]);
  EXPECT_EQ(three.best, 3);
  EXPECT_NEAR(three.press[0] * unit, expected[3], 0.05 * expected[3]);
  // The same data transposed give the same counts.
  MATRIX B(7, 10);
  for (int i = 1; i <= 9; ++i)
    for (int j = 1; j <= 6; ++j) B[j][i] = A[i][j];
  EXPECT_EQ(cross_validate(B, T, 6, 9, 1, 3).best, 2);
  // A budget too small for one fit gives no count, and says so.
  const CrossValidation poor = cross_validate(A, T, 9, 6, 1, 3, 500);
  EXPECT_FALSE(poor.complete);
  EXPECT_LE(poor.work, 500);
}

// Five components of 21 x 12 data of rank 5 (sums of sines and cosines,
// 0.01 sin(7ij + 1.3) on top): an odd number of rows and more than four
// components, where the fits take rows in pairs and components in fours
// with the rest one by one. The fits settle in about a hundred rounds; run
// to their fixed point (numpy, a whole singular value decomposition a
// round) the segments' PRESS sums to 0.0352002980205, and the rounds'
// settling rule stops 1.3E-5 of that short of it (numpy).
TEST(FurtherEvidence, CrossValidationOfFiveComponentsOnOddRows) {
  MATRIX A(22, 13), T(13, 6);
  for (int i = 1; i <= 21; ++i)
    for (int j = 1; j <= 12; ++j) {
      const REAL x = i, y = j;
      A[i][j] = 3 * std::sin(x) * std::cos(y) + 2 * std::cos(2 * x + y) + std::sin(3 * x - y) +
                1.5L * std::cos(0.5L * x) * std::sin(0.7L * y + 1) + std::cos(1.3L * x + 0.4L * y * y) +
                0.01L * std::sin(7 * x * y + 1.3L);
    }
  // The data's right singular vectors (numpy), the start of the fits.
  const double V[12][5] = {
      {-0.2077141212701295, -0.41257400611332484, 0.386619647287203, 0.01859572935434526, 0.23246952661165618},
      {0.1789100707396224, -0.38219641810908234, 0.02768679435792459, -0.09542267467937929, -0.3631152938940682},
      {0.4160578134308302, 0.02231280561296295, -0.2036381603280575, 0.26771787282556286, -0.2154500941449256},
      {0.24035725872369698, 0.2959476368560662, -0.30518996673404614, -0.6129331305559472, 0.4428318467167948},
      {-0.12730968863059414, 0.4261286498629056, -0.1718341739944079, 0.09671237421285481, -0.16871208720797493},
      {-0.41590145120662064, 0.09090566844836065, -0.15445346080366623, -0.26251432285531406, -0.47850783598023494},
      {-0.3227261433934862, -0.2650813051472229, -0.18919513249885, -0.14686127796623322, 0.01962705387577457},
      {0.05885491060666487, -0.38975297589425495, -0.1297235385410667, -0.09395386928247475, 0.19627848906021278},
      {0.3771394907347805, -0.21612324439649172, 0.0993290034006348, -0.3680575004801909, -0.00135820561347658},
      {0.3558622109392423, 0.12388137915601571, 0.4349828955604438, -0.28654540660314115, -0.44464183801622825},
      {0.01625695826144513, 0.3335588332257793, 0.5654405817432595, 0.16180488661355732, 0.2694631977671002},
      {-0.3578212948799918, 0.10140723331776258, 0.3005727902929122, -0.43677316476318523, -0.07016984565709586}};
  for (int b = 1; b <= 12; ++b)
    for (int c = 1; c <= 5; ++c) T[b][c] = V[b - 1][c - 1];
  const CrossValidation cv = cross_validate(A, T, 21, 12, 5, 5);
  ASSERT_TRUE(cv.complete);
  ASSERT_EQ(cv.press.size(), 1u);
  const double unit = press_unit(A, 21, 12), expected = 0.0352002980205;
  EXPECT_NEAR(cv.press[0] * unit, expected, 1e-4 * expected);
}

// Eight components of 31 x 22 data of rank 9, sum over k = 1..9 of (10 / k)
// sin(0.37 k i + 0.5 k) cos(0.23 k j^2 / 22 + 0.3 k), with 0.01 sin(7ij +
// 1.3) on top, the fits started from the first eight unit vectors: eight
// components and eight loadings side by side where the processor allows,
// rows left over past the fours, loadings past the eights in fours and
// twos. Run to their fixed point (numpy, a whole singular value
// decomposition a round, from the data's singular vectors) the segments'
// PRESS sums to 190.408238734; the rounds from the unit vectors settle
// 3E-8 of that short of it (numpy).
TEST(FurtherEvidence, CrossValidationOfEightComponents) {
  MATRIX A(32, 23), T(23, 9);
  for (int i = 1; i <= 31; ++i)
    for (int j = 1; j <= 22; ++j) {
      const REAL x = i, y = j;
      REAL a = 0.01L * std::sin(7 * x * y + 1.3L);
      for (int k = 1; k <= 9; ++k)
        a += (10.0L / k) * std::sin(k * 0.37L * x + 0.5L * k) * std::cos(k * 0.23L * y * y / 22 + 0.3L * k);
      A[i][j] = a;
    }
  for (int b = 1; b <= 22; ++b)
    for (int c = 1; c <= 8; ++c) T[b][c] = b == c ? 1 : 0;
  const CrossValidation cv = cross_validate(A, T, 31, 22, 8, 8);
  ASSERT_TRUE(cv.complete);
  ASSERT_EQ(cv.press.size(), 1u);
  const double unit = press_unit(A, 31, 22), expected = 190.408238734;
  EXPECT_NEAR(cv.press[0] * unit, expected, 1e-6 * expected);
}

// Malinowski's count: the least of IND(k) = sqrt(sum over j > k of L_j /
// (n (p - k))) / (p - k)^2, worked out with numpy (the IND values in the
// comments); the short side may lie along either dimension.
TEST(FurtherEvidence, MalinowskiIndicatorFunction) {
  const struct {
    std::vector<REAL> eigenvalues;
    std::int32_t N, M, count;
  } cases[] = {
      // 0.0509, 0.0248, 0.0559, 0.2236
      {{0, 100, 50, 1, 1, 1}, 20, 5, 2},
      {{0, 100, 50, 1, 1, 1}, 5, 20, 2},
      // 0.1494, 0.3780: the first, though the second eigenvalue is large
      {{0, 9, 4, 1}, 3, 7, 1},
      // 0.0061, 0.0092, ...: a slowly falling tail takes nothing past the first
      {{0, 5, 0.9L, 0.8L, 0.7L, 0.6L, 0.5L}, 6, 30, 1},
      // 0.809, 0.359, 0.0179, 0.0261, ...: three over decades
      {{0, 1e6L, 1e5L, 1e4L, 3, 2.5L, 2, 1.5L, 1}, 8, 10, 3},
      // one value to weigh: 1
      {{0, 2, 1}, 2, 2, 1},
      // nothing to weigh
      {{0, 2}, 1, 5, 0},
      {{0, 0, 0}, 4, 2, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(malinowski_count(c.eigenvalues, c.N, c.M), c.count) << c.N << " x " << c.M;
}

// The F-test's tail for a component past its last (the smaller dimension
// and beyond) is 1: nothing is left to set it against.
TEST(FurtherEvidence, FaberKowalskiTailPastTheLastComponent) {
  const FaberKowalski f = faber_kowalski_count({0, 400, 30, 20, 10}, 10, 4);
  EXPECT_NEAR(faber_kowalski_tail(f, 1), 2.11951e-05, 1e-9);
  EXPECT_NEAR(faber_kowalski_tail(f, 3), 0.656218, 1e-6);
  EXPECT_EQ(faber_kowalski_tail(f, 4), 1.0);
  EXPECT_EQ(faber_kowalski_tail(f, 0), 1.0);
}

}  // namespace

namespace {

// r (n + p - r) parameters against the n p - ceil(n p / 7) elements a fold
// keeps, worked out by hand.
TEST(FurtherEvidence, MostComponentsACrossValidationCanFit) {
  const struct {
    std::int32_t N, M, most;
  } cases[] = {{5, 4, 2}, {4, 5, 2}, {9, 6, 4}, {60, 60, 37}, {3, 2, 1}, {1, 7, 0}};
  for (const auto& c : cases) EXPECT_EQ(most_components_to_cross_validate(c.N, c.M), c.most) << c.N << " x " << c.M;
}

}  // namespace

// The data scaled by row and column to noise of one level, against the same
// steps worked out apart in numpy (double precision, numpy's SVD): Bartlett's
// test of the residual's levels, the Sinkhorn scaling, the fixed point of the
// count, its budget.
#include "verdict/even_noise.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "analysis/qor.h"
#include "common/pause.h"
#include "common/workers.h"
#include "numeric/eigen.h"
#include "verdict_matrices.h"

namespace {

using verdict_test::Decomposed;
using verdict_test::NoPause;
using verdict_test::small_matrix;
using verdict_test::uneven_matrix;

// Agreement in the leading digits, also for the tiny P of levels that differ.
void expect_near_relative(double expected, REAL found, double share) {
  EXPECT_NEAR(static_cast<double>(found), expected, std::fabs(expected) * share) << "expected " << expected;
}

// Bartlett's test of rows and columns after k components: levels that differ
// (the uneven matrix's loud rows; a signal not yet fitted) and levels that
// do not (the pattern past the small matrix's component, which its
// components take up unevenly only to the leverages' share).
TEST(EvenNoise, LevelsAsWorkedOutApart) {
  const struct {
    bool uneven;
    int N, M, k;
    double rows, columns;
  } cases[] = {
      {true, 12, 9, 0, 0.5576420729053337, 0.99992145260187},
      {true, 12, 9, 2, 2.0742819088712603e-11, 2.0290109320399265e-08},
      {true, 12, 9, 3, 0.4816682327002243, 0.16238606781970294},
      {true, 9, 12, 2, 0.004026883730378706, 1.087328660457426e-05},
      {true, 8, 10, 1, 5.940002324550992e-11, 3.739602404415612e-05},
      {false, 12, 9, 0, 2.1786654986812485e-10, 8.616551464538666e-11},
      {false, 12, 9, 2, 0.9246713969763481, 0.8893303057650757},
      {false, 12, 9, 3, 0.9909207353710883, 0.9997111571576587},
      {false, 9, 12, 2, 0.9638294404988108, 0.8866465599619707},
      {false, 8, 10, 1, 0.998899558394798, 0.999999659512701},
  };
  Workers workers(1);
  NoPause pause;
  for (const auto& c : cases) {
    const Decomposed d(c.uneven ? uneven_matrix(c.N, c.M) : small_matrix(c.N, c.M), c.N, c.M, workers);
    const LevelsTest t = residual_levels(d.data(), c.k, pause, workers);
    SCOPED_TRACE(testing::Message() << (c.uneven ? "uneven " : "small ") << c.N << " x " << c.M << " after " << c.k);
    expect_near_relative(c.rows, t.rows, 1e-6);
    expect_near_relative(c.columns, t.columns, 1e-6);
    EXPECT_EQ(t.least(), std::min(t.rows, t.columns));
  }
}

// The scaled data and the products of the scales (the scales themselves
// are settled only up to a common factor): numpy's Sinkhorn run for 200
// rounds from scales of 1.
TEST(EvenNoise, ScalingAsWorkedOutApart) {
  const struct {
    int N, M, k;
    double x1y1, x3yM, scaled32;
  } cases[] = {
      {12, 9, 2, 18.445654314174746 * 0.41619094321708244, 56.02395036665643 * 0.31441159889137316,
       28.660953326547055},
      {9, 12, 3, 1787.8796076181952 * 0.33844526571150096, 1500.0346072512511 * 0.2710380760256327,
       117.44111170811094},
  };
  Workers workers(1);
  for (const auto& c : cases) {
    const Decomposed d(uneven_matrix(c.N, c.M), c.N, c.M, workers);
    const EvenedData e = even_out(d.data(), c.k, workers);
    SCOPED_TRACE(testing::Message() << c.N << " x " << c.M << " after " << c.k);
    expect_near_relative(c.x1y1, e.rows[1] * e.columns[1], 1e-8);
    expect_near_relative(c.x3yM, e.rows[3] * e.columns[static_cast<std::size_t>(c.M)], 1e-8);
    expect_near_relative(c.scaled32, e.scaled[3][2], 1e-8);
    EXPECT_LE(e.rounds, kMostSinkhornRounds);
  }
}

// No residual at all (the data are their one component): no row or column
// has a level to weigh, the test says nothing, the scales stay at 1.
TEST(EvenNoise, ExactFitHasNoLevels) {
  Workers workers(1);
  NoPause pause;
  MATRIX A(7, 9);
  for (int i = 1; i <= 6; ++i)
    for (int j = 1; j <= 8; ++j) A[i][j] = REAL(i) * REAL(j + 1);
  const Decomposed d(std::move(A), 6, 8, workers);
  const LevelsTest t = residual_levels(d.data(), 1, pause, workers);
  EXPECT_EQ(t.least(), 1);
  const EvenedData e = even_out(d.data(), 1, workers);
  for (int i = 1; i <= 6; ++i) EXPECT_EQ(e.rows[i], 1);
  EXPECT_EQ(e.scaled[2][3], d.A[2][3]);
}

// The fixed point's budget: each count is paid before it is made; one count
// short of a second leaves the walk incomplete at the first; none at all
// leaves nothing tried. Counts outside 0 .. MIN - 2 are not tried.
TEST(EvenNoise, CountAndItsBudget) {
  Workers workers(1);
  NoPause pause;
  const Decomposed d(uneven_matrix(12, 9), 12, 9, workers);
  const EvenedCount none = evened_count(d.data(), 2, 0, pause, workers);
  EXPECT_FALSE(none.complete);
  EXPECT_FALSE(none.found);
  EXPECT_TRUE(none.tried.empty());
  const EvenedCount full = evened_count(d.data(), 2, kEvenedNoiseBudget, pause, workers);
  EXPECT_TRUE(full.complete);
  ASSERT_FALSE(full.tried.empty());
  EXPECT_EQ(full.tried.front(), 2);
  if (full.tried.size() > 1) {
    const EvenedCount short_of_second =
        evened_count(d.data(), 2, evened_count_work(12, 9, 2) + evened_count_work(12, 9, full.tried[1]) - 1, pause,
                     workers);
    EXPECT_FALSE(short_of_second.complete);
    EXPECT_EQ(short_of_second.tried.size(), 1u);
  }
  EXPECT_TRUE(evened_count(d.data(), 8, kEvenedNoiseBudget, pause, workers).tried.empty());  // 8 > MIN - 2 = 7
  // The work counted grows with the count and the size.
  EXPECT_LT(evened_count_work(12, 9, 1), evened_count_work(12, 9, 2));
  EXPECT_LT(evened_count_work(12, 9, 2), evened_count_work(24, 18, 2));
}

// The same scaling and count on any number of threads.
TEST(EvenNoise, SameOnAnyThreadCount) {
  NoPause pause;
  Workers one(1), four(4);
  const Decomposed a(uneven_matrix(40, 30), 40, 30, one), b(uneven_matrix(40, 30), 40, 30, four);
  const EvenedCount x = evened_count(a.data(), 2, kEvenedNoiseBudget, pause, one);
  const EvenedCount y = evened_count(b.data(), 2, kEvenedNoiseBudget, pause, four);
  EXPECT_EQ(x.tried, y.tried);
  EXPECT_EQ(x.eigenvalues, y.eigenvalues);
  EXPECT_EQ(residual_levels(a.data(), 3, pause, one).rows, residual_levels(b.data(), 3, pause, four).rows);
}

}  // namespace

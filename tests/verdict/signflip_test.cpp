// The random-sign draws of the rank verdict against the same draws worked
// out apart in numpy (double precision, numpy's SVD, the generator written
// again in Python from its description): the flipped matrices' singular
// values, the count, its budget, and the same results on any thread count.
#include "verdict/signflip.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <tuple>
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

// The largest flipped singular value k + 1 after k components, both
// orientations and both scales, and the drawn noise edge of deviations
// 0.01 + 0.05 |A|.
TEST(Signflip, DrawsAsWorkedOutApart) {
  const struct {
    int N, M, k;
    ResidualScale scale;
    double expected;
  } cases[] = {
      {6, 4, 0, ResidualScale::even, 4.9154130342681865},     {6, 4, 1, ResidualScale::even, 0.24650471703706434},
      {6, 4, 1, ResidualScale::cautious, 0.30893523974384296}, {6, 4, 2, ResidualScale::cautious, 0.33390516298647804},
      {4, 6, 0, ResidualScale::even, 5.0663275454330154},     {4, 6, 1, ResidualScale::even, 0.270113554480345},
      {4, 6, 1, ResidualScale::cautious, 0.39369753337693014}, {4, 6, 2, ResidualScale::cautious, 0.3539520414095977},
  };
  Workers workers(1);
  NoPause pause;
  // The draws are made in double: data far beyond its range, scaled by a
  // power of two, give the same values so scaled.
  for (const int exponent : {0, 3000, -3000})
    for (const auto& c : cases) {
      MATRIX A = small_matrix(c.N, c.M);
      for (int i = 1; i <= c.N; ++i)
        for (int j = 1; j <= c.M; ++j) A[i][j] = std::ldexp(A[i][j], exponent);
      const Decomposed d(std::move(A), c.N, c.M, workers);
      const double got =
          static_cast<double>(std::ldexp(signflip_null(d.data(), c.k, c.scale, pause, workers), -exponent));
      EXPECT_NEAR(got, c.expected, 1e-12 * c.expected) << c.N << " x " << c.M << " after " << c.k << ", 2^" << exponent;
    }
  for (const auto& [N, M, edge] : {std::tuple{6, 4, 0.29707173775362145}, std::tuple{4, 6, 0.2610422955874395}}) {
    const MATRIX A = small_matrix(N, M);
    MATRIX SD(N + 1, M + 1);
    for (int i = 1; i <= N; ++i)
      for (int j = 1; j <= M; ++j) SD[i][j] = (0.01L + 0.05L * std::fabs(A[i][j])) * (0.01L + 0.05L * std::fabs(A[i][j]));
    EXPECT_NEAR(static_cast<double>(drawn_noise_edge(SD, N, M, pause, workers)), edge, 1e-12 * edge) << N;
  }
}

// The count on 20 x 12 data of two strong components and weaker ones over
// noise four times louder in every third row: components 1 and 2 stand
// above their draws (19.69 and 16.05 against 12.62 and 10.73), component 3
// does not (3.048 against 3.138). A budget of one test stops it after the
// first; the limit stops it where asked.
TEST(Signflip, CountAndItsBudget) {
  Workers workers(1);
  NoPause pause;
  const Decomposed d(uneven_matrix(20, 12), 20, 12, workers);
  std::int64_t budget = kSignflipBudget;
  const SignflipCount all = signflip_count(d.data(), 11, budget, pause, workers);
  EXPECT_EQ(all.count, 2);
  EXPECT_TRUE(all.complete);
  EXPECT_EQ(budget, kSignflipBudget - signflip_test_work(20, 12, 0) - signflip_test_work(20, 12, 1) -
                        signflip_test_work(20, 12, 2));
  budget = signflip_test_work(20, 12, 0);
  const SignflipCount cut = signflip_count(d.data(), 11, budget, pause, workers);
  EXPECT_EQ(cut.count, 1);
  EXPECT_FALSE(cut.complete);
  EXPECT_EQ(budget, 0);
  budget = kSignflipBudget;
  const SignflipCount limited = signflip_count(d.data(), 1, budget, pause, workers);
  EXPECT_EQ(limited.count, 1);
  EXPECT_TRUE(limited.complete);
}

// The work counted by hand for 6 x 4: the product's triangle 6 x 4 x 5 / 2,
// the reduction 2/3 x 4^3 (42 in whole numbers), the draw 6 x 4; a test
// after one component adds three passes over the data for each of its two
// terms.
TEST(Signflip, WorkCounted) {
  EXPECT_EQ(sign_draw_work(6, 4), 60 + 42 + 24);
  EXPECT_EQ(sign_draw_work(4, 6), 60 + 42 + 24);
  EXPECT_EQ(signflip_test_work(6, 4, 1), 19 * 126 + 3 * 24 * 2);
}

// Every loop shared out on two or three threads, and the draws made side by
// side, give the one thread's values, counts and budgets left.
TEST(Signflip, SameOnAnyThreadCount) {
  std::vector<REAL> results[3];
  for (int threads = 1; threads <= 3; ++threads) {
    Workers workers(threads);
    workers.set_work_per_part(0);
    NoPause pause;
    for (const auto& [N, M] : {std::pair{30, 20}, std::pair{20, 30}}) {
      const Decomposed d(uneven_matrix(N, M), N, M, workers);
      for (int k = 0; k < 3; ++k)
        for (ResidualScale scale : {ResidualScale::even, ResidualScale::cautious})
          results[threads - 1].push_back(signflip_null(d.data(), k, scale, pause, workers));
      std::int64_t budget = kSignflipBudget;
      results[threads - 1].push_back(signflip_count(d.data(), N, budget, pause, workers).count);
      results[threads - 1].push_back(static_cast<REAL>(budget));
    }
    if (threads > 1) {
      EXPECT_GT(workers.shared_loops(), 100);
    }
  }
  EXPECT_EQ(results[0], results[1]);
  EXPECT_EQ(results[0], results[2]);
}

}  // namespace

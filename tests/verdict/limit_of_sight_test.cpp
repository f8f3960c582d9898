// The limit of sight against the phase transition worked out apart: sigma
// (N M)^(1/4), and the signal whose singular value lies at the 99 % point of
// the noise found by scipy's root finder on the location
// sqrt((s^2 + sigma^2 N)(s^2 + sigma^2 M)) / s.
#include "verdict/limit_of_sight.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr REAL kTracyWidom99 = 2.0234L;

TEST(LimitOfSight, PhaseTransitionAndThe99PercentPoint) {
  const struct {
    double sigma;
    int N, M;
    double unseen, clear, point;
  } cases[] = {
      {0.002, 12, 20, 0.007871958685061721, 0.011843806725804353, 0.01719448776156921},
      {1.0, 40, 40, 6.324555320336759, 8.580591674507273, 13.24227486808459},
      {3e-5, 100, 10, 0.00016870239755710473, 0.00024513611933237674, 0.00041541679332078157},
  };
  for (const auto& c : cases) {
    const LimitOfSight limit = limit_of_sight(c.sigma, c.N, c.M, kTracyWidom99);
    EXPECT_NEAR(static_cast<double>(limit.unseen), c.unseen, 1e-14 * c.unseen) << c.N << " x " << c.M;
    EXPECT_NEAR(static_cast<double>(limit.clear), c.clear, 1e-11 * c.clear) << c.N << " x " << c.M;
    EXPECT_NEAR(static_cast<double>(signal_seen_at(c.point, c.sigma, c.N, c.M)), c.clear, 1e-11 * c.clear);
    // At or below the noise edge only the transition itself.
    const REAL edge = c.sigma * (std::sqrt(REAL(c.N)) + std::sqrt(REAL(c.M)));
    EXPECT_NEAR(static_cast<double>(signal_seen_at(edge, c.sigma, c.N, c.M)), c.unseen, 1e-14 * c.unseen);
    EXPECT_NEAR(static_cast<double>(signal_seen_at(edge / 2, c.sigma, c.N, c.M)), c.unseen, 1e-14 * c.unseen);
  }
  // Nothing to say without noise or for a single row.
  EXPECT_EQ(limit_of_sight(0, 12, 20, kTracyWidom99).unseen, 0);
  EXPECT_EQ(limit_of_sight(1, 1, 20, kTracyWidom99).unseen, 0);
}

}  // namespace

// The picture's axes: decade labels, steps, the decades that hold a series,
// and which points a long series shows.
#include "outputs/picture_layout.h"

#include <gtest/gtest.h>

namespace {

TEST(PictureLayout, DecadeLabels) {
  const struct {
    REAL exponent;
    const char* label;
  } cases[] = {{0, "1"},         {1, "10"},         {5, "100000"},   {6, "1.0E+06"}, {-1, "0.1"},
               {-4, "0.0001"},   {-5, "1.0E-05"},   {123, "1.0E+123"}, {-4000, "1.0E-4000"}};
  for (const auto& c : cases) EXPECT_EQ(decade_tick(c.exponent), c.label) << static_cast<double>(c.exponent);
}

// Plain ticks carry the decimals of the axis's step; far from 1 they are
// scientific, as RS writes them.
TEST(PictureLayout, PlainTicks) {
  const struct {
    REAL lo, hi, v;
    const char* label;
  } cases[] = {
      {0, 1.05L, 0.4L, "0.4"},    {0, 1.05L, 0, "0"},          {0, 1.05L, 1, "1.0"},
      {-0.15L, 0.15L, -0.05L, "-0.05"}, {0, 8000, 3000, "3000"},    {0, 0.0016L, 0.0002L, "0.0002"},
      {0, 0.0004L, 0.0001L, "1.0E-04"}, {0, 2e5L, 1e5L, "1.0E+05"},
  };
  for (const auto& c : cases) {
    Axis a;
    a.lo = c.lo;
    a.hi = c.hi;
    EXPECT_EQ(plain_ticks(a)(c.v), c.label) << static_cast<double>(c.hi);
  }
}

TEST(PictureLayout, StepsAndDecades) {
  const struct {
    REAL range, step;
  } steps[] = {{8, 1}, {10, 2}, {30, 5}, {0.8L, 0.1L}, {100, 20}, {0, 1}, {-1, 1}};
  for (const auto& c : steps) EXPECT_EQ(static_cast<double>(nice_step(c.range)), static_cast<double>(c.step));
  const Axis a = log_axis({0.0025L, 3.5L, 0, -2, 1e4000L * 1e4000L});  // 0, negatives and infinity do not count
  EXPECT_TRUE(a.log);
  EXPECT_EQ(a.lo, -3);
  EXPECT_EQ(a.hi, 1);
  const Axis one = log_axis({10, 10});
  EXPECT_EQ(one.hi - one.lo, 1);
}

TEST(PictureLayout, LongSeriesShowEveryKthPointAndTheLast) {
  std::int64_t k = 0;
  EXPECT_EQ(shown_indices(3, k), (std::vector<std::int64_t>{1, 2, 3}));
  EXPECT_EQ(k, 1);
  const std::vector<std::int64_t> shown = shown_indices(601, k);
  EXPECT_EQ(k, 3);
  EXPECT_EQ(shown.size(), 201u);
  EXPECT_EQ(shown.back(), 601);
  EXPECT_EQ(shown_indices(0, k), std::vector<std::int64_t>{});
}

}  // namespace

// The two tests with the error taken together: Chiani's tail of the
// Tracy-Widom law, the largest noise value's tail and Fisher's combination,
// against scipy (gamma.sf, chi2.sf) and Johnstone's centring worked by hand.
#include "verdict/combined_evidence.h"

#include <gtest/gtest.h>

#include <limits>

#include "common/pause.h"

namespace {

// GAMMQ stops its series and fractions at a relative step of 3E-7, so the
// tails hold to about that.
constexpr double kGammaPrecision = 1e-6;

// Counts the pauses: none may come from the tails the verdict asks for.
struct CountingPause final : Pause {
  int pauses = 0;
  void show_lines_and_wait(std::span<const std::string_view>) override { ++pauses; }
};

TEST(CombinedEvidence, TracyWidomTail) {
  const struct {
    double x, tail;
  } cases[] = {{-3, 0.9300689553785249},   {-1.2685, 0.5000050028817054}, {0, 0.1687936011440118},
               {0.9793, 0.05000707188896969}, {2.0234, 0.009833002648153443}, {5, 2.060194114486181e-05},
               {-20, 1}};
  CountingPause pause;
  for (const auto& c : cases)
    EXPECT_NEAR(static_cast<double>(tracy_widom_tail(c.x, pause)), c.tail, 1e-12 + kGammaPrecision * c.tail) << c.x;
  EXPECT_EQ(tracy_widom_tail(std::numeric_limits<REAL>::infinity(), pause), 0);
  EXPECT_EQ(tracy_widom_tail(std::numeric_limits<REAL>::quiet_NaN(), pause), 1);
  for (int i = -100; i <= 400; ++i) tracy_widom_tail(i / 10.0L, pause);
  EXPECT_EQ(pause.pauses, 0);
}

// 10 x 10: centre (3 + sqrt(10))^2 = 37.974, scale 5.3368; 6.5 (or 6.5E-3
// with sigma 1E-3) lies 0.8013 scales above the centre.
TEST(CombinedEvidence, LargestNoiseTail) {
  const LargestNoiseLaw law = largest_noise_law(10, 10);
  EXPECT_NEAR(static_cast<double>(law.centre), 37.97366596101028, 1e-12);
  EXPECT_NEAR(static_cast<double>(law.scale), 5.336804152963517, 1e-12);
  const LargestNoiseLaw tall = largest_noise_law(40, 25);
  EXPECT_NEAR(static_cast<double>(tall.centre), 126.44997998398398, 1e-11);
  EXPECT_NEAR(static_cast<double>(tall.scale), 8.000400727661704, 1e-12);
  CountingPause pause;
  EXPECT_NEAR(static_cast<double>(largest_noise_tail(6.5L, 1, 10, 10, pause)), 0.06384946123926397, kGammaPrecision * 0.064);
  EXPECT_NEAR(static_cast<double>(largest_noise_tail(6.5e-3L, 1e-3L, 10, 10, pause)), 0.06384946123926397, kGammaPrecision * 0.064);
  EXPECT_NEAR(static_cast<double>(largest_noise_tail(5, 1, 10, 10, pause)), 0.8329558595868928, kGammaPrecision);
  EXPECT_EQ(largest_noise_tail(1, 0, 10, 10, pause), 0);
}

TEST(CombinedEvidence, FisherCombination) {
  const struct {
    double p1, p2, combined;
  } cases[] = {{0.2, 0.2, 0.16875503299472808}, {1, 0.01, 0.05605170185988095},
               {1e-3, 1e-3, 1.4815510557964283e-05}, {0.5, 1, 0.8465735902799727}, {1, 1, 1}, {0, 0.5, 0}};
  for (const auto& c : cases)
    EXPECT_NEAR(static_cast<double>(fisher_combination(c.p1, c.p2)), c.combined, 1e-15 + 1e-12 * c.combined)
        << c.p1 << " " << c.p2;
}

}  // namespace

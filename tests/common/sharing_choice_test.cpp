#include "common/sharing_choice.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace {

// A machine on which a loop of `work` updates takes work / rate seconds:
// rate_alone on the calling thread, rate_shared shared, and on which the
// process has `processors` busy over a stretch of shared loops. Runs
// `loops` loops that could be shared and returns the choice's decisions,
// one letter a loop: S shared, A alone.
struct Machine {
  double alone, shared, processors;
};
std::string pace(SharingChoice& choice, Machine m, int loops, std::int64_t work = 1000000) {
  std::string ways;
  for (int i = 0; i < loops; ++i) {
    const bool shared = choice.share_next();
    ways += shared ? 'S' : 'A';
    choice.record(shared, work, static_cast<double>(work) / (shared ? m.shared : m.alone));
    if (choice.stretch_ended()) choice.end_stretch(choice.sharing() ? m.processors : 1.0);
  }
  return ways;
}

std::size_t count(const std::string& ways, char way) {
  return static_cast<std::size_t>(std::count(ways.begin(), ways.end(), way));
}

// Loops of 1 ms alone, two threads. Where the shared loops keep both busy
// no trial is made; otherwise the first trial comes after 0.25 s of loops.
TEST(SharingChoice, KeepsSharingWhereItPaysAndLeavesItWhereItDoesNot) {
  const struct {
    Machine m;
    bool shares;
    bool tried;
  } cases[] = {
      {{1e9, 1.8e9, 1.9}, true, false},   // an idle machine
      {{1e9, 1.8e9, 1.5}, true, true},    // busy enough to try, sharing pays
      {{1e9, 1.12e9, 1.0}, true, true},   // just above the gain asked for
      {{1e9, 1.08e9, 1.0}, false, true},  // too little gain for twice the processors
      {{1e9, 0.9e9, 1.0}, false, true},   // a fixed share beside another session's work
      {{0.67e9, 0.9e9, 1.0}, true, true}, // busy processes of the same share beside
  };
  for (const auto& c : cases) {
    SharingChoice choice(2);
    const std::string ways = pace(choice, c.m, 5000);
    EXPECT_EQ(choice.trials() > 0, c.tried) << c.m.shared << " " << c.m.processors;
    EXPECT_EQ(choice.sharing(), c.shares) << c.m.shared << " " << c.m.processors;
    // Before the first stretch ends every loop is shared.
    EXPECT_EQ(ways.substr(0, 200), std::string(200, 'S')) << c.m.shared;
    if (!c.tried) {
      EXPECT_EQ(count(ways, 'A'), 0U);
    }
  }
}

// A trial takes the two ways in turns of 25 ms, beginning with the one not
// taken, and ends once each has its time and loops.
TEST(SharingChoice, ATrialTakesTurnsAndEndsWhenBothWaysHaveTheirTime) {
  SharingChoice choice(2);
  // Loops of 2^20 updates, 2^-11 s shared and 2^-10 s alone (sums exact):
  // 0.25 s of loops is 512 loops; then turns of 26 loops alone and 52
  // shared (the first loop count to reach 25 ms), until both ways have 0.1
  // s: four turns alone (104 loops) and 205 loops shared.
  constexpr std::int64_t kWork = std::int64_t{1} << 20;
  const Machine m{0x1p30, 0x1p31, 1.0};
  const std::string ways = pace(choice, m, 512 + 308, kWork);
  EXPECT_EQ(ways.substr(0, 512), std::string(512, 'S'));
  EXPECT_EQ(ways.substr(512, 78), std::string(26, 'A') + std::string(52, 'S'));
  EXPECT_EQ(count(ways, 'A'), 104U);
  EXPECT_TRUE(choice.in_trial());
  EXPECT_EQ(pace(choice, m, 1, kWork), "S");
  EXPECT_FALSE(choice.in_trial());
  EXPECT_EQ(choice.trials(), 1);
  EXPECT_TRUE(choice.sharing());
  EXPECT_EQ(choice.interval(), 2 * SharingChoice::kFirstInterval);
}

// Stretches whose choice stands come ever longer, up to the longest
// interval; a change of pace is found at the end of the stretch, which
// starts the intervals again from the first.
TEST(SharingChoice, ConfirmedChoicesAreTriedLessOftenAndAChangeIsFound) {
  SharingChoice choice(2);
  pace(choice, {1e9, 1.8e9, 1.9}, 100000);
  EXPECT_TRUE(choice.sharing());
  EXPECT_EQ(choice.trials(), 0);
  EXPECT_EQ(choice.interval(), SharingChoice::kLongestInterval);
  // The machine fills with another session's work: sharing stops within
  // the longest interval and a trial, and most later loops run alone.
  const std::string ways = pace(choice, {1e9, 0.8e9, 1.0}, 12000);
  EXPECT_FALSE(choice.sharing());
  EXPECT_GT(count(ways.substr(8000), 'A'), 3500U);
  // Alone, every stretch ends in a trial, however long it has stood: two
  // stretches of 8 s in 20 s of loops.
  const std::int64_t trials = choice.trials();
  pace(choice, {1e9, 0.8e9, 1.0}, 20000);
  EXPECT_GE(choice.trials(), trials + 2);
  // And sharing is taken up again once it pays.
  pace(choice, {1e9, 1.8e9, 1.9}, 20000);
  EXPECT_TRUE(choice.sharing());
}

// Loops of no work, or of a time that cannot be, tell nothing.
TEST(SharingChoice, LoopsWithoutWorkOrTimeAreLeftOut) {
  SharingChoice choice(2);
  for (int i = 0; i < 1000; ++i) {
    choice.record(true, 0, 1.0);
    choice.record(true, 1000, -1.0);
  }
  EXPECT_FALSE(choice.stretch_ended());
  EXPECT_EQ(choice.trials(), 0);
  EXPECT_TRUE(choice.share_next());
}

}  // namespace

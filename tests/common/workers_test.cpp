#include "common/workers.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/parts_apart.h"

namespace {

// Many loops in a row, so that threads that wake late meet later loops:
// every part still runs exactly once per loop.
TEST(Workers, EveryPartRunsOnceInEveryLoop) {
  for (int threads : {1, 2, 3, 8})
    for (int parts : {1, 2, 7, 64, 1000}) {
      Workers workers(threads);
      std::vector<std::atomic<int>> runs(static_cast<std::size_t>(parts));
      constexpr int kLoops = 100;
      for (int loop = 0; loop < kLoops; ++loop) workers.run(parts, [&](int p) { ++runs[static_cast<std::size_t>(p)]; });
      for (int p = 0; p < parts; ++p) ASSERT_EQ(runs[static_cast<std::size_t>(p)], kLoops) << threads << " " << p;
      EXPECT_EQ(workers.shared_loops(), threads > 1 && parts > 1 ? kLoops : 0);
    }
}

struct NotedPauses final : Pause {
  std::vector<std::string> noted;
  void show_lines_and_wait(std::span<const std::string_view> lines) override {
    for (const std::string_view line : lines) noted.emplace_back(line);
  }
};

// Parts apart on two threads, each on one thread of its own: settled in
// order, the pauses come in part order, and the first error stops there,
// before the pauses of the parts after it.
TEST(Workers, PartsApartSettleInPartOrder) {
  Workers workers(2);
  std::vector<int> threads_seen(4);
  const std::vector<PartApart> outcomes = run_parts_apart(workers, 4, [&](int p, Pause& kept, Workers& alone) {
    threads_seen[static_cast<std::size_t>(p)] = alone.threads();
    kept.show_and_wait({"part " + std::to_string(p)});
    if (p == 2) throw std::runtime_error("part 2 failed");
  });
  EXPECT_EQ(threads_seen, (std::vector<int>{1, 1, 1, 1}));
  NotedPauses shown;
  std::string error;
  try {
    for (const PartApart& outcome : outcomes) outcome.settle(shown);
  } catch (const std::runtime_error& e) {
    error = e.what();
  }
  EXPECT_EQ(error, "part 2 failed");
  EXPECT_EQ(shown.noted, (std::vector<std::string>{"part 0", "part 1", "part 2"}));
}

// Work per part 16384; until the threads have started, 16 parts' work.
TEST(Workers, PartsForAWorkAndItsIterations) {
  Workers workers(4);
  const struct {
    std::int64_t work, iterations;
    int before_start, after_start;
  } cases[] = {{30000, 100, 1, 1},     {40000, 100, 1, 2},   {262143, 1000, 1, 15},
               {262144, 1000, 16, 16}, {1000000000, 5, 5, 5}, {1000000000, 1000000, 32, 32}};
  for (const auto& c : cases) EXPECT_EQ(workers.parts_for(c.work, c.iterations), c.before_start) << c.work;
  workers.run(2, [](int) {});
  for (const auto& c : cases) EXPECT_EQ(workers.parts_for(c.work, c.iterations), c.after_start) << c.work;
  EXPECT_EQ(Workers(1).parts_for(1000000000, 1000), 1);
}

// Parts cover first..last in order, without gaps; even parts differ by at
// most one index, and triangular ones by at most one index's cost.
TEST(Workers, SplitsCoverTheRange) {
  const struct {
    std::int32_t first, last;
    int parts;
  } cases[] = {{1, 1, 1}, {1, 10, 3}, {5, 1000, 7}, {1, 3, 5}, {2, 999, 16}};
  for (const auto& c : cases) {
    const std::int32_t count = c.last - c.first + 1;
    EXPECT_EQ(even_split(c.first, c.last, c.parts, 0), c.first);
    EXPECT_EQ(even_split(c.first, c.last, c.parts, c.parts), c.last + 1);
    for (int p = 0; p < c.parts; ++p) {
      const std::int32_t size = even_split(c.first, c.last, c.parts, p + 1) - even_split(c.first, c.last, c.parts, p);
      EXPECT_TRUE(size == count / c.parts || size == count / c.parts + 1) << c.last << " part " << p;
    }
    for (Slope slope : {Slope::rising, Slope::falling}) {
      const std::vector<std::int32_t> bounds = triangle_split(c.first, c.last, c.parts, slope);
      ASSERT_EQ(bounds.size(), static_cast<std::size_t>(c.parts) + 1);
      EXPECT_EQ(bounds.front(), c.first);
      EXPECT_EQ(bounds.back(), c.last + 1);
      const auto cost = [&](std::int32_t i) { return slope == Slope::rising ? i - c.first + 1 : c.last - i + 1; };
      const double share = static_cast<double>(count) * (count + 1) / 2 / c.parts;
      for (int p = 0; p < c.parts; ++p) {
        ASSERT_LE(bounds[static_cast<std::size_t>(p)], bounds[static_cast<std::size_t>(p) + 1]);
        double part = 0;
        for (std::int32_t i = bounds[static_cast<std::size_t>(p)]; i < bounds[static_cast<std::size_t>(p) + 1]; ++i)
          part += cost(i);
        if (count >= 8 * c.parts) {
          EXPECT_NEAR(part, share, count) << c.last << " part " << p;
        }
      }
    }
  }
}

}  // namespace

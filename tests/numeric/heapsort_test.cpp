#include "numeric/heapsort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>
#include <vector>

#include "common/program_run.h"
#include "test_support.h"

namespace {

class HeapSortTest : public ::testing::Test {
 protected:
  static REAL& at(MATRIX& m, bool rows, std::int32_t line, std::int32_t p) { return rows ? m[p][line] : m[line][p]; }

  // Sorts the keys as a row (or column) table of which the first count entries
  // take part. Entry p's companions are 10p, 100p, 1000p and the line after
  // FTW holds -1, which the sort must not move. Returns the original entry
  // number now at each place, checking that every record held together.
  std::vector<int> sort(bool rows, const std::vector<REAL>& keys, std::int32_t ftw, std::int32_t count) {
    const auto n = static_cast<std::int32_t>(keys.size());
    MATRIX& o = rows ? s_.table.RO : s_.table.CO;
    MATRIX& w = rows ? s_.table.RW : s_.table.CW;
    s_.plan.FTW = ftw;
    s_.table.A = rows ? MATRIX(n + 1, ftw + 2) : MATRIX(ftw + 2, n + 1);
    for (MATRIX* m : {&o, &w, &s_.TW}) *m = rows ? MATRIX(n + 1, 2) : MATRIX(2, n + 1);
    for (std::int32_t p = 1; p <= n; ++p) {
      at(s_.table.A, rows, ftw, p) = keys[static_cast<std::size_t>(p - 1)];
      at(s_.table.A, rows, ftw + 1, p) = -1;
      at(o, rows, 1, p) = 10 * p;
      at(w, rows, 1, p) = 100 * p;
      at(s_.TW, rows, 1, p) = 1000 * p;
    }
    const SortedTable table{s_.table.A, ftw, o, w, s_.TW};
    if (rows) {
      HEAPSORTR(table, count);
    } else {
      HEAPSORTC(table, count);
    }
    std::vector<int> order;
    for (std::int32_t p = 1; p <= n; ++p) {
      const int from = static_cast<int>(at(o, rows, 1, p) / 10);
      EXPECT_EQ(at(w, rows, 1, p), 100 * from);
      EXPECT_EQ(at(s_.TW, rows, 1, p), 1000 * from);
      EXPECT_EQ(at(s_.table.A, rows, ftw + 1, p), -1);
      EXPECT_EQ(at(s_.table.A, rows, ftw, p), keys.at(static_cast<std::size_t>(from - 1)));
      order.push_back(from);
    }
    return order;
  }

  qor_test::CapturedConsole console_;
  ProgramRun s_{console_.console()};
};

TEST_F(HeapSortTest, SmallTablesByDecreasingMagnitude) {
  struct Case {
    bool rows;
    std::vector<REAL> keys;
    std::int32_t ftw, count;
    std::vector<int> order;
  };
  const Case cases[] = {
      {true, {-5, 3, 4}, 2, 3, {1, 3, 2}}, {false, {-5, 3, 4}, 1, 3, {1, 3, 2}},
      {true, {1, 2}, 2, 2, {2, 1}},        {true, {2, 1}, 2, 2, {1, 2}},
      {false, {2, -2}, 1, 2, {2, 1}},
      // Equal keys come out in the heap's order.
      {true, {5, 5, 5}, 2, 3, {2, 3, 1}},  {false, {5, -5, 5}, 2, 3, {2, 3, 1}},
      // One or no entry is left alone.
      {true, {-7}, 2, 1, {1}},             {true, {-7}, 2, 0, {1}}, {false, {3}, 1, 1, {1}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(sort(c.rows, c.keys, c.ftw, c.count), c.order) << c.rows << " " << c.keys.size() << " " << c.count;
}

TEST_F(HeapSortTest, RandomTablesEndSortedAndPermuted) {
  std::mt19937 gen(5);
  std::uniform_int_distribution<int> key(-20, 20);
  for (std::int32_t n : {2, 3, 4, 7, 16, 101}) {
    std::vector<REAL> keys;
    for (std::int32_t p = 0; p < n; ++p) keys.push_back(key(gen));
    std::vector<int> order = sort(true, keys, 2, n);
    for (std::int32_t p = 2; p <= n; ++p) EXPECT_GE(std::fabs(s_.table.A[p - 1][2]), std::fabs(s_.table.A[p][2]));
    std::vector<int> all(static_cast<std::size_t>(n));
    std::iota(all.begin(), all.end(), 1);
    std::sort(order.begin(), order.end());
    EXPECT_EQ(order, all);
  }
}

}  // namespace

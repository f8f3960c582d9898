#include "numeric/heapsort.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "common/run_state.h"
#include "control/console.h"

namespace {

class HeapSortTest : public ::testing::Test {
 protected:
  HeapSortTest() : out_(std::tmpfile()), in_(std::tmpfile()), console_(out_, in_, false), s_(console_) {}
  ~HeapSortTest() override {
    std::fclose(out_);
    std::fclose(in_);
  }

  // A row table with the given keys in column ftw of A; entry p's companions
  // are 10p, 100p, 1000p so each record can be followed.
  void fill_rows(const std::vector<REAL>& keys, std::int32_t ftw = 2) {
    const auto n = static_cast<std::int32_t>(keys.size());
    s_.FTW = ftw;
    s_.A = MATRIX(n + 1, ftw + 2);
    s_.RO = MATRIX(n + 1, 2);
    s_.RW = MATRIX(n + 1, 2);
    s_.TW = MATRIX(n + 1, 2);
    for (std::int32_t p = 1; p <= n; ++p) {
      s_.A[p][ftw] = keys[p - 1];
      s_.A[p][ftw + 1] = -1;  // a column the sort must not move
      s_.RO[p][1] = 10 * p;
      s_.RW[p][1] = 100 * p;
      s_.TW[p][1] = 1000 * p;
    }
  }
  void fill_columns(const std::vector<REAL>& keys, std::int32_t ftw = 1) {
    const auto m = static_cast<std::int32_t>(keys.size());
    s_.FTW = ftw;
    s_.A = MATRIX(ftw + 2, m + 1);
    s_.CO = MATRIX(2, m + 1);
    s_.CW = MATRIX(2, m + 1);
    s_.TW = MATRIX(2, m + 1);
    for (std::int32_t p = 1; p <= m; ++p) {
      s_.A[ftw][p] = keys[p - 1];
      s_.A[ftw + 1][p] = -1;
      s_.CO[1][p] = 10 * p;
      s_.CW[1][p] = 100 * p;
      s_.TW[1][p] = 1000 * p;
    }
  }
  // The original entry number now at each row, checking the record held together.
  std::vector<int> row_order(std::int32_t n) {
    std::vector<int> order;
    for (std::int32_t p = 1; p <= n; ++p) {
      const int from = static_cast<int>(s_.RO[p][1] / 10);
      EXPECT_EQ(s_.RW[p][1], 100 * from);
      EXPECT_EQ(s_.TW[p][1], 1000 * from);
      EXPECT_EQ(s_.A[p][s_.FTW + 1], -1);
      order.push_back(from);
    }
    return order;
  }
  std::vector<int> column_order(std::int32_t m) {
    std::vector<int> order;
    for (std::int32_t p = 1; p <= m; ++p) {
      const int from = static_cast<int>(s_.CO[1][p] / 10);
      EXPECT_EQ(s_.CW[1][p], 100 * from);
      EXPECT_EQ(s_.TW[1][p], 1000 * from);
      EXPECT_EQ(s_.A[s_.FTW + 1][p], -1);
      order.push_back(from);
    }
    return order;
  }

  std::FILE* out_;
  std::FILE* in_;
  Console console_;
  RunState s_;
};

TEST_F(HeapSortTest, RowsByDecreasingMagnitudeWithRecords) {
  fill_rows({-5, 3, 4});
  HEAPSORTR(s_, 3);
  EXPECT_EQ(row_order(3), (std::vector<int>{1, 3, 2}));
  EXPECT_EQ(s_.A[1][2], -5);
  EXPECT_EQ(s_.A[2][2], 4);
  EXPECT_EQ(s_.A[3][2], 3);
}

TEST_F(HeapSortTest, ColumnsByDecreasingMagnitudeWithRecords) {
  fill_columns({-5, 3, 4});
  HEAPSORTC(s_, 3);
  EXPECT_EQ(column_order(3), (std::vector<int>{1, 3, 2}));
  EXPECT_EQ(s_.A[1][1], -5);
}

TEST_F(HeapSortTest, TwoEntries) {
  fill_rows({1, 2});
  HEAPSORTR(s_, 2);
  EXPECT_EQ(row_order(2), (std::vector<int>{2, 1}));
  fill_rows({2, 1});
  HEAPSORTR(s_, 2);
  EXPECT_EQ(row_order(2), (std::vector<int>{1, 2}));
  fill_columns({2, -2});
  HEAPSORTC(s_, 2);
  EXPECT_EQ(column_order(2), (std::vector<int>{2, 1}));
  EXPECT_EQ(s_.A[1][1], -2);
  EXPECT_EQ(s_.A[1][2], 2);
}

TEST_F(HeapSortTest, EqualKeysComeOutInTheHeapsOrder) {
  fill_rows({5, 5, 5});
  HEAPSORTR(s_, 3);
  EXPECT_EQ(row_order(3), (std::vector<int>{2, 3, 1}));
  fill_columns({5, -5, 5}, 2);
  HEAPSORTC(s_, 3);
  EXPECT_EQ(column_order(3), (std::vector<int>{2, 3, 1}));
}

TEST_F(HeapSortTest, OneOrNoEntryIsLeftAlone) {
  fill_rows({-7});
  HEAPSORTR(s_, 1);
  HEAPSORTR(s_, 0);
  EXPECT_EQ(row_order(1), (std::vector<int>{1}));
  EXPECT_EQ(s_.A[1][2], -7);
  fill_columns({3});
  HEAPSORTC(s_, 1);
  EXPECT_EQ(column_order(1), (std::vector<int>{1}));
}

TEST_F(HeapSortTest, RandomTablesEndSortedAndPermuted) {
  std::mt19937 gen(5);
  std::uniform_int_distribution<int> key(-20, 20);
  for (std::int32_t n : {2, 3, 4, 7, 16, 101}) {
    std::vector<REAL> keys;
    for (std::int32_t p = 0; p < n; ++p) keys.push_back(key(gen));
    fill_rows(keys);
    HEAPSORTR(s_, n);
    std::vector<int> order = row_order(n);
    std::vector<bool> seen(static_cast<size_t>(n) + 1);
    for (std::int32_t p = 1; p <= n; ++p) {
      const int from = order[static_cast<size_t>(p - 1)];
      EXPECT_FALSE(seen[static_cast<size_t>(from)]);
      seen[static_cast<size_t>(from)] = true;
      EXPECT_EQ(s_.A[p][2], keys[static_cast<size_t>(from - 1)]);
      if (p > 1) {
        EXPECT_GE(std::fabs(s_.A[p - 1][2]), std::fabs(s_.A[p][2]));
      }
    }
  }
}

}  // namespace

#include "input/selection.h"

#include <gtest/gtest.h>

#include <set>

namespace {

std::set<int> named_in(const char* list, int from = -3, int to = 40) {
  std::set<int> named;
  for (int n = from; n <= to; ++n)
    if (NEEDCALC(list, n)) named.insert(n);
  return named;
}

TEST(Needcalc, ItemsAndRangesWhileUnreadableItemsAndNonListsNameNothing) {
  const std::pair<const char*, std::set<int>> cases[] = {
      {"[2,5..7]", {2, 5, 6, 7}}, {"[ 2 , 5 .. 7 ]", {2, 5, 6, 7}}, {"[\t2,\r\n5..7]", {2, 5, 6, 7}},
      {"[,3,,4,]", {3, 4}}, {"[+3,-1]", {-1, 3}}, {"[3,3,1..4]", {1, 2, 3, 4}}, {"[5-7,9]", {9}}};
  for (const auto& [list, named] : cases) EXPECT_EQ(named_in(list), named) << list;
  for (const char* list : {"[7..5]", "[5-7]", "[5..]", "[..7]", "[5...7]", "[x]", "[1.5]", "[]", "",
                           "[2,5", "2,5]", "[2] ", " [2]", "2", "[", "]"})
    EXPECT_TRUE(named_in(list).empty()) << list;
}

TEST(Needcalc, LargeNumbersAndLongItems) {
  const struct { const char* list; int n; bool named; } cases[] = {
      {"[40000]", 40000, true}, {"[30000..70000]", 65536, true}, {"[30000..70000]", 70001, false},
      {"[4294967297]", 1, false}, {"[1..4294967297]", 5, false},  // beyond 32 bits: nothing
      {"[000000000000000000001]", 1, false},  // cut to 20 characters, it loses its last digit
      {"[00000000000000000001]", 1, true}};
  for (const auto& c : cases) EXPECT_EQ(NEEDCALC(c.list, c.n), c.named) << c.list << " " << c.n;
}

}  // namespace

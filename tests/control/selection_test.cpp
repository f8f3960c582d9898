#include "control/selection.h"

#include <gtest/gtest.h>

#include <set>

namespace {

std::set<int> named_in(const char* list, int from = -3, int to = 40) {
  std::set<int> named;
  for (int n = from; n <= to; ++n)
    if (NEEDCALC(list, n)) named.insert(n);
  return named;
}

TEST(Needcalc, ItemsAndRanges) {
  EXPECT_EQ(named_in("[2,5..7]"), (std::set<int>{2, 5, 6, 7}));
  EXPECT_EQ(named_in("[ 2 , 5 .. 7 ]"), (std::set<int>{2, 5, 6, 7}));
  EXPECT_EQ(named_in("[\t2,\r\n5..7]"), (std::set<int>{2, 5, 6, 7}));
  EXPECT_EQ(named_in("[,3,,4,]"), (std::set<int>{3, 4}));
  EXPECT_EQ(named_in("[+3,-1]"), (std::set<int>{-1, 3}));
  EXPECT_EQ(named_in("[3,3,1..4]"), (std::set<int>{1, 2, 3, 4}));
}

TEST(Needcalc, UnreadableItemsNameNothing) {
  for (const char* list : {"[7..5]", "[5-7]", "[5..]", "[..7]", "[5...7]", "[x]", "[1.5]", "[]", ""})
    EXPECT_TRUE(named_in(list).empty()) << list;
  EXPECT_EQ(named_in("[5-7,9]"), (std::set<int>{9}));
}

TEST(Needcalc, TextThatIsNotAListNamesNothing) {
  for (const char* list : {"[2,5", "2,5]", "[2] ", " [2]", "2", "[", "]"})
    EXPECT_FALSE(NEEDCALC(list, 2)) << list;
}

TEST(Needcalc, NumbersBeyondSixteenBitsWork) {
  EXPECT_TRUE(NEEDCALC("[40000]", 40000));
  EXPECT_TRUE(NEEDCALC("[30000..70000]", 65536));
  EXPECT_FALSE(NEEDCALC("[30000..70000]", 70001));
  // Items and bounds beyond 32 bits name nothing.
  EXPECT_FALSE(NEEDCALC("[4294967297]", 1));
  EXPECT_FALSE(NEEDCALC("[1..4294967297]", 5));
}

TEST(Needcalc, ItemsAreCutToTwentyCharacters) {
  // 21 characters: the cut item "000000000000000000001" loses its last digit.
  EXPECT_FALSE(NEEDCALC("[000000000000000000001]", 1));
  EXPECT_TRUE(NEEDCALC("[00000000000000000001]", 1));
}

}  // namespace

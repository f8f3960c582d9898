// Upper case and word wrapping, on texts whose lines were counted by hand.
#include "common/text.h"

#include <gtest/gtest.h>

namespace {

using Lines = std::vector<std::string>;

TEST(Text, WrapWordsFillsEachLineUpToItsWidth) {
  const struct {
    const char* text;
    std::size_t width;
    const char* indent;
    Lines lines;
  } cases[] = {
      {"", 10, "", {}},
      {"one", 10, "", {"one"}},
      {"aaa bbb ccc", 7, "", {"aaa bbb", "ccc"}},        // 7 fits exactly, 11 does not
      {"aaa bbb ccc", 6, "", {"aaa", "bbb", "ccc"}},
      {"aaa bbb ccc ddd", 9, "  ", {"aaa bbb", "  ccc ddd"}},  // the indent counts in the width
      {"aaa bbb ccc ddd", 8, "  ", {"aaa bbb", "  ccc", "  ddd"}},
      {"averylongword x", 5, "", {"averylongword", "x"}},  // a word longer than a line stands alone
      {"x averylongword", 5, " ", {"x", " averylongword"}},
  };
  for (const auto& c : cases) EXPECT_EQ(wrap_words(c.text, c.width, c.indent), c.lines) << c.text << " " << c.width;
}

TEST(Text, UpperCaseOfTheLettersAToZOnly) {
  EXPECT_EQ(ascii_upper("out.txt,tor"), "OUT.TXT,TOR");
  EXPECT_EQ(ascii_upper(std::string("\xE4x1_", 4)), std::string("\xE4X1_", 4));
}

}  // namespace

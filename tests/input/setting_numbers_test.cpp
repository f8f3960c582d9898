// The number rules of the settings, on texts whose values are plain to see.
#include "input/setting_numbers.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

TEST(SettingNumbers, WholeNumbers) {
  const struct {
    const char* text;
    std::optional<std::int64_t> value;
    bool fits16, fits32;
  } cases[] = {
      {"12", 12, true, true},          {" \t+7", 7, true, true},      {"-3", -3, true, true},
      {"32767", 32767, true, true},    {"32768", 32768, false, true}, {"-32768", -32768, true, true},
      {"2147483648", 2147483648, false, false},
      {"", std::nullopt, false, false}, {"+", std::nullopt, false, false}, {"1 2", std::nullopt, false, false},
      {"3x", std::nullopt, false, false}, {"0x10", std::nullopt, false, false}, {"1.0", std::nullopt, false, false},
      {"12 ", std::nullopt, false, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(read_whole_number(c.text), c.value) << c.text;
    EXPECT_EQ(read_whole_number16(c.text).has_value(), c.fits16) << c.text;
    EXPECT_EQ(read_whole_number32(c.text).has_value(), c.fits32) << c.text;
  }
  // Far beyond every setting: held at 2^40 and more, never wrapped to a small number.
  EXPECT_GE(*read_whole_number("99999999999999999999999"), std::int64_t{1} << 40);
  EXPECT_FALSE(read_whole_number32("99999999999999999999999").has_value());
}

TEST(SettingNumbers, RealNumbers) {
  const struct {
    const char* text;
    std::optional<REAL> value;
  } cases[] = {{"0.002", 0.002L}, {" 1e3", 1000}, {".5", 0.5L},     {"-2.5E-1", -0.25L}, {"5.", 5},
               {"abc", std::nullopt}, {"", std::nullopt}, {"1e", std::nullopt}, {"1,5", std::nullopt},
               {"1e99999", std::nullopt}, {"0.5 extra", std::nullopt}};
  for (const auto& c : cases) EXPECT_EQ(read_real_number(c.text), c.value) << c.text;
}

TEST(SettingNumbers, WordsEndAtABlankOrAControlCharacter) {
  EXPECT_EQ(first_word("3 components"), "3");
  EXPECT_EQ(first_word("10:4\tx"), "10:4");
  EXPECT_EQ(first_word(""), "");
  EXPECT_EQ(first_control_or_blank("data.txt,TOR", true), 8u);
  EXPECT_EQ(first_control_or_blank("data.txt,TOR", false), 12u);
  EXPECT_EQ(first_control_or_blank("out\x01.txt", false), 3u);
}

}  // namespace

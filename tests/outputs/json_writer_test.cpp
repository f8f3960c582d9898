#include "outputs/json_writer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <limits>

namespace {

TEST(JsonString, EscapesAndNonAsciiBytes) {
  const std::pair<std::string, std::string> cases[] = {
      {"a\"b\\c/d", R"("a\"b\\c/d")"},
      {"\r\n\t\x01\x1f\x7f", R"("\r\n\t\u0001\u001f\u007f")"},
      {"caf\xE9", R"("caf\u00e9")"},                       // ISO-8859-1
      {"caf\xC3\xA9", R"("caf\u00e9")"},                   // the same letter in UTF-8
      {"\xF0\x9F\x98\x80", R"("\ud83d\ude00")"},           // beyond U+FFFF: a surrogate pair
      {"\xC0\xAF", R"("\u00c0\u00af")"},                   // an overlong form is two single bytes
      {"\xE2\x82", R"("\u00e2\u0082")"},                   // a sequence cut short
      {"\xED\xA0\x80", R"("\u00ed\u00a0\u0080")"},         // a surrogate is no character
      {"\xF1 1", R"("\u00f1 1")"},
      {std::string("a\0b", 3), R"("a\u0000b")"},
  };
  for (const auto& [bytes, json] : cases) EXPECT_EQ(json_string(bytes), json) << json;
}

// Digits worked out with exact fractions: the shortest text of 17 to 21
// significant digits whose nearest 64-bit-significand value is the number.
TEST(JsonNumber, ShortestTextThatReadsBack) {
  const std::pair<REAL, std::string> cases[] = {
      {0.1L, "1.0000000000000000e-01"},
      {1.0L / 3, "3.3333333333333333334e-01"},
      {2.0L / 3, "6.666666666666666667e-01"},
      {3.14159265358979323846264338327950288L, "3.1415926535897932385e+00"},
      {-0.0L, "-0.0000000000000000e+00"},
      {std::numeric_limits<REAL>::denorm_min(), "3.6451995318824746e-4951"},
      {std::numeric_limits<REAL>::infinity(), "null"},
      {std::numeric_limits<REAL>::quiet_NaN(), "null"},
  };
  for (const auto& [value, text] : cases) EXPECT_EQ(json_number(value), text);
  for (const REAL v : {std::numeric_limits<REAL>::max(), std::numeric_limits<REAL>::min(), 1e-300L / 7, 123456.789L})
    EXPECT_EQ(std::strtold(json_number(v).c_str(), nullptr), v) << json_number(v);
}

TEST(JsonWriter, NestedLayout) {
  JsonWriter j;
  j.begin_object();
  j.key("a");
  j.integer(-3);
  j.key("list");
  j.begin_array();
  j.begin_object(true);
  j.key("x");
  j.boolean(true);
  j.key("y");
  j.begin_array();
  j.null();
  j.string("s");
  j.end_array();
  j.end_object();
  j.end_array();
  j.key("empty");
  j.begin_array();
  j.end_array();
  j.end_object();
  EXPECT_EQ(j.text(), "{\n  \"a\": -3,\n  \"list\": [\n    {\"x\": true, \"y\": [null, \"s\"]}\n  ],\n  \"empty\": []\n}");
}

}  // namespace

namespace {

TEST(JsonWriter, ACloseWithoutItsOpenWritesNothing) {
  JsonWriter j;
  j.end_object();
  j.end_array();
  j.begin_object(true);
  j.key("a");
  j.integer(1);
  j.end_object();
  j.end_object();
  EXPECT_EQ(j.text(), "{\"a\": 1}");
}

}  // namespace

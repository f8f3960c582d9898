#include "report/text_reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>

#include "common/run_error.h"
#include "test_support.h"

namespace {

TextReader reader(const std::string& text) { return TextReader(text, "t.txt", "data file"); }

int error_of(const std::function<void()>& f) {
  try {
    f();
  } catch (const RunError& e) {
    return e.number();
  }
  return 0;
}

TEST(NumberReading, AcceptedForms) {
  auto r = reader("7 -2.5 .5 5. 1e-3 +3.0E+02 1. -0 0.1 123456789012345678901234 1e4000");
  EXPECT_EQ(r.read_number(), 7);
  EXPECT_EQ(r.read_number(), -2.5L);
  EXPECT_EQ(r.read_number(), 0.5L);
  EXPECT_EQ(r.read_number(), 5);
  EXPECT_EQ(r.read_number(), 1e-3L);
  EXPECT_EQ(r.read_number(), 300);
  EXPECT_EQ(r.read_number(), 1);
  const REAL negative_zero = r.read_number();
  EXPECT_EQ(negative_zero, 0);
  EXPECT_TRUE(std::signbit(negative_zero));
  EXPECT_EQ(r.read_number(), 0.1L);
  EXPECT_EQ(r.read_number(), 123456789012345678901234.0L);
  EXPECT_EQ(r.read_number(), 1e4000L);
}

TEST(NumberReading, RejectedFormsAreError106) {
  for (const char* token : {"1,5", "1.5;", "E5", "abc", ".", "+", "1e", "1e+", "--1", "1..2", "0x10",
                            "1e5000", "-1e5000", "1e-5000"}) {
    auto r = reader(std::string(" ") + token + " 1");
    try {
      r.read_number();
      ADD_FAILURE() << token;
    } catch (const RunError& e) {
      EXPECT_EQ(e.number(), 106) << token;
      EXPECT_NE(std::string(e.what()).find(token), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find("t.txt"), std::string::npos) << e.what();
    }
  }
}

TEST(NumberReading, CorrectlyRoundedAgainstTheLibrary) {
  for (const char* token : {"0.1", "2.675", "1.0000000000000000000001", "9007199254740993",
                            "3.141592653589793238462643383279", "1e-30", "4.9e-4950", "1.18973e4932",
                            "12345678901234567890", "0.000000000000000000000000000123"}) {
    auto r = reader(token);
    EXPECT_EQ(r.read_number(), std::strtold(token, nullptr)) << token;
  }
}

TEST(NumberReading, EndOfText) {
  auto r = reader("1\r\n");
  EXPECT_EQ(r.read_number(), 1);
  EXPECT_EQ(r.read_number(), 0);  // line end skipped before the end: 0, no error
  EXPECT_EQ(error_of([&] { r.read_number(); }), 106);
  auto z = reader("1 \x1a 2");
  EXPECT_EQ(z.read_number(), 1);
  EXPECT_EQ(z.read_number(), 0);  // Ctrl-Z met while skipping ends the text
  EXPECT_EQ(error_of([&] { z.read_number(); }), 106);
  EXPECT_EQ(error_of([&] { reader("").read_number(); }), 106);
}

TEST(NumberReading, LongTokensAreReadIn255CharacterRuns) {
  auto r = reader(std::string(255, '1') + "5");
  EXPECT_EQ(r.read_number(), std::strtold(std::string(255, '1').c_str(), nullptr));
  EXPECT_EQ(r.read_number(), 5);
}

TEST(LineTests, RestOfLineAndFileAndNextLine) {
  auto r = reader(" \t1 2 \t\r\n\r\n  \n3\r4");
  EXPECT_FALSE(r.rest_of_line_blank());
  EXPECT_EQ(r.read_number(), 1);
  EXPECT_EQ(r.read_number(), 2);
  EXPECT_TRUE(r.rest_of_line_blank());
  EXPECT_FALSE(r.rest_of_file_blank());
  EXPECT_EQ(r.line(), 1);
  r.next_line();
  EXPECT_EQ(r.line(), 2);
  r.skip_blank_lines();
  EXPECT_EQ(r.line(), 4);
  EXPECT_EQ(r.read_number(), 3);
  r.next_line();  // a lone CR ends a line
  EXPECT_EQ(r.line(), 5);
  EXPECT_EQ(r.read_number(), 4);
  EXPECT_TRUE(r.rest_of_line_blank());
  EXPECT_TRUE(r.rest_of_file_blank());
  r.next_line();  // at the end nothing happens
  EXPECT_TRUE(r.at_end());
  EXPECT_TRUE(reader(" \r\n\t \x1a 5").rest_of_file_blank());
}

TEST(LineTests, LookAheadAcrossTheBufferAndRewind) {
  qor_test::TempDir dir;
  // Far more white space than one buffer holds, then a number: the look-ahead
  // must read on, answer, and leave the position where it was.
  qor_test::write_file("big.txt", "1" + std::string(200000, ' ') + "\n" + std::string(100000, '\n') + "2\n");
  TextReader r("big.txt", "data file");
  EXPECT_EQ(r.read_number(), 1);
  EXPECT_FALSE(r.rest_of_file_blank());
  EXPECT_EQ(r.read_number(), 2);
  EXPECT_EQ(r.line(), 100002);
  EXPECT_TRUE(r.rest_of_file_blank());
  r.rewind();
  EXPECT_EQ(r.read_number(), 1);
  qor_test::write_file("blank.txt", "7" + std::string(300000, '\n'));
  TextReader b("blank.txt", "data file");
  EXPECT_EQ(b.read_number(), 7);
  EXPECT_TRUE(b.rest_of_file_blank());
  EXPECT_EQ(b.read_number(), 0);
}

TEST(LineTests, MissingFileIsError2) {
  qor_test::TempDir dir;
  try {
    TextReader r("missing.txt", "data file");
    FAIL();
  } catch (const RunError& e) {
    EXPECT_EQ(e.number(), 2);
    EXPECT_EQ(e.report_line(),
              "Runtime error 2: cannot open data file \"missing.txt\": the file does not exist.");
  }
}

}  // namespace

namespace {

TEST(NumberReading, TheSeventeenDigitTextOfTheLargestValueReadsBack) {
  const REAL largest = std::numeric_limits<REAL>::max();
  REAL v = 0;
  for (const char* text : {"1.1897314953572318E+4932", "1.18973149535723180000E+4932", "11897314953572318e4916"}) {
    ASSERT_TRUE(TextReader::parse_number(text, text + std::strlen(text), v)) << text;
    EXPECT_EQ(v, largest) << text;
  }
  const char* negative = "-1.1897314953572318E+4932";
  ASSERT_TRUE(TextReader::parse_number(negative, negative + std::strlen(negative), v));
  EXPECT_EQ(v, -largest);
  for (const char* text : {"1.18973149535723180001E+4932", "1.1897314953572319E+4932", "2e4932"})
    EXPECT_FALSE(TextReader::parse_number(text, text + std::strlen(text), v)) << text;
}

}  // namespace

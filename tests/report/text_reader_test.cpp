#include "report/text_reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <tuple>

#include "common/run_error.h"
#include "test_support.h"

namespace {

TextReader reader(const std::string& text) { return TextReader(text, "t.txt", "data file"); }

RunError error_of(const std::function<void()>& f) {
  try {
    f();
  } catch (const RunError& e) {
    return e;
  }
  return RunError(0, "");  // number 0: f did not stop
}

// rest_of_line_blank, rest_of_file_blank and line, asked in that order.
using State = std::tuple<bool, bool, std::int64_t>;
State state(TextReader& r) { return State{r.rest_of_line_blank(), r.rest_of_file_blank(), r.line()}; }

bool parse(const char* text, REAL& v) { return TextReader::parse_number(text, text + std::strlen(text), v); }

TEST(NumberReading, AcceptedForms) {
  auto r = reader("7 -2.5 .5 5. 1e-3 +3.0E+02 1. -0 0.1 123456789012345678901234 1e4000");
  for (const REAL expected : {7.0L, -2.5L, 0.5L, 5.0L, 1e-3L, 300.0L, 1.0L, -0.0L, 0.1L,
                              123456789012345678901234.0L, 1e4000L}) {
    const REAL v = r.read_number();
    EXPECT_EQ(v, expected);
    EXPECT_EQ(std::signbit(v), std::signbit(expected)) << v;  // -0 keeps its sign
  }
}

TEST(NumberReading, RejectedFormsAreError106) {
  for (const char* token : {"1,5", "1.5;", "E5", "abc", ".", "+", "1e", "1e+", "--1", "1..2", "0x10",
                            "1e5000", "-1e5000", "1e-5000"}) {
    const RunError e = error_of([&] { reader(std::string(" ") + token + " 1").read_number(); });
    const std::string what = e.what();
    EXPECT_EQ(e.number(), 106) << token;
    EXPECT_NE(what.find(token), std::string::npos) << what;
    EXPECT_NE(what.find("t.txt"), std::string::npos) << what;
  }
}

// Commas or semicolons between digits: a table written for a spreadsheet.
TEST(NumberReading, SeparatorsBetweenDigitsGetAHint) {
  const std::string commas =
      " Numbers are separated by blanks or tabs: if the commas separate values, replace them by blanks; "
      "if they are decimal commas, by points.";
  const std::string semicolons =
      " Numbers are separated by blanks or tabs: if the semicolons separate values, replace them by blanks.";
  const std::string both =
      " Numbers are separated by blanks or tabs: replace the semicolons by blanks and the decimal commas by points.";
  const std::pair<const char*, std::string> cases[] = {
      {"1,2,3", commas}, {"1;2;3", semicolons}, {"1,5", commas}, {"-0,5e3", commas},
      {"1,5;2,5", both}, {"1,5;", commas},      {"1.5;", ""},   {",5", ""}, {"a,b", ""}, {"1;x", ""},
  };
  const std::string keywords =
      " Or say how the table is written: ,SEPC (commas between values), ,SEPS (semicolons), ,SEPT (tabs), "
      ",DEC (decimal commas).";
  for (const auto& [token, hint] : cases) {
    const RunError e = error_of([&] { reader(std::string(token) + "\r\n").read_number(); });
    EXPECT_EQ(e.number(), 106) << token;
    EXPECT_EQ(e.report_line(), "Runtime error 106: \"" + std::string(token) +
                                   "\" in data file \"t.txt\", line 1, is not a number (expected a decimal "
                                   "number such as 7, -2.5, .5 or 1e-3, within the range of the 80-bit type)." +
                                   hint + (hint.empty() ? "" : keywords));
  }
}

TEST(NumberReading, CorrectlyRoundedAgainstTheLibrary) {
  for (const char* token : {"0.1", "2.675", "1.0000000000000000000001", "9007199254740993",
                            "3.141592653589793238462643383279", "1e-30", "4.9e-4950", "1.18973e4932",
                            "12345678901234567890", "0.000000000000000000000000000123"})
    EXPECT_EQ(reader(token).read_number(), std::strtold(token, nullptr)) << token;
  auto r = reader(std::string(255, '1') + "5");  // long tokens are read in 255-character runs
  EXPECT_EQ(r.read_number(), std::strtold(std::string(255, '1').c_str(), nullptr));
  EXPECT_EQ(r.read_number(), 5);
}

TEST(NumberReading, TheSeventeenDigitTextOfTheLargestValueReadsBack) {
  const REAL largest = std::numeric_limits<REAL>::max();
  REAL v = 0;
  for (const char* text : {"1.1897314953572318E+4932", "1.18973149535723180000E+4932", "11897314953572318e4916"}) {
    ASSERT_TRUE(parse(text, v)) << text;
    EXPECT_EQ(v, largest) << text;
  }
  ASSERT_TRUE(parse("-1.1897314953572318E+4932", v));
  EXPECT_EQ(v, -largest);
  for (const char* text : {"1.18973149535723180001E+4932", "1.1897314953572319E+4932", "2e4932"})
    EXPECT_FALSE(parse(text, v)) << text;
}

TEST(NumberReading, EndOfText) {
  // A line end, or a Ctrl-Z met while skipping, ends the text: 0 once, then error 106.
  for (const char* text : {"1\r\n", "1 \x1a 2"}) {
    auto r = reader(text);
    EXPECT_EQ(r.read_number(), 1) << text;
    EXPECT_EQ(r.read_number(), 0) << text;
    EXPECT_EQ(error_of([&] { r.read_number(); }).number(), 106) << text;
  }
  EXPECT_EQ(error_of([&] { reader("").read_number(); }).number(), 106);
}

TEST(LineTests, RestOfLineAndFileAndNextLine) {
  auto r = reader(" \t1 2 \t\r\n\r\n  \n3\r4");
  EXPECT_FALSE(r.rest_of_line_blank());
  EXPECT_EQ(r.read_number(), 1);
  EXPECT_EQ(r.read_number(), 2);
  EXPECT_EQ(state(r), State(true, false, 1));
  r.next_line();
  EXPECT_EQ(r.line(), 2);
  r.skip_blank_lines();
  EXPECT_EQ(r.line(), 4);
  EXPECT_EQ(r.read_number(), 3);
  r.next_line();  // a lone CR ends a line
  EXPECT_EQ(r.line(), 5);
  EXPECT_EQ(r.read_number(), 4);
  EXPECT_EQ(state(r), State(true, true, 5));
  r.next_line();  // at the end nothing happens
  EXPECT_TRUE(r.at_end());
  EXPECT_TRUE(reader(" \r\n\t \x1a 5").rest_of_file_blank());
}

TEST(LineTests, LookAheadAcrossTheBufferAndRewind) {
  qor_test::TempDir dir;
  // More white space than one buffer holds: the look-ahead reads on and keeps the position.
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
  const RunError e = error_of([] { TextReader missing("missing.txt", "data file"); });
  EXPECT_EQ(e.number(), 2);
  EXPECT_EQ(e.report_line(), "Runtime error 2: cannot open data file \"missing.txt\": the file does not exist.");
}

}  // namespace

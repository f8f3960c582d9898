#include "input/text_reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <tuple>
#include <vector>

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
// The message points at the first of them and names the keywords that read
// such a table as it is. A line that holds semicolons names ,SEPS instead,
// with ,DEC when a comma stands between two digits.
TEST(NumberReading, SeparatorsBetweenDigitsGetAHint) {
  const std::string keywords =
      " of the token does not belong in a number: for values separated by commas add ,SEPC to the data file's "
      "name (in a parameter file the line S C), for semicolons ,SEPS (S S); for decimal commas ,DEC (U +).";
  const std::string semicolons =
      " The line holds semicolons: if they separate its values, read the file with ,SEPS (in a parameter file the "
      "line S S).";
  const std::string semicolons_and_commas =
      " The line holds semicolons: if they separate its values, read the file with ,SEPS,DEC, as its numbers have "
      "decimal commas (in a parameter file the line S S and the line U +).";
  const struct {
    const char* line;
    const char* token;
    int field;
    std::string hint;  // empty: none
  } cases[] = {
      {"1,2,3", "1,2,3", 1, " The comma at character 2" + keywords},
      {"1;2;3", "1;2;3", 1, semicolons},
      {"7 -0,5e3", "-0,5e3", 2, " The comma at character 3" + keywords},
      {"7 8\t12,5", "12,5", 3, " The comma at character 3" + keywords},
      {"1,5;2,5", "1,5;2,5", 1, semicolons_and_commas},
      {"x;1,5", "x;1,5", 1, semicolons_and_commas},
      {"1.5;", "1.5;", 1, semicolons},
      {",5", ",5", 1, ""},
      {"a,b", "a,b", 1, ""},
      {"1;x", "1;x", 1, semicolons},
  };
  for (const auto& c : cases) {
    const RunError e = error_of([&] {
      auto r = reader(std::string(c.line) + "\r\n");
      for (;;) r.read_number();
    });
    EXPECT_EQ(e.number(), 106) << c.line;
    EXPECT_EQ(e.report_line(), "Runtime error 106: \"" + std::string(c.token) + "\" in data file \"t.txt\", line 1, field " +
                                   std::to_string(c.field) +
                                   ", is not a number (expected a decimal number such as 7, -2.5, .5 or 1e-3, within "
                                   "the range of the 80-bit type)." +
                                   c.hint);
  }
}

// A table of many commas reads as one long token: the message quotes its
// first 40 characters, never a piece of a UTF-8 character, and still points
// at the comma.
TEST(NumberReading, LongTokensAreQuotedCut) {
  std::string commas;
  for (int i = 1; i <= 60; ++i) commas += std::to_string(i) + ",";
  const std::string what = error_of([&] { reader(commas + "\n").read_number(); }).what();
  const std::string start = "\"1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,1...\" in data file \"t.txt\", line 1, field 1,";
  EXPECT_EQ(what.substr(0, start.size()), start);
  EXPECT_NE(what.find("The comma at character 2 of the token"), std::string::npos) << what;
  // 39 letters and a two-byte character across the cut: the whole character goes.
  const auto opening = [](const std::string& token, std::size_t n) {
    return std::string(error_of([&] { reader(token).read_number(); }).what()).substr(0, n);
  };
  const std::string cut = "\"" + std::string(39, 'a') + "...\" in";
  EXPECT_EQ(opening(std::string(39, 'a') + "\xc3\xa4" + "bc", cut.size()), cut);
  const std::string whole = "\"" + std::string(40, 'a') + "\" in";
  EXPECT_EQ(opening(std::string(40, 'a'), whole.size()), whole);
}

TEST(NumberReading, CorrectlyRoundedAgainstTheLibrary) {
  for (const char* token : {"0.1", "2.675", "1.0000000000000000000001", "9007199254740993",
                            "3.141592653589793238462643383279", "1e-30", "4.9e-4950", "1.18973e4932",
                            "12345678901234567890", "0.000000000000000000000000000123"})
    EXPECT_EQ(reader(token).read_number(), std::strtold(token, nullptr)) << token;
}

// A token longer than 255 characters is refused whole: read in parts, its
// rest would pass for the next number (260 digits as two values, a line of
// 50 million digits as 196,079). The message gives the line, the field and
// the whole length, counted to the token's end.
TEST(NumberReading, TokensLongerThan255CharactersAreRefusedWhole) {
  const std::string d255(255, '1');
  EXPECT_EQ(reader(d255 + " 5").read_number(), std::strtold(d255.c_str(), nullptr));  // the longest still read
  const TextReader::FieldRules plain{}, commas{',', false}, semicolons{';', true};
  const struct {
    TextReader::FieldRules rules;
    std::string text;
    int reads;  // numbers read before the one refused
    std::string place;
    std::size_t length;
  } cases[] = {
      {plain, std::string(259, '0') + "5\n", 0, "line 1, field 1", 260},
      {plain, "1 2 3\r\n4\t5  " + d255 + "9 6\n", 5, "line 2, field 3", 256},
      {plain, std::string(1000000, '1'), 0, "line 1, field 1", 1000000},
      {commas, "1, 2\n3," + d255 + "1,4\n", 3, "line 2, field 2", 256},
      {commas, "\"" + std::string(300, '7') + "\",1\n", 0, "line 1, field 1", 300},
      {commas, "\"" + d255 + "\"\"\",1\n", 0, "line 1, field 1", 256},  // a doubled quote is one character
      {semicolons, "1;" + d255 + ",5\n", 1, "line 1, field 2", 257},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text.substr(0, 20));
    auto r = reader(c.text);
    r.set_field_rules(c.rules);
    for (int i = 0; i < c.reads; ++i) r.read_number();
    const RunError e = error_of([&] { r.read_number(); });
    ASSERT_EQ(e.number(), 106) << e.what();
    const std::string what = e.what();
    EXPECT_NE(what.find(" in data file \"t.txt\", " + c.place + ", is " + std::to_string(c.length) +
                        " characters long; a field may have at most 255 characters."),
              std::string::npos)
        << what;
    EXPECT_EQ(what.find("...\" in"), 41u) << what;  // the quote cut to 40 characters
  }
}

// The field of a refused token is counted again from its line's start, also
// when that start lies in an earlier buffer of the file.
TEST(NumberReading, TheFieldOfALineLongerThanTheBuffer) {
  qor_test::TempDir dir;
  std::string line;
  for (int i = 0; i < 30000; ++i) line += "1.5 ";  // 120,000 bytes
  qor_test::write_file("long.txt", "7\n" + line + "x 8\n");
  TextReader r("long.txt", "data file");
  for (int i = 0; i <= 30000; ++i) r.read_number();
  EXPECT_EQ(std::string(error_of([&] { r.read_number(); }).what()),
            "\"x\" in data file \"long.txt\", line 2, field 30001, is not a number (expected a decimal number such "
            "as 7, -2.5, .5 or 1e-3, within the range of the 80-bit type).");
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

// ---- Tables as spreadsheets write them (with a separator).

struct FieldsReader : TextReader {
  FieldsReader(const std::string& text, char separator, bool decimal_comma = false)
      : TextReader(text, "t.csv", "data file") {
    set_field_rules({separator, decimal_comma});
  }
};

// The values of a line, read up to its end.
std::vector<REAL> line_values(TextReader& r) {
  std::vector<REAL> values;
  while (!r.rest_of_line_blank()) values.push_back(r.read_number());
  return values;
}

const std::string kBom = "\xef\xbb\xbf";

TEST(SpreadsheetFields, QuotesAndTheByteOrderMark) {
  using Values = std::vector<REAL>;
  const struct {
    char separator;
    bool decimal_comma;
    std::string line;
    Values values;
  } cases[] = {
      {',', false, "\"400\",410, \"-2.5e1\" ", {400, 410, -25}},
      {',', false, "\" 7 \" ,\"8\"\t", {7, 8}},  // blanks inside and beside the quotes
      {';', true, "\"1,5\";2;\",5\"", {1.5L, 2, 0.5L}},
      {'\t', false, "\"1\"\t\t\"2\"", {1, 0}},  // the empty field is refused below, not here
      {',', false, kBom + "1,2", {1, 2}},
      {';', true, kBom + "\"0,25\";3", {0.25L, 3}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    FieldsReader r(c.line + "\r\n", c.separator, c.decimal_comma);
    if (c.separator == '\t') {
      EXPECT_EQ(r.read_number(), 1);
      EXPECT_NE(std::string(error_of([&] { r.read_number(); }).what()).find("field 2 is empty"), std::string::npos);
      continue;
    }
    EXPECT_EQ(line_values(r), c.values);
    EXPECT_EQ(r.line(), 1);
  }
  // The mark is skipped again when the text is read anew, and only at its start.
  FieldsReader r(kBom + "5,6\n" + kBom + "7,8\n", ',');
  EXPECT_EQ(r.read_number(), 5);
  r.rewind();
  EXPECT_EQ(r.read_number(), 5);
  r.next_line();
  EXPECT_EQ(error_of([&] { r.read_number(); }).number(), 106);
}

// Each refusal names the line and the field; quotes are not special
// without a separator, nor is the byte-order mark.
TEST(SpreadsheetFields, MalformedQuotesAreRefused) {
  const struct {
    char separator;
    bool decimal_comma;
    std::string text;
    std::string words;
  } cases[] = {
      {',', false, "1,\"400\n", "line 1, field 2: the quote that opens \"400\" is not closed on its line"},
      {',', false, "1,\"4\"\"00\"\n", "\"4\"00\" in data file \"t.csv\", line 1, field 2, is not a number"},
      {',', false, "\"400\"x,1\n", "line 1, field 1: the field in quotes \"400\" is followed by other text before the next comma"},
      {',', false, "\"400\" \"5\",1\n", "line 1, field 1: the field in quotes \"400\" is followed by other text"},
      {';', false, "1;\" \"\n", "line 1, field 2 is empty (nothing but blanks between its quotes)"},
      {',', false, "1,\"1,5\"\n", "\"1,5\" in data file \"t.csv\", line 1, field 2, is not a number (expected a decimal "
                                 "number such as 7, -2.5, .5 or 1e-3, within the range of the 80-bit type). A decimal "
                                 "comma cannot be read where commas separate the values: save the table with "
                                 "semicolons and read it with ,SEPS,DEC."},
      {';', true, "\"1.5\"\n", "With ,DEC the decimal separator is the comma"},
      {0, false, "\"400\" 1\n", "\"\"400\"\" in data file \"t.csv\", line 1, field 1, is not a number"},
      {0, true, "\"4,5\"\n", "\"\"4,5\"\" in data file \"t.csv\", line 1, field 1, is not a number"},
      {0, false, kBom + "1 2\n", "\"" + kBom + "1\" in data file \"t.csv\", line 1, field 1, is not a number"},
      {0, true, kBom + "1 2\n", "\"" + kBom + "1\" in data file \"t.csv\", line 1, field 1, is not a number"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    FieldsReader r(c.text, c.separator, c.decimal_comma);
    const RunError e = error_of([&] {
      for (;;) r.read_number();
    });
    EXPECT_EQ(e.number(), 106);
    EXPECT_NE(std::string(e.what()).find(c.words), std::string::npos) << e.what();
  }
}

// A title is read as a whole field; it is a number when the number rules
// read the field as one, else a text.
TEST(SpreadsheetFields, TitlesAreNumbersOrTexts) {
  const struct {
    char separator;
    bool decimal_comma;
    std::string field;
    bool number;
    REAL value;
    std::string text;
  } cases[] = {
      {',', false, "400", true, 400, "400"},
      {',', false, " \"400\" ", true, 400, "400"},
      {',', false, "Sample", false, 0, "Sample"},
      {',', false, "  Sample 1\t ", false, 0, "Sample 1"},
      {',', false, "\"S \"\"3\"\"\"", false, 0, "S \"3\""},
      {',', false, "\"1,5\"", false, 0, "1,5"},
      {';', true, "\"1,5\"", true, 1.5L, "1,5"},
      {';', true, "450.5", false, 0, "450.5"},  // with ,DEC a point is no decimal mark
      {';', false, "1 2", false, 0, "1 2"},
      {'\t', false, "\"\"", false, 0, ""},
      {'\t', false, "W 400 nm", false, 0, "W 400 nm"},
      {',', false, "S\xc3\xa4", false, 0, "S\xc3\xa4"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.field);
    FieldsReader r(c.field + std::string(1, c.separator) + "9\n", c.separator, c.decimal_comma);
    const TextReader::Title t = r.read_title();
    EXPECT_EQ(t.number, c.number);
    if (c.number) {
      EXPECT_EQ(t.value, c.value);
    }
    EXPECT_EQ(t.text, c.text);
    EXPECT_EQ(t.field, 1);
    EXPECT_EQ(r.read_number(), 9);  // the title took its whole field and no more
  }
  // The corner above the row titles may be empty; the first title is then field 2.
  FieldsReader r(" ,A, \"B\"\n", ',');
  r.allow_empty_corner();
  EXPECT_EQ(r.read_title().field, 2);
  EXPECT_EQ(r.read_title().text, "B");
  EXPECT_TRUE(r.rest_of_line_blank());
  const std::string long_title = std::string(200, 'a') + "   " + std::string(60, 'b');
  const RunError e = error_of([&] { FieldsReader(long_title + ",1\n", ',').read_title(); });
  EXPECT_NE(std::string(e.what()).find("line 1, field 1, is 263 characters long"), std::string::npos) << e.what();
  EXPECT_EQ(FieldsReader(std::string(255, 'a') + "   ,1\n", ',').read_title().text.size(), 255u);
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

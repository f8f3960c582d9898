// Data files whose values are separated by a comma, semicolon or tab, and decimal commas.
#include <gtest/gtest.h>

#include <vector>

#include "common/run_error.h"
#include "input/data_file_fixture.h"
#include "input/loader.h"
#include "report/text_reader.h"

namespace {

using Row = std::vector<REAL>;

struct SeparatedFields : qor_test::DataFileRun {
  void rules(char separator, bool decimal_comma) {
    s.SEP = separator;
    s.UCOMMA = decimal_comma;
  }
  std::string load_error(const std::string& bytes) {
    try {
      load(bytes);
    } catch (const RunError& e) {
      EXPECT_EQ(e.number(), 106) << e.what();
      return e.what();
    }
    ADD_FAILURE() << "expected the load to fail: " << bytes;
    return {};
  }
  Row row(int k) const { return {s.RO[k][1], s.A[k][1], s.A[k][2]}; }
  Row titles() const { return {s.CO[1][1], s.CO[1][2]}; }
};

// The same table in each form, with row and column titles (the corner above
// the row titles left empty as spreadsheets write it), blanks beside the
// separators and a line of separators only, which counts as blank.
TEST_F(SeparatedFields, EachSeparatorWithTitles) {
  const struct {
    char separator;
    bool decimal_comma;
    const char* text;
  } cases[] = {
      {',', false, ",400,450.5\r\n7, 0.25 ,-1e-3\r\n,,\r\n8,2,3.5\r\n"},
      {';', false, "; 400 ; 450.5\r\n7;0.25;-1e-3\r\n;;\r\n8 ; 2 ;3.5\r\n"},
      {';', true, ";400;450,5\r\n7;0,25;-1e-3\r\n\r\n8;2;3,5\n"},
      {'\t', false, "\t400\t450.5\n7 \t0.25\t -1e-3\n\t\t\n8\t2\t3.5\n"},
      {'\t', true, "\t400\t450,5\n7\t,25\t-1,e-3\n8\t2,\t3,5\n"},
      {0, true, "400 450,5\n7 0,25 -1e-3\n8 2 3,5\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    rules(c.separator, c.decimal_comma);
    s.BTOR = s.CTOC = true;
    load(c.text);
    EXPECT_EQ(s.N0, 2);
    EXPECT_EQ(s.M0, 2);
    EXPECT_EQ(row(1), (Row{7, 0.25L, -1e-3L}));
    EXPECT_EQ(row(2), (Row{8, 2, 3.5L}));
    EXPECT_EQ(titles(), (Row{400, 450.5L}));
  }
}

// Each refusal names the line and the field.
TEST_F(SeparatedFields, EmptyFieldsMixedSeparatorsAndWrongDecimalMarks) {
  const struct {
    char separator;
    bool decimal_comma;
    bool titles;
    const char* text;
    const char* words;
  } cases[] = {
      {';', false, false, "1;2;3\n4;;6\n", "line 2, field 2 is empty (two semicolons"},
      {';', false, false, "1;2;3\n;5;6\n", "line 2, field 1 is empty (the line begins with a semicolon"},
      {';', false, false, "1;2;3;\n", "line 1, field 4 is empty (the line ends with a semicolon"},
      {',', false, false, "1,2\n3,4,\r\n", "line 2, field 3 is empty (the line ends with a comma"},
      {';', false, false, "1;2;3\n4;5\t6\n", "line 2, field 2: \"6\" follows a value with only blanks"},
      {'\t', false, false, "1\t2\n3 4\n", "line 2, field 1: \"4\" follows"},
      {';', false, false, "1;2\n3;4,5\n", "\"4,5\" in data file \"data.txt\", line 2, field 2, is not a number"},
      {';', false, false, "1;2,5\n", "If the comma is a decimal comma, add ,DEC."},
      {',', false, false, "1,2;5\n", "This run separates the values by the comma."},
      {';', true, false, "1;2.5\n", "With ,DEC the decimal separator is the comma; a point is not read"},
      {';', true, false, "1;1.234,5\n", "field 2, is not a number (expected a decimal number such as 7, -2,5"},
      {';', false, true, ";1;2\n;3;4\n", "line 2, field 1 is empty"},        // a corner only in the title line
      {';', false, false, ";1;2\n5;3;4\n", "line 1, field 1 is empty"},      // no corner without row titles
      {';', false, true, ";;1;2\n5;3;4\n", "line 1, field 2 is empty (two"},  // one corner field at most
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    rules(c.separator, c.decimal_comma);
    s.BTOR = s.CTOC = c.titles;
    EXPECT_NE(load_error(c.text).find(c.words), std::string::npos) << load_error(c.text);
  }
}

// Without the keywords a comma is still a bad number; the hint names them.
TEST_F(SeparatedFields, CommaWithoutTheKeywordIsStill106) {
  const std::string what = load_error("1 2\n3 1,5\n");
  EXPECT_NE(what.find("\"1,5\" in data file \"data.txt\", line 2, field 2, is not a number"), std::string::npos);
  EXPECT_EQ(what.substr(what.find(" The comma")),
            " The comma at character 2 of the token does not belong in a number: for values separated by commas add "
            ",SEPC to the data file's name (in a parameter file the line S C), for semicolons ,SEPS (S S); for "
            "decimal commas ,DEC (U +).");
}

// Left-out rows are read only up to their first value, as without a separator.
TEST_F(SeparatedFields, LeftOutRowsAndColumns) {
  rules(';', true);
  s.ERS = "[2]";
  s.DCS = "[1]";
  load("1;2,5;3\n9;;x\n4;5;6,5\n");
  EXPECT_EQ(s.N, 2);
  EXPECT_EQ((Row{s.A[1][1], s.A[1][2], s.A[2][1], s.A[2][2]}), (Row{2.5L, 3, 5, 6.5L}));
}

}  // namespace

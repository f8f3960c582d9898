// Data files whose values are separated by a comma, semicolon or tab, and decimal commas.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/run_error.h"
#include "input/data_file_fixture.h"
#include "input/loader.h"
#include "input/text_reader.h"

namespace {

using Row = std::vector<REAL>;
using Texts = std::vector<std::string>;

struct SeparatedFields : qor_test::DataFileRun {
  void rules(char separator, bool decimal_comma) {
    s.settings.SEP = separator;
    s.settings.UCOMMA = decimal_comma;
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
  Row row(int k) const { return {s.table.RO[k][1], s.table.A[k][1], s.table.A[k][2]}; }
  Row titles() const { return {s.table.CO[1][1], s.table.CO[1][2]}; }
  static Row grid_of(const MATRIX& rows) { return {rows[1][1], rows[2][1]}; }
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
    s.settings.BTOR = s.settings.CTOC = true;
    load(c.text);
    EXPECT_EQ(s.table.N0, 2);
    EXPECT_EQ(s.table.M0, 2);
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
      {';', false, false, "1;2;3;;\n", "line 1, field 4 is empty (two semicolons"},
      {',', false, false, "1,2\n3,4,\r\n5,\n", "line 3) holds 1 value, but 2 were expected"},
      {';', false, false, "1;2;3\n4;5\t6\n", "line 2, field 2: \"6\" follows a value with only blanks"},
      {'\t', false, false, "1\t2\n3 4\n", "line 2, field 1: \"4\" follows"},
      {';', false, false, "1;2\n3;4,5\n", "\"4,5\" in data file \"data.txt\", line 2, field 2, is not a number"},
      {';', false, false, "1;2,5\n", "If the comma is a decimal comma, add ,DEC."},
      {',', false, false, "1,2;5\n", "The line holds semicolons: if they separate its values, read the file with "
                                      ",SEPS,DEC instead of ,SEPC, as its numbers have decimal commas (in a parameter "
                                      "file the line S S and the line U +)."},
      {',', false, false, "1;5\n", "The line holds semicolons: if they separate its values, read the file with "
                                    ",SEPS instead of ,SEPC (in a parameter file the line S S)."},
      {'\t', false, false, "a\t1;5\n", "read the file with ,SEPS instead of ,SEPT"},
      {'\t', false, false, "1\t2,x\n", "This run separates the values by the tab."},
      {';', true, false, "1;2.5\n", "With ,DEC the decimal separator is the comma; a point is not read"},
      {';', true, false, "1;1.234,5\n", "field 2, is not a number (expected a decimal number such as 7, -2,5"},
      {';', false, true, ";1;2\n;3;4\n", "line 2, field 1 is empty"},        // a corner only in the title line
      {';', false, false, ";1;2\n5;3;4\n", "line 1, field 1 is empty"},      // no corner without row titles
      {';', false, true, ";;1;2\n5;3;4\n", "line 1, field 2 is empty (two"},  // one corner field at most
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    rules(c.separator, c.decimal_comma);
    s.settings.BTOR = s.settings.CTOC = c.titles;
    EXPECT_NE(load_error(c.text).find(c.words), std::string::npos) << load_error(c.text);
  }
}

// Some programs end every line with the separator: one after the last value
// is no field; the values are those before it.
TEST_F(SeparatedFields, OneSeparatorAtTheEndOfALine) {
  const struct {
    char separator;
    bool titles;
    const char* text;
    Row row2;
  } cases[] = {
      {';', false, "1;2;\n3;4;\n", {2, 3, 4}},
      {',', false, "1,2,\r\n3 , 4 , \r\n", {2, 3, 4}},
      {'\t', false, "1\t2\t\n3\t4\n", {2, 3, 4}},
      {';', true, ";400;450;\nP1;1;2;\nP2;3;4;\n", {2, 3, 4}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    rules(c.separator, false);
    s.settings.BTOR = s.settings.CTOC = c.titles;
    load(c.text);
    EXPECT_EQ(s.table.N0, 2);
    EXPECT_EQ(s.table.M0, 2);
    EXPECT_EQ(row(2), c.row2);
  }
}

// An instrument's table read without its keywords: the message names them.
// Its rows hold semicolons and decimal commas, its first line semicolons;
// rows that begin with words want ,TOR, a first line of words ,TOC.
TEST_F(SeparatedFields, HintsForAnInstrumentTable) {
  const std::string table = "\xef\xbb\xbfProbe;380 nm;390 nm\r\nProbe 01;0,105;0,210\r\nProbe 02;0,110;0,219\r\n";
  const std::string row_hint =
      "The line holds semicolons: if they separate its values, read the file with ,SEPS,DEC, as its numbers have "
      "decimal commas (in a parameter file the line S S and the line U +).";
  const std::string first_line_hint =
      "The line holds semicolons: if they separate its values, read the file with ,SEPS (in a parameter file the "
      "line S S).";
  const struct {
    bool row_titles, column_titles;
    std::string separators;
    const char* words;
  } cases[] = {
      {true, true, row_hint, "\"Probe\" in data file \"data.txt\", line 2, field 1, is not a number"},
      {false, true, row_hint, "If the rows begin with titles, add ,TOR"},
      {true, false, first_line_hint, "If the first line holds column titles, add ,TOC"},
      {false, false, first_line_hint, "If the first line holds column titles, add ,TOC. If the rows begin with "
                                      "titles, add ,TOR. Titles that are words are read with a separator only"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.words);
    rules(0, false);
    s.settings.BTOR = c.row_titles;
    s.settings.CTOC = c.column_titles;
    const std::string what = load_error(table);
    EXPECT_NE(what.find(c.separators), std::string::npos) << what;
    EXPECT_NE(what.find(c.words), std::string::npos) << what;
  }
  // With both keywords no title keyword is suggested; with titles of numbers neither.
  s.settings.BTOR = s.settings.CTOC = true;
  EXPECT_EQ(load_error(table).find(",TOR"), std::string::npos);
  s.settings.BTOR = s.settings.CTOC = false;
  const std::string numbers = load_error("1 2\n3 x\n");
  EXPECT_EQ(numbers.find(",TO"), std::string::npos) << numbers;
  // With the separator keywords it loads; "380 nm" is the last title, so its
  // first word is the number, as ever.
  rules(';', true);
  s.settings.BTOR = s.settings.CTOC = true;
  load(table);
  EXPECT_EQ(row(2), (Row{2, 0.110L, 0.219L}));
  EXPECT_EQ(titles(), (Row{380, 390}));
}

// Values separated by blanks read with a separator and row titles: the whole
// line is the title, and the message names the separator as the cause.
TEST_F(SeparatedFields, BlankSeparatedValuesReadWithASeparator) {
  const struct {
    char separator;
    bool column_titles;
    const char* text;
    const char* words;
  } cases[] = {
      {';', true, "  400 450\n1 0.105 0.210\n", "the semicolon separates the values (,SEPS), but the line holds none"},
      {',', false, "1\t0.105\t0.210\n", "the comma separates the values (,SEPC), but the line holds none"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    rules(c.separator, false);
    s.settings.BTOR = true;
    s.settings.CTOC = c.column_titles;
    try {
      load(c.text);
      ADD_FAILURE() << "expected the load to fail";
    } catch (const RunError& e) {
      EXPECT_EQ(e.number(), kNothingToAnalyse);
      EXPECT_NE(std::string(e.what()).find(c.words), std::string::npos) << e.what();
    }
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

// Titles as spreadsheets write them. Row titles are texts when the title of
// any selected row is not a number, column titles when that of any selected
// column is not: their labels are then the original numbers, and the texts
// are kept by original number (index 0 unused). Numbers only: nothing kept.
TEST_F(SeparatedFields, TextTitles) {
  const struct {
    const char* what;
    char separator;
    bool row_titles;
    const char* ers;
    const char* dcs;
    std::string text;
    Row labels;  // RO[1..N][1], then CO[1][1..M]
    Texts row_texts, column_texts;
  } cases[] = {
      {"sample names", ',', true, "[]", "[]", "Sample,400,450\nS01,1,2\nS02,3,4\n",
       {1, 2, 400, 450}, {"", "S01", "S02"}, {}},
      {"a mixed title line", ',', true, "[]", "[]", "Sample,400,410,abc\nS01,1,2,3\n",
       {1, 1, 2, 3}, {"", "S01"}, {"", "400", "410", "abc"}},
      {"mixed row titles", ';', true, "[]", "[]", ";400;450\n7;1;2\nS02;3;4\n",
       {1, 2, 400, 450}, {"", "7", "S02"}, {}},
      {"a text title left out", ';', true, "[2]", "[2]", "T;400;x\n7;1;2\nblank;0;0\n8;3;4\n",
       {7, 8, 400}, {}, {}},
      {"a text title of a left-out column", ',', true, "[]", "[3]", ",400,450,note\n7,1,2,3\n",
       {7, 400, 450}, {}, {}},
      {"a number in the corner is the first title, as ever", ',', true, "[]", "[]", "0,400,450\n7,1,2\n",
       {7, 0, 400}, {}, {}},
      {"no corner without more fields than values", ',', true, "[]", "[]", "A,B\n7,1,2\n",
       {7, 1, 2}, {}, {"", "A", "B"}},
      {"an empty corner before texts", ',', true, "[]", "[]", " ,A,B\n7,1,2\n",
       {7, 1, 2}, {}, {"", "A", "B"}},
      {"a quoted empty corner", ',', true, "[]", "[]", "\"\",\"A\",\"B\"\n\"S 1\",1,2\n",
       {1, 1, 2}, {"", "S 1"}, {"", "A", "B"}},
      {"no corner without row titles", '\t', false, "[]", "[]", "Sample\t400\t450\n1\t2\t3\n",
       {1, 1, 2, 3}, {}, {"", "Sample", "400", "450"}},
      {"text after the last title was never read", ',', true, "[]", "[]", ",400,450 nm\n7,1,2\n",
       {7, 400, 450}, {}, {}},
      {"text after the last title of a text line stays", ',', true, "[]", "[]", ",A,450 nm\n7,1,2\n",
       {7, 1, 2}, {}, {"", "A", "450 nm"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    rules(c.separator, false);
    s.settings.BTOR = c.row_titles;
    s.settings.CTOC = true;
    s.settings.ERS = c.ers;
    s.settings.DCS = c.dcs;
    load(c.text);
    Row labels;
    for (int k = 1; k <= s.table.N; ++k) labels.push_back(s.table.RO[k][1]);
    for (int l = 1; l <= s.table.M; ++l) labels.push_back(s.table.CO[1][l]);
    EXPECT_EQ(labels, c.labels);
    EXPECT_EQ(s.table.row_title_texts, c.row_texts);
    EXPECT_EQ(s.table.column_title_texts, c.column_texts);
  }
}

// A spreadsheet's table whole: byte-order mark, quoted numbers, a decimal
// comma in quotes, the corner, sample names.
TEST_F(SeparatedFields, ASpreadsheetTable) {
  rules(';', true);
  s.settings.BTOR = s.settings.CTOC = true;
  load("\xef\xbb\xbf\"Sample\";\"W 400\";\"W 450\"\r\n\"S01\";\"0,25\";1\r\n\"S02\";-1,5e-1;\"2\"\r\n");
  EXPECT_EQ(row(1), (Row{1, 0.25L, 1}));
  EXPECT_EQ(row(2), (Row{2, -0.15L, 2}));
  EXPECT_EQ(titles(), (Row{1, 2}));
  EXPECT_EQ(grid_of(s.table.RW), (Row{1, 2}));
  EXPECT_EQ(s.table.row_title_texts, (Texts{"", "S01", "S02"}));
  EXPECT_EQ(s.table.column_title_texts, (Texts{"", "W 400", "W 450"}));
  // The mark before a first value, as it stands before a table without titles.
  s.settings.BTOR = s.settings.CTOC = false;
  load("\xef\xbb\xbf\"7\";8\r\n9;10\r\n");
  EXPECT_EQ((Row{s.table.A[1][1], s.table.A[1][2], s.table.A[2][1], s.table.A[2][2]}), (Row{7, 8, 9, 10}));
}

// Without a separator the reading stays as it was: titles are numbers, and
// a word, a quote or a byte-order mark is a bad number.
TEST_F(SeparatedFields, WithoutASeparatorTitlesAreNumbers) {
  const struct {
    bool decimal_comma;
    const char* text;
    const char* words;
  } cases[] = {
      {false, "Sample 400 450\n7 1 2\n", "\"Sample\" in data file \"data.txt\", line 1, field 1, is not a number"},
      {false, "400 450\nS01 1 2\n", "\"S01\" in data file \"data.txt\", line 2, field 1, is not a number"},
      {true, "400 450\nS01 1 2\n", "\"S01\" in data file \"data.txt\", line 2, field 1, is not a number"},
      {false, "400 450\n\"7\" 1 2\n", "\"\"7\"\" in data file \"data.txt\", line 2, field 1, is not a number"},
      {false, "\xef\xbb\xbf" "400 450\n7 1 2\n", "\"\xef\xbb\xbf" "400\" in data file \"data.txt\", line 1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    rules(0, c.decimal_comma);
    s.settings.BTOR = s.settings.CTOC = true;
    EXPECT_NE(load_error(c.text).find(c.words), std::string::npos) << load_error(c.text);
    EXPECT_TRUE(s.table.row_title_texts.empty() && s.table.column_title_texts.empty());
  }
}

// Left-out rows are read only up to their first value, as without a separator.
TEST_F(SeparatedFields, LeftOutRowsAndColumns) {
  rules(';', true);
  s.settings.ERS = "[2]";
  s.settings.DCS = "[1]";
  load("1;2,5;3\n9;;x\n4;5;6,5\n");
  EXPECT_EQ(s.table.N, 2);
  EXPECT_EQ((Row{s.table.A[1][1], s.table.A[1][2], s.table.A[2][1], s.table.A[2][2]}), (Row{2.5L, 3, 5, 6.5L}));
}

}  // namespace

// The table of options: what it reads from either source, the warnings for
// settings read otherwise than meant, the keywords of --help, and that the
// manuals name every option.
#include "control/options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/program_run.h"
#include "control/program.h"
#include "control/settings.h"
#include "e2e/run_support.h"
#include "input/text_reader.h"
#include "test_support.h"

namespace {

using Lines = std::vector<std::string>;

struct Warnings : ::testing::Test {
  qor_test::CapturedConsole captured;
  ProgramRun s{captured.console()};

  Lines command_line(Lines params) {
    params.insert(params.begin(), "qor");
    read_settings(s, params);
    return s.settings.setting_warnings;
  }
  Lines parameter_file(const std::string& text) {
    set_default_settings(s.settings);
    TextReader file(text, "p.txt", "parameter file");
    read_parameter_file(s.settings, file);
    finish_settings(s.settings);
    return s.settings.setting_warnings;
  }
};

TEST_F(Warnings, OneLineForEachSettingTakenOtherwiseThanMeant) {
  const struct {
    Lines params;
    Lines warnings;
  } cases[] = {
      {{"d.txt,TOR,C[1,5..8],TG0.01,RANK,JSON,SEPS,DEC", "o", "BS10:4", "0.002@1.5", "3", "R1"}, {}},
      {{"d.txt,RNAK,PLTO,tor,XYZ", "o"},
       {"\",RNAK\" in parameter 1 is not a keyword and was ignored (did you mean \",RANK\"?)",
        "\",PLTO\" in parameter 1 is not a keyword and was ignored (did you mean \",PLOT\"?)",
        "\",XYZ\" in parameter 1 is not a keyword and was ignored (qor --help lists the keywords)"}},
      {{"d.txt", "o", "", "5%"},
       {"the error \"5%\" is read as an absolute error of 5 with no relative part; for 5 per cent write \"%5\""}},
      {{"d.txt", "o", "", "abc"},
       {"the error \"abc\" in parameter 4 is not a number, so no error is given; write an absolute error such as "
        "0.002, a relative one in per cent such as @1.5, or both: 0.002@1.5."}},
      {{"d.txt", "o", "", "0.1@x"},
       {"the relative part \"x\" of the error \"0.1@x\" in parameter 4 is not a number and counts as 0."}},
      {{"d.txt", "o", "X10:4"},
       {"\"X10\" in parameter 3 is not a whole number, so the width stays 7; the format is width:decimals, e.g. "
        "10:4."}},
      {{"d.txt", "o", "10"},
       {"\"10\" in parameter 3 has no colon, so the numbers keep width 7 and 3 decimals; the format is "
        "width:decimals, e.g. 10:4."}},
      {{"d.txt", "o", "BE"},
       {"\"BE\" in parameter 3: only its first letter names the method (B, E or T), so \"E\" is not read as one; "
        "the numbers are 7 wide with 3 decimals."}},
      {{"d.txt", "o", "", "", "all"},
       {"the steps \"all\" in parameter 5 are not a whole number (at most 32767), so every step is done."}},
      {{"d.txt", "o", "", "", "", "3"},
       {"\"3\" in parameter 6 names no reference row or column, so none is subtracted; write R3 for data row 3 or "
        "C2 for data column 2."}},
      {{"d.txt", "o", "", "", "", "", "extra", "more"},
       {"parameter 7 (\"extra\") is ignored: a run reads at most six parameters.",
        "parameter 8 (\"more\") is ignored: a run reads at most six parameters."}},
      {{"d.txt,C[1-3],TG,TW", "o"},
       {"the list after \",C[\" in parameter 1 holds a character other than digits, commas and full stops, or no "
        "closing \"]\", so it leaves out nothing; write ranges as 5..8.",
        "\",TG\" in parameter 1 gives no class width, so no histogram is written; write the width after it, e.g. "
        "\",TG0.01\".",
        "\",TW\" in parameter 1 is not followed by a count of steps, so no contribution tables are made; write it "
        "as \",TW3\" (tables after 2 steps)."}},
  };
  for (const auto& c : cases) EXPECT_EQ(command_line(c.params), c.warnings) << c.params[0];
  // The values stay those the settings have always fallen back to.
  command_line({"d.txt,RNAK", "o", "X10:4", "5%", "all", "3"});
  EXPECT_EQ(s.settings.VERDICT, false);
  EXPECT_EQ(s.settings.KW1, 7);
  EXPECT_EQ(s.settings.KD, 4);
  EXPECT_EQ(s.settings.MER, 5);
  EXPECT_EQ(s.settings.MERPR, 0);
  EXPECT_EQ(s.settings.NU, -1);
  EXPECT_EQ(s.settings.OSR + s.settings.OSC, 0);
}

TEST_F(Warnings, ParameterFileLinesOfOurOwnKeysActOnlyOnValuesTheyKnow) {
  // A comment that begins with S, V, X, Y or U is a comment, as it always was.
  EXPECT_EQ(parameter_file("Sample set 3, measured in May\r\nVery noisy\r\nX-ray run\r\nA d.txt\r\n"), Lines{});
  EXPECT_EQ(s.settings.SEP, 0);
  EXPECT_EQ(s.settings.setting_refusal, "");
  EXPECT_FALSE(s.settings.VERDICT || s.settings.XJSON);
  parameter_file("S ;\r\nV +\r\nx=+\r\n");
  EXPECT_EQ(s.settings.SEP, ';');
  EXPECT_TRUE(s.settings.VERDICT && s.settings.XJSON);
  EXPECT_EQ(parameter_file("N three\r\nK 10\r\nM 2%\r\nO X5\r\n"),
            (Lines{"the steps \"three\" in the N line are not a whole number (at most 32767), so every step is done.",
                   "\"10\" in the K line has no colon, so the numbers keep width 7 and 3 decimals; the format is "
                   "width:decimals, e.g. 10:4.",
                   "the error \"2%\" in the M line is read as an absolute error of 2 with no relative part; for 2 per "
                   "cent write \"%2\"",
                   "\"X5\" in the O line names no reference row or column, so none is subtracted; write R3 for data "
                   "row 3 or C2 for data column 2."}));
}

TEST(Options, UnknownWordsAndTheNearestKeyword) {
  EXPECT_EQ(unknown_keywords(",TOR,C[1,5..8],XX,TG0.01,RNAK,SEPS,TW3,R[2]"), (Lines{"XX", "RNAK"}));
  EXPECT_EQ(unknown_keywords(",ERR=MY.TOR,TOR,ER=E.TXT"), (Lines{"ER=E.TXT"}));  // a file name is no keyword
  EXPECT_EQ(unknown_keywords("D.TXT"), Lines{});
  EXPECT_EQ(unknown_keywords("D.TXT,,TOR,"), Lines{});  // a lone comma names nothing
  const struct {
    const char* word;
    const char* nearest;
  } cases[] = {{"RNAK", ",RANK"}, {"PLTO", ",PLOT"}, {"JSN", ",JSON"}, {"TORR", ",TOR"}, {"SEEP", ",SEP"},
               {"DECC", ",DEC"},  {"XYZ", ""},       {"RANKING", ""}, {"JOSNN", ",JSON"}};
  for (const auto& c : cases) EXPECT_EQ(nearest_keyword(c.word), c.nearest) << c.word;
}

// The keyword lines of --help as they were written by hand before the table
// existed (with the separators' later words): the table gives them byte for
// byte.
TEST(Options, HelpListsTheKeywordsOfTheTable) {
  EXPECT_EQ(keyword_usage_lines(),
            "   ,TOR         every data row begins with a row title\n"
            "   ,TOC         the first line holds the column titles\n"
            "   ,C[list]     leave out these columns, e.g. ,C[1,5..8]\n"
            "   ,R[list]     leave out these rows, e.g. ,R[2]\n"
            "   ,TGwidth     histogram file Qorgauss.bin with this class width\n"
            "   ,TWk         contribution tables after k-1 elimination steps\n"
            "   ,CRC         tables of the columns instead of the rows\n"
            "   ,NS          tables in matrix order, not sorted by size\n"
            "   ,RANK        a rank verdict with its confidence at the end of the report\n"
            "                and the screen (parameter file: V +)\n"
            "   ,PLOT        an SVG picture of the pivots or eigenvalues, the verdict and\n"
            "                the histogram, beside the report (parameter file: Y +)\n"
            "   ,EFA ,EFAw   evolving factor analysis of the rows at the end of the\n"
            "                report: components by window and where each appears and\n"
            "                disappears; w: rows of the moving window\n"
            "                (parameter file: W +, W w)\n"
            "   ,SEPC ,SEPS ,SEPT  values separated by commas, semicolons or tabs, with\n"
            "                blanks beside them allowed; quoted fields, a byte-order\n"
            "                mark and text titles (S01) are read as spreadsheets write\n"
            "                them (parameter file: S C, S S, S T)\n"
            "   ,ERR=file    each element's absolute error (its standard deviation) from\n"
            "                this file, a matrix of the data file's shape read by the\n"
            "                same rules and selections; parameter 4 may still give a\n"
            "                relative error (parameter file: Z file)\n"
            "   ,DEC         decimal commas instead of points (parameter file: U +)\n"
            "   ,JSON        the results as JSON beside the report, OUT.TXT -> OUT.json\n"
            "                (parameter file: X +)\n");
}

// A key listed as in Qor.hlp's table: after a blank or a line end, the
// letter, two blanks and its meaning. (No std::regex: its inlined code warns
// in the sanitizer build.)
bool lists_key(const std::string& text, char key) {
  const std::string entry = std::string(1, key) + "  ";
  for (std::size_t at = text.find(entry); at != std::string::npos; at = text.find(entry, at + 1)) {
    const bool starts = at == 0 || text[at - 1] == ' ' || text[at - 1] == '\n';
    const std::size_t next = at + entry.size();
    if (starts && next < text.size() && text[next] != ' ' && text[next] != '\r' && text[next] != '\n') return true;
  }
  return false;
}

// Each keyword in the three manuals, and each parameter-file key in the key
// list of each: Qor.hlp's topic 6 ("K  width:decimals"), the man page's
// ".B K" entries, the README's table ("| `K` |").
TEST(Options, EveryManualNamesEveryOption) {
  const std::string dir = QOR_SOURCE_DIR;
  const std::string help = qor_test::read_file(dir + "/Qor.hlp");
  const std::string man = qor_test::read_file(dir + "/doc/qor.1.in");
  const std::string readme = qor_test::read_file(dir + "/README.md");
  const std::string topic6 = help.substr(help.find("*6 *****"), help.find("*7 *****") - help.find("*6 *****"));
  for (const Option& o : options()) {
    const std::string name(o.keyword.empty() ? "" : o.keyword == ",SEP" ? ",SEPC" : std::string(o.keyword));
    if (!name.empty()) {
      EXPECT_NE(help.find(name), std::string::npos) << name << " in Qor.hlp";
      EXPECT_NE(man.find(name), std::string::npos) << name << " in the man page";
      EXPECT_NE(readme.find("`" + name), std::string::npos) << name << " in the README";
    }
    const std::string key(1, o.key);
    EXPECT_TRUE(lists_key(topic6, o.key)) << key << " in Qor.hlp";
    EXPECT_NE(man.find("\n.B " + key + "\n"), std::string::npos) << key << " in the man page";
    EXPECT_NE(readme.find("| `" + key + "` |"), std::string::npos) << key << " in the README";
  }
}

// Warnings go to standard error alone: standard output, the files and the
// status stay those of the run without the mistakes.
TEST(Options, WarningsLeaveTheRunAsItWas) {
  qor_test::TempDir dir;
  qor_test::write_file("d.txt", "1 2 3\r\n2 4.1 6\r\n0.5 1 2\r\n");
  // The report named in capitals, as the analysis writes it: no warning of its name.
  const auto plain = qor_test::run_qor_with_errors({"d.txt", "O", "", "5"});
  const std::string report = qor_test::read_file("O");
  const auto warned = qor_test::run_qor_with_errors({"d.txt,RNAK", "O", "", "5%", "", "", "extra"});
  EXPECT_EQ(warned.status, plain.status);
  EXPECT_EQ(qor_test::without_time(warned.out), qor_test::without_time(plain.out));
  const std::string again = qor_test::read_file("O");
  const auto after_parameters = [](const std::string& file) {
    return file.substr(file.find("\r\n", file.find("Input parameters:")));
  };
  EXPECT_EQ(after_parameters(again), after_parameters(report));
  EXPECT_EQ(plain.err, "");
  EXPECT_EQ(warned.err,
            "qor: \",RNAK\" in parameter 1 is not a keyword and was ignored (did you mean \",RANK\"?)\n"
            "qor: the error \"5%\" is read as an absolute error of 5 with no relative part; for 5 per cent write "
            "\"%5\"\n"
            "qor: parameter 7 (\"extra\") is ignored: a run reads at most six parameters.\n");
}

}  // namespace

#include "control/settings.h"

#include <gtest/gtest.h>

#include <tuple>

#include "common/run_error.h"
#include "control/program.h"
#include "input/text_reader.h"
#include "test_support.h"

namespace {

// Settings compared as one group, so that a failure shows them all: AFNI, GFNO, DCS, ERS and
// KW1, KD, MER, MERPR, NU, OSR, OSC, FTW, RGAUSS.
using Names = std::tuple<std::string, std::string, std::string, std::string>;
using Numbers = std::tuple<int, int, REAL, REAL, int, int, int, int, REAL>;
const Numbers kDefaults{7, 3, 0, 0, -1, 0, 0, 0, -1};

struct Settings : ::testing::Test {
  qor_test::CapturedConsole captured;
  ProgramRun s{captured.console()};

  void command_line(std::vector<std::string> params) {
    params.insert(params.begin(), "qor");
    read_settings(s, params);
  }
  void parameter_file(const std::string& text) {
    set_default_settings(s.settings);
    TextReader file(text, "params.txt", "parameter file");
    read_parameter_file(s.settings, file);
    finish_settings(s.settings);
  }
  Names names() const { return {s.settings.AFNI.str(), s.settings.GFNO.str(), s.settings.DCS.str(), s.settings.ERS.str()}; }
  Numbers numbers() const { return {s.settings.KW1, s.settings.KD, s.settings.MER, s.settings.MERPR, s.settings.NU, s.settings.OSR, s.settings.OSC, s.settings.FTW, s.settings.RGAUSS}; }
  // The switches that are on, by their parameter-file keys.
  std::string switches() const {
    const std::pair<char, bool> all[] = {{'B', s.settings.BTOR}, {'C', s.settings.CTOC}, {'H', s.settings.HDR}, {'I', s.settings.ITRN},
                                         {'J', s.settings.JEV},  {'L', s.settings.LSD},  {'P', s.settings.PCRC}, {'Q', s.settings.QHS},
                                         {'V', s.settings.VERDICT}, {'Y', s.settings.YPLOT}};
    std::string on;
    for (const auto& [key, value] : all)
      if (value) on += key;
    return on;
  }
};

TEST_F(Settings, TwoParametersKeepTheDefaults) {
  command_line({"data.txt", "out.txt"});
  EXPECT_EQ(names(), Names("data.txt", "out.txt", "[]", "[]"));
  EXPECT_EQ(switches(), "HQ");
  EXPECT_EQ(numbers(), kDefaults);
}

TEST_F(Settings, SixParameters) {
  command_line({"data.txt,TOR,C[3,7..9]", "out.txt", "BS10:4", "0.002%1.5", "3", "R1", "ignored"});
  EXPECT_EQ(names(), Names("data.txt", "out.txt", "[3,7..9]", "[]"));
  EXPECT_EQ(switches(), "BHIJLQ");
  EXPECT_EQ(numbers(), Numbers(10, 4, 0.002L, 1.5L / 100, 3, 1, 0, 0, -1));
  EXPECT_EQ(s.params.size(), 7u);  // parameters beyond the sixth are not kept
}

TEST_F(Settings, DataFileKeywordsInAnyOrderAndCase) {
  command_line({"d.txt,tg0.1,toc,R[2..4],NS,crc,tw3,tor", "o"});
  EXPECT_EQ(names(), Names("d.txt", "o", "[]", "[2..4]"));
  EXPECT_EQ(switches(), "BCHP");
  EXPECT_EQ(numbers(), Numbers(7, 3, 0, 0, -1, 0, 0, 3, 0.1L));
}

// ",RANK" and ",R[" share their first two characters; neither is taken for the other.
TEST_F(Settings, RankKeywordBesideTheRowList) {
  for (const auto& [param, rows, verdict] :
       {std::tuple{"d,R[2],rank", "[2]", true}, {"d,Rank,R[2]", "[2]", true}, {"d,R[2]", "[2]", false},
        {"d,RAN,R[", "[]", false}, {"d,R[RANK]", "[]", false}, {"d,TOR,RANK", "[]", true}}) {
    command_line({param, "o"});
    EXPECT_EQ(s.settings.ERS, rows) << param;
    EXPECT_EQ(s.settings.VERDICT, verdict) << param;
  }
}

// The separator's letter (or character) right after ",SEP"; the comma of ",SEP," may
// also begin the next keyword.
TEST_F(Settings, SeparatorDecimalCommaAndResultsKeywords) {
  for (const auto& [param, sep, dec, json, titles] :
       {std::tuple{"d,SEPS", ';', false, false, false}, {"d,sep;,dec", ';', true, false, false},
        {"d,TOR,SepT,Json", '\t', false, true, true}, {"d,SEP,TOR", ',', false, false, true},
        {"d,SEPC,C[2]", ',', false, false, false}, {"d,DEC,TOR", '\0', true, false, true},
        {"d,TOR,TOC", '\0', false, false, true}}) {
    command_line({param, "o"});
    EXPECT_EQ(s.settings.SEP, sep) << param;
    EXPECT_EQ(s.settings.UCOMMA, dec) << param;
    EXPECT_EQ(s.settings.XJSON, json) << param;
    EXPECT_EQ(s.settings.BTOR, titles) << param;
  }
  command_line({"d,SEPC,C[2]", "o"});
  EXPECT_EQ(s.settings.DCS, "[2]");
  parameter_file("A d\nG o\nS t\nU +\nX +\n");
  EXPECT_EQ(s.settings.SEP, '\t');
  EXPECT_TRUE(s.settings.UCOMMA && s.settings.XJSON);
  parameter_file("S ;\nU x\n");
  EXPECT_EQ(s.settings.SEP, ';');
  EXPECT_FALSE(s.settings.UCOMMA);
}

// Settings that cannot work together, or a separator not named, stop before
// the data file is opened.
TEST_F(Settings, SeparatorRefusals) {
  for (const auto& [param, report, words] :
       {std::tuple{"d,SEPX", "o", "C for a comma"}, {"d,SEP", "o", "C for a comma"},
        {"d,SEPC,DEC", "o", "cannot be read where commas separate"},
        {"d,JSON", "", "second parameter must name one"}}) {
    try {
      command_line({param, report});
      ADD_FAILURE() << param;
    } catch (const RunError& e) {
      EXPECT_EQ(e.number(), kSettingOutOfRange) << param;
      EXPECT_NE(std::string(e.what()).find(words), std::string::npos) << e.what();
    }
  }
}

// The error file's name keeps its case and ends at the next keyword; the
// error parameter may then give only a relative error.
TEST_F(Settings, ErrorFileKeywordAndKey) {
  for (const auto& [param, file, verdict] :
       {std::tuple{"d,ERR=Sd.txt", "Sd.txt", false}, {"d,err=e.csv,RANK", "e.csv", true},
        {"d,RANK,ERR=dir/E", "dir/E", true}, {"d,TOR", "", false}}) {
    command_line({param, "o", "7:3", "@2"});
    EXPECT_EQ(s.settings.ERRF.str(), file) << param;
    EXPECT_EQ(s.settings.VERDICT, verdict) << param;
    EXPECT_EQ(s.settings.AFNI.str(), "d") << param;
  }
  parameter_file("A d\nZ errors.txt \nM @1\n");
  EXPECT_EQ(s.settings.ERRF.str(), "errors.txt");
  try {
    command_line({"d,ERR=e.txt", "o", "7:3", "0.1"});
    ADD_FAILURE() << "an absolute error beside the error file";
  } catch (const RunError& e) {
    EXPECT_EQ(e.number(), kSettingOutOfRange);
    EXPECT_NE(std::string(e.what()).find("only a relative one"), std::string::npos) << e.what();
  }
}

TEST_F(Settings, SelectionListsNeedTheirClosingBracket) {
  for (const auto& [param, list] :
       {std::pair{"d,C[2,5..7]", "[2,5..7]"}, {"d,C[5-7]", "[]"}, {"d,C[2,5", "[]"}}) {
    command_line({param, "o"});
    EXPECT_EQ(s.settings.DCS, list) << param;
  }
}

TEST_F(Settings, UnreadableNumbersFallBack) {
  command_line({"d,TGx,TW", "o", "ab:cd", "x@y", "many", "Rz"});
  EXPECT_EQ(numbers(), kDefaults);
  // Outside the 16-bit and 32-bit ranges: unreadable, so the fallback value.
  command_line({"d,TW99999999999", "o", "40000:5", "", "70000", "C5000000000"});
  EXPECT_EQ(numbers(), Numbers(7, 5, 0, 0, -1, 0, 0, 0, -1));
}

TEST_F(Settings, FormatErrorPairAndReferenceParameters) {
  const struct { std::vector<std::string> params; const char* switches; Numbers numbers; } cases[] = {
      {{"d", "o", "S"}, "HLQ", kDefaults},
      {{"d", "o", "10"}, "HQ", kDefaults},
      {{"d", "o", "E12:"}, "HJQ", {12, 3, 0, 0, -1, 0, 0, 0, -1}},
      {{"d", "o", "t12:-1"}, "HIQ", {12, -1, 0, 0, -1, 0, 0, 0, -1}},
      {{"d", "o", "", "0.002"}, "HQ", {7, 3, 0.002L, 0, -1, 0, 0, 0, -1}},
      {{"d", "o", "", "@1.5"}, "HQ", {7, 3, 0, 1.5L / 100, -1, 0, 0, 0, -1}},
      {{"d", "o", "", "0.002@1.5%3"}, "HQ", {7, 3, 0.002L, 0, -1, 0, 0, 0, -1}},  // "1.5%3" is no number
      {{"d", "o", "", "", "", "c4"}, "HQ", {7, 3, 0, 0, -1, 0, 4, 0, -1}},
      {{"d", "o", "", "", "", "X4"}, "HQ", kDefaults}};
  for (const auto& c : cases) {
    command_line(c.params);
    SCOPED_TRACE(::testing::PrintToString(c.params));
    EXPECT_EQ(switches(), c.switches);
    EXPECT_EQ(numbers(), c.numbers);
  }
}

TEST_F(Settings, FileNamesAreTrimmedAndTheAsteriskSwitchesDetailOff) {
  command_line({"data.txt extra,TOR", "out.txt*"});
  EXPECT_EQ(s.settings.AFNI, "data.txt");
  EXPECT_EQ(s.settings.GFNO, "out.txt");
  EXPECT_FALSE(s.settings.HDR);
  command_line({"d", "ou*t.txt more"});
  EXPECT_EQ(s.settings.GFNO, "out.txt");
}

TEST_F(Settings, ParameterFileKeys) {
  parameter_file(
      "\r\n   A data.txt,TOR\r\n"
      "B+\r\nC +\r\nP=+\r\n"
      "d [1,2] rest\r\nE [3\r\n"
      "F 2 tables\r\ng out.txt\r\nH -\r\nI +\r\nJ x\r\nk 10:4 wide\r\nL +\r\n"
      "M 0.01@2\r\nN 5 components\r\nO c3\r\nQ -\r\nR 0.5 extra\r\n"
      "Z anything\r\n1 comment\r\nV+\r\n");
  EXPECT_EQ(names(), Names("data.txt", "out.txt", "[1,2]", "[]"));  // A is cut at the comma
  EXPECT_EQ(switches(), "CILP");  // no B: B+ loses its plus sign with the key
  EXPECT_EQ(numbers(), Numbers(10, 4, 0.01L, 2.0L / 100, 5, 0, 3, 2, -1));
}

// The classic switches go one way only; our own keys take - and no as well.
TEST_F(Settings, ParameterFileLaterLinesWinAndSwitchesOnlyGoOneWay) {
  parameter_file("N 4\nN x\nB +\nB -\nR 0.25\nF -3\nv +\nV -\ny +\n");
  EXPECT_EQ(switches(), "BHQY");
  EXPECT_EQ(numbers(), Numbers(7, 3, 0, 0, -1, 0, 0, 0, 0.25L));  // a negative FTW counts as 0
}

// ",PLOT" in any case among the other keywords, or the key Y with a plus sign.
TEST_F(Settings, PictureKeywordAndKey) {
  for (const auto& [param, on] : {std::pair{"d,plot", "HQY"}, {"d,TOR,Plot,RANK,TG0.1", "BHQVY"}, {"d,PLO", "HQ"}}) {
    command_line({param, "o"});
    EXPECT_EQ(switches(), on) << param;
  }
  for (const auto& [file, on] : {std::pair{"Y +\n", "HQY"}, {"y=+\n", "HQY"}, {"Y+\n", "HQ"}, {"Y -\n", "HQ"}}) {
    parameter_file(file);
    EXPECT_EQ(switches(), on) << file;
  }
}

// The switch values users write. Our own keys (V, Y; U and X alike) take
// them; any other word leaves the line a comment. The classic keys switch
// only by their sign, as ever, and a word meaning the same is told on
// standard error instead.
TEST_F(Settings, SwitchValuesAsUsersWriteThem) {
  const struct {
    const char* file;
    const char* on;
    const char* warning;  // a part of the one warning, or empty: none
  } cases[] = {
      {"V yes\nY true\n", "HQVY", ""},
      {"V 1\nY On\n", "HQVY", ""},
      {"V YES please\nY +\n", "HQVY", ""},
      {"V yes\nV no\nY 1\nY 0\n", "HQ", ""},
      {"V true\nV false\nY +\nY -\n", "HQ", ""},
      {"V maybe\nY 10\n", "HQ", ""},
      {"B yes\n", "HQ", "the line \"B yes\" of the parameter file changes nothing: the B line switches on only with a "
                       "plus sign, as \"B +\"."},
      {"L 1\n", "HQ", "the L line switches on only"},
      {"H no\n", "HQ", "the line \"H no\" of the parameter file changes nothing: the H line switches off only with a "
                      "minus sign, as \"H -\"."},
      {"Q false\n", "HQ", "the Q line switches off only"},
      {"B no\nH yes\nQ +\nBackground 2\nC +\n", "CHQ", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    parameter_file(c.file);
    EXPECT_EQ(switches(), c.on);
    const auto& warnings = s.settings.setting_warnings;
    if (*c.warning == '\0') {
      EXPECT_TRUE(warnings.empty()) << warnings.front();
    } else {
      ASSERT_EQ(warnings.size(), 1u);
      EXPECT_NE(warnings.front().find(c.warning), std::string::npos) << warnings.front();
    }
  }
  for (const auto& [file, on] : {std::pair{"U yes\nX 1\n", true}, {"U +\nX +\nU no\nX false\n", false}}) {
    parameter_file(file);
    EXPECT_EQ(s.settings.UCOMMA, on) << file;
    EXPECT_EQ(s.settings.XJSON, on) << file;
  }
}

TEST_F(Settings, ParameterFileLongLinesKeepTheirStart) {
  parameter_file("A " + std::string(300, 'x') + "\nG short\n");
  EXPECT_EQ(s.settings.AFNI.size(), 79u);
  EXPECT_EQ(s.settings.GFNO, "short");
}

TEST_F(Settings, OneParameterNamesAParameterFile) {
  qor_test::TempDir dir;
  try {
    read_settings(s, {"qor", "nosuchfile"});
    FAIL() << "expected a run-time error";
  } catch (const RunError& e) {
    EXPECT_EQ(e.number(), 2);
    const std::string line = e.report_line();
    EXPECT_EQ(line.rfind("Runtime error 2: ", 0), 0u) << line;
    for (const char* part : {"\"nosuchfile\"", "parameter file", "qor '?'"})
      EXPECT_NE(line.find(part), std::string::npos) << line;
  }
  qor_test::write_file("p.txt", "A d.txt\nG r.txt\n");
  read_settings(s, {"qor", "p.txt"});
  EXPECT_EQ(s.settings.AFNI, "d.txt");
  EXPECT_EQ(s.settings.GFNO, "r.txt");
}

TEST(ModeDecision, HelpWithoutParametersOrWithAQuestionMark) {
  EXPECT_TRUE(wants_help({"qor"}));
  EXPECT_TRUE(wants_help({"qor", "?"}));
  EXPECT_TRUE(wants_help({"qor", "da?ta.txt", "out.txt"}));
  EXPECT_FALSE(wants_help({"qor", "p.txt"}));
  EXPECT_FALSE(wants_help({"qor", "d.txt", "o?.txt"}));
}

}  // namespace

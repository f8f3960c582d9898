#include "control/settings.h"

#include <gtest/gtest.h>

#include "common/run_error.h"
#include "control/program.h"
#include "report/text_reader.h"
#include "test_support.h"

namespace {

using qor_test::CapturedConsole;

struct Settings : ::testing::Test {
  CapturedConsole captured;
  RunState s{captured.console()};

  void command_line(std::vector<std::string> params) {
    params.insert(params.begin(), "qor");
    read_settings(s, params);
  }
  void parameter_file(const std::string& text) {
    set_default_settings(s);
    TextReader file(text, "params.txt", "parameter file");
    read_parameter_file(s, file);
    finish_settings(s);
  }
};

TEST_F(Settings, TwoParametersKeepTheDefaults) {
  command_line({"data.txt", "out.txt"});
  EXPECT_EQ(s.AFNI, "data.txt");
  EXPECT_EQ(s.GFNO, "out.txt");
  EXPECT_EQ(s.KW1, 7);
  EXPECT_EQ(s.KD, 3);
  EXPECT_EQ(s.MER, 0);
  EXPECT_EQ(s.MERPR, 0);
  EXPECT_EQ(s.NU, -1);
  EXPECT_EQ(s.OSR, 0);
  EXPECT_EQ(s.OSC, 0);
  EXPECT_EQ(s.DCS, "[]");
  EXPECT_EQ(s.ERS, "[]");
  EXPECT_TRUE(s.HDR);
  EXPECT_TRUE(s.QHS);
  EXPECT_EQ(s.RGAUSS, -1.0L);
}

TEST_F(Settings, SixParameters) {
  command_line({"data.txt,TOR,C[3,7..9]", "out.txt", "BS10:4", "0.002%1.5", "3", "R1", "ignored"});
  EXPECT_EQ(s.AFNI, "data.txt");
  EXPECT_TRUE(s.BTOR);
  EXPECT_FALSE(s.CTOC);
  EXPECT_FALSE(s.PCRC);
  EXPECT_TRUE(s.QHS);
  EXPECT_EQ(s.DCS, "[3,7..9]");
  EXPECT_EQ(s.ERS, "[]");
  EXPECT_EQ(s.GFNO, "out.txt");
  EXPECT_TRUE(s.HDR);
  EXPECT_TRUE(s.LSD);
  EXPECT_TRUE(s.ITRN);
  EXPECT_TRUE(s.JEV);
  EXPECT_EQ(s.KW1, 10);
  EXPECT_EQ(s.KD, 4);
  EXPECT_EQ(s.MER, 0.002L);
  EXPECT_EQ(s.MERPR, 1.5L / 100);
  EXPECT_EQ(s.NU, 3);
  EXPECT_EQ(s.OSR, 1);
  EXPECT_EQ(s.OSC, 0);
  EXPECT_EQ(s.FTW, 0);
  EXPECT_EQ(s.RGAUSS, -1.0L);
  EXPECT_EQ(s.params.size(), 7u);  // parameters beyond the sixth are not kept
}

TEST_F(Settings, DataFileKeywordsInAnyOrderAndCase) {
  command_line({"d.txt,tg0.1,toc,R[2..4],NS,crc,tw3,tor", "o"});
  EXPECT_EQ(s.AFNI, "d.txt");
  EXPECT_EQ(s.RGAUSS, 0.1L);
  EXPECT_TRUE(s.CTOC);
  EXPECT_TRUE(s.BTOR);
  EXPECT_TRUE(s.PCRC);
  EXPECT_FALSE(s.QHS);
  EXPECT_EQ(s.ERS, "[2..4]");
  EXPECT_EQ(s.FTW, 3);
}

TEST_F(Settings, SelectionListsNeedTheirClosingBracket) {
  command_line({"d,C[2,5..7]", "o"});
  EXPECT_EQ(s.DCS, "[2,5..7]");
  command_line({"d,C[5-7]", "o"});
  EXPECT_EQ(s.DCS, "[]");
  command_line({"d,C[2,5", "o"});
  EXPECT_EQ(s.DCS, "[]");
}

TEST_F(Settings, UnreadableNumbersFallBack) {
  command_line({"d,TGx,TW", "o", "ab:cd", "x@y", "many", "Rz"});
  EXPECT_EQ(s.RGAUSS, -1.0L);
  EXPECT_EQ(s.FTW, 0);
  EXPECT_EQ(s.KW1, 7);
  EXPECT_EQ(s.KD, 3);
  EXPECT_EQ(s.MER, 0);
  EXPECT_EQ(s.MERPR, 0);
  EXPECT_EQ(s.NU, -1);
  EXPECT_EQ(s.OSR, 0);
  // Outside the 16-bit and 32-bit ranges: unreadable, so the fallback value.
  command_line({"d,TW99999999999", "o", "40000:5", "", "70000", "C5000000000"});
  EXPECT_EQ(s.FTW, 0);
  EXPECT_EQ(s.KW1, 7);
  EXPECT_EQ(s.KD, 5);
  EXPECT_EQ(s.NU, -1);
  EXPECT_EQ(s.OSC, 0);
}

TEST_F(Settings, FormatParameter) {
  command_line({"d", "o", "S"});
  EXPECT_TRUE(s.LSD);
  EXPECT_EQ(s.KW1, 7);
  EXPECT_EQ(s.KD, 3);
  command_line({"d", "o", "10"});
  EXPECT_EQ(s.KW1, 7);
  EXPECT_EQ(s.KD, 3);
  command_line({"d", "o", "E12:"});
  EXPECT_TRUE(s.JEV);
  EXPECT_FALSE(s.ITRN);
  EXPECT_EQ(s.KW1, 12);
  EXPECT_EQ(s.KD, 3);
  command_line({"d", "o", "t12:-1"});
  EXPECT_TRUE(s.ITRN);
  EXPECT_EQ(s.KD, -1);
}

TEST_F(Settings, ErrorPair) {
  command_line({"d", "o", "", "0.002"});
  EXPECT_EQ(s.MER, 0.002L);
  EXPECT_EQ(s.MERPR, 0);
  command_line({"d", "o", "", "@1.5"});
  EXPECT_EQ(s.MER, 0);
  EXPECT_EQ(s.MERPR, 1.5L / 100);
  command_line({"d", "o", "", "0.002@1.5%3"});
  EXPECT_EQ(s.MER, 0.002L);
  EXPECT_EQ(s.MERPR, 0);  // "1.5%3" is not a number
}

TEST_F(Settings, FileNamesAreTrimmedAndTheAsteriskSwitchesDetailOff) {
  command_line({"data.txt extra,TOR", "out.txt*"});
  EXPECT_EQ(s.AFNI, "data.txt");
  EXPECT_EQ(s.GFNO, "out.txt");
  EXPECT_FALSE(s.HDR);
  command_line({"d", "ou*t.txt more"});
  EXPECT_EQ(s.GFNO, "out.txt");
}

TEST_F(Settings, ReferenceParameter) {
  command_line({"d", "o", "", "", "", "c4"});
  EXPECT_EQ(s.OSC, 4);
  EXPECT_EQ(s.OSR, 0);
  command_line({"d", "o", "", "", "", "X4"});
  EXPECT_EQ(s.OSC, 0);
  EXPECT_EQ(s.OSR, 0);
}

TEST_F(Settings, ParameterFileKeys) {
  parameter_file(
      "\r\n   A data.txt,TOR\r\n"
      "B+\r\nC +\r\nP=+\r\n"
      "d [1,2] rest\r\nE [3\r\n"
      "F 2 tables\r\ng out.txt\r\nH -\r\nI +\r\nJ x\r\nk 10:4 wide\r\nL +\r\n"
      "M 0.01@2\r\nN 5 components\r\nO c3\r\nQ -\r\nR 0.5 extra\r\n"
      "Z anything\r\n1 comment\r\n");
  EXPECT_EQ(s.AFNI, "data.txt");  // cut at the comma
  EXPECT_FALSE(s.BTOR);           // B+ loses its plus sign with the key
  EXPECT_TRUE(s.CTOC);
  EXPECT_TRUE(s.PCRC);
  EXPECT_EQ(s.DCS, "[1,2]");
  EXPECT_EQ(s.ERS, "[]");
  EXPECT_EQ(s.FTW, 2);
  EXPECT_EQ(s.GFNO, "out.txt");
  EXPECT_FALSE(s.HDR);
  EXPECT_TRUE(s.ITRN);
  EXPECT_FALSE(s.JEV);
  EXPECT_EQ(s.KW1, 10);
  EXPECT_EQ(s.KD, 4);
  EXPECT_TRUE(s.LSD);
  EXPECT_EQ(s.MER, 0.01L);
  EXPECT_EQ(s.MERPR, 2.0L / 100);
  EXPECT_EQ(s.NU, 5);
  EXPECT_EQ(s.OSC, 3);
  EXPECT_FALSE(s.QHS);
  EXPECT_EQ(s.RGAUSS, -1.0L);
}

TEST_F(Settings, ParameterFileLaterLinesWinAndSwitchesOnlyGoOneWay) {
  parameter_file("N 4\nN x\nB +\nB -\nR 0.25\nF -3\n");
  EXPECT_EQ(s.NU, -1);
  EXPECT_TRUE(s.BTOR);
  EXPECT_EQ(s.RGAUSS, 0.25L);
  EXPECT_EQ(s.FTW, 0);  // a negative FTW counts as 0
}

TEST_F(Settings, ParameterFileLongLinesKeepTheirStart) {
  parameter_file("A " + std::string(300, 'x') + "\nG short\n");
  EXPECT_EQ(s.AFNI.size(), 79u);
  EXPECT_EQ(s.GFNO, "short");
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
    EXPECT_NE(line.find("\"nosuchfile\""), std::string::npos) << line;
    EXPECT_NE(line.find("parameter file"), std::string::npos) << line;
    EXPECT_NE(line.find("qor ?"), std::string::npos) << line;
  }
  qor_test::write_file("p.txt", "A d.txt\nG r.txt\n");
  read_settings(s, {"qor", "p.txt"});
  EXPECT_EQ(s.AFNI, "d.txt");
  EXPECT_EQ(s.GFNO, "r.txt");
}

TEST(ModeDecision, HelpWithoutParametersOrWithAQuestionMark) {
  EXPECT_TRUE(wants_help({"qor"}));
  EXPECT_TRUE(wants_help({"qor", "?"}));
  EXPECT_TRUE(wants_help({"qor", "da?ta.txt", "out.txt"}));
  EXPECT_FALSE(wants_help({"qor", "p.txt"}));
  EXPECT_FALSE(wants_help({"qor", "d.txt", "o?.txt"}));
}

}  // namespace

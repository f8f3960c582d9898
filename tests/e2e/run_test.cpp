// End-to-end runs of the built qor on small files; whole reports compared byte for byte.
#include <gtest/gtest.h>

#include <fstream>

#include "e2e/pty_support.h"
#include "e2e/run_support.h"
#include "test_data.h"
#include "test_support.h"

namespace {

using ::testing::IsNotSubstring;
using ::testing::IsSubstring;
using qor_test::crlf;
using qor_test::read_file;
using qor_test::run_qor;
using qor_test::write_file;

const std::string kBlanks38(38, ' ');

// Every run in a fresh working directory.
struct EndToEnd : ::testing::Test {
  qor_test::TempDir dir;
};

TEST_F(EndToEnd, EliminationReportWithErrors) {
  write_file("d.txt", "2 1\r\n1 3\r\n");
  const auto run = run_qor({"d.txt", "out.txt", "", "0.1"});
  EXPECT_EQ(run.status, 0);
  const std::string result = crlf({"", "D,R,C: Diagonal elements, their original row/column numbers.",
                                   " D:   3.000  1.667", "   \xF1  0.100  0.111", " R:       2      1",
                                   " C:       2      1"});
  EXPECT_EQ(read_file("OUT.TXT"),
            crlf({"N_row: 2. N_column: 2.", "Input parameters: d.txt out.txt 0.1",
                  "      Order      2      1  Error      2      1",
                  "          2  3.000  1.000         0.100  0.100",
                  "          1  1.000  2.000         0.100  0.100",
                  "      Order      2      1  Error      2      1",
                  "          2  3.000  0.000         0.100  0.100",
                  "          1  0.000  1.667         0.100  0.111"}) +
                result);
  ASSERT_EQ(run.out.rfind(kBlanks38 + "Time:", 0), 0u) << run.out;
  EXPECT_EQ(run.out.substr(run.out.find("s\r\n") + 3), result);
}

TEST_F(EndToEnd, TitlesStatisticsAndNoDetail) {
  write_file("d.txt", crlf({"   400   450.5   500", "  7  1 0 0", "  8  0 2 0", "  9  0 0 4"}));
  const auto run = run_qor({"d.txt,TOR,TOC", "rep.txt*", "S8:2"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(read_file("REP.TXT"),
            crlf({"N_row: 3. N_column: 3.", "Input parameters: d.txt,TOR,TOC rep.txt* S8:2", "",
                  "    D,R,C,t: Diagonal elements, their original row/column numbers/titles.",
                  "M,Sd,Sk,K: Mean, standard deviation; normalized skewness and kurtosis.",
                  " D:     4.00    2.00    1.00", " R:        3       2       1",
                  " t         9       8       7", " C:        3       2       1",
                  " t       500 450.500     400",
                  "Statistical description for the elements of the remainder matrix:",
                  " M:    0.78    0.75   -1.00", "Sd:    1.39    0.96   -1.00",
                  "Sk:    1.63    0.26   -1.00", " K:    0.18   -0.85   -1.00",
                  "Statistical description for the absolute elements of the remainder matrix:",
                  " M:    0.78    0.75   -1.00", "Sd:    1.39    0.96   -1.00",
                  "Sk:    1.63    0.26   -1.00", " K:    0.18   -0.85   -1.00"}));
}

TEST_F(EndToEnd, EigenvalueReportWithErrors) {
  write_file("e.txt", "2 1\r\n1 2\r\n");
  const auto run = run_qor({"e.txt", "eig.txt*", "E", "0.1"});
  EXPECT_EQ(run.status, 0);
  std::string report = read_file("EIG.TXT");
  // After both eigenvectors the residuals are rounding noise, of the order of
  // 1E-19 against a deviation of 0.1: a chi-square sum below 1E-30 whose
  // digits depend on the rounding. It is checked apart, then blanked.
  const std::size_t chi = report.rfind("      0      0      0") + 21;
  ASSERT_LT(chi + 10, report.size());
  EXPECT_LT(std::stold(report.substr(chi, 10)), 1e-30L) << report.substr(chi, 10);
  report.replace(chi, 10, 10, '#');
  EXPECT_EQ(report, crlf({"N_row: 2. N_column: 2.", "Input parameters: e.txt eig.txt* E 0.1",
                          "Solutions for Ax=\xE6x, A must be a real, symmetric matrix.",
                          "         EIGENVALUE           \xE5" "est  2\xE5" "est  3\xE5"
                          "est   chi\xFD        Q(nm-i)   Q((n-i)(m-i))",
                          "\xE6" "1(2)= 3.000E+00\xF1 1.000E-01      4      4      4 1.000E+02=> 1.554E-21 1.524E-23",
                          // The second eigenvalue is computed as 1 - 2^-63; written as
                          // (1 - 2^-63)(1 + 2^-63) = 1 - 2^-126, still below 1, its four
                          // digits carry through into a fifth.
                          "\xE6" "2(1)= 1.0000E+00\xF1 1.000E-01      0      0      0##########=> 1.000E+00 1.000E+00"}));
  EXPECT_PRED_FORMAT2(IsSubstring, kBlanks38 + "1/2\r\n2/2\r\nTime:", run.out);
  EXPECT_PRED_FORMAT2(IsNotSubstring, "D,R,C", run.out);  // no result report in this mode
}

TEST_F(EndToEnd, HistogramFile) {
  write_file("d.txt", "0.2 -0.1\r\n0.05 0\r\n");
  const auto run = run_qor({"d.txt,TG0.1", ""});
  EXPECT_EQ(run.status, 0);
  // Bins of width 0.1 from -0.3; column 1 the input, column 2 the remainder after step 1.
  const std::string histogram = read_file("Qorgauss.bin");
  EXPECT_EQ(histogram.substr(0, 45), "-2.5000E-0001 0.0000000 0.0000000 0.0000000\r\n");
  EXPECT_PRED_FORMAT2(IsSubstring, " 5.0000E-0002 1.0000000", histogram);
  EXPECT_EQ(histogram.substr(histogram.rfind("\r\n", histogram.size() - 3) + 2),
            " 0.0000000 0.0000000 0.0000000\r\n");
}

TEST_F(EndToEnd, MissingDataFile) {
  const auto run = run_qor({"missing.txt", "out.txt"});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out, "Runtime error 2: cannot open data file \"missing.txt\": the file does not exist.\r\n");
}

TEST_F(EndToEnd, LoneParameterNamesAParameterFile) {
  const auto run = run_qor({"nosuchfile"});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out.rfind("Runtime error 2: cannot open parameter file \"nosuchfile\"", 0), 0u) << run.out;
  EXPECT_PRED_FORMAT2(IsSubstring, "qor '?'", run.out);
  write_file("p.txt", "A d.txt\r\nG r.txt\r\nN 1\r\n");
  write_file("d.txt", "1 2\r\n3 4\r\n");
  EXPECT_EQ(run_qor({"p.txt"}).status, 0);
  EXPECT_EQ(read_file("R.TXT").substr(0, 49), "N_row: 2. N_column: 2.\r\nInput parameters: p.txt\r\n");
}

TEST_F(EndToEnd, BadDataStopsWithAFreshLine) {
  write_file("d.txt", "1 2\r\n3 4 5\r\n");
  const auto run = run_qor({"d.txt", "out.txt"});
  EXPECT_EQ(run.status, 106);
  EXPECT_EQ(run.out.rfind(kBlanks38 + "\r\nRuntime error 106: data file \"d.txt\": data row 2 (line 2) holds 3 values", 0), 0u)
      << run.out;
  EXPECT_FALSE(std::filesystem::exists("OUT.TXT"));
  write_file("d.txt", "\r\n\r\n");
  const auto empty = run_qor({"d.txt", "out.txt"});
  EXPECT_EQ(empty.status, 65);
  EXPECT_EQ(empty.out, "Error: data file \"d.txt\" holds no data row, so there is nothing to analyse.\r\n");
}

TEST_F(EndToEnd, UnwritableReportFile) {
  write_file("d.txt", "1 2\r\n3 4\r\n");
  std::filesystem::create_directory("SUB");
  const auto run = run_qor({"d.txt", "sub"});
  EXPECT_EQ(run.status, 21);  // EISDIR
  EXPECT_PRED_FORMAT2(IsSubstring, "\r\nRuntime error 21: cannot create report file \"SUB\"", run.out);
}

TEST_F(EndToEnd, OutputsNeverReplaceTheirInputs) {
  const std::string data = "1 2\r\n3 4\r\n";
  write_file("DATA.TXT", data);
  // The report name is upper-cased: data.txt becomes DATA.TXT, the data file itself.
  const auto report = run_qor({"DATA.TXT", "data.txt"});
  EXPECT_EQ(report.status, 17);
  EXPECT_PRED_FORMAT2(IsSubstring, "Runtime error 17: the report file \"DATA.TXT\" is the data file \"DATA.TXT\"",
                      report.out);
  EXPECT_EQ(read_file("DATA.TXT"), data);
  // A contribution table named like the data file under another spelling (a hard link).
  std::filesystem::create_hard_link("DATA.TXT", "alias.txt");
  EXPECT_EQ(run_qor({"alias.txt,TW1", "./DATA.TXT"}).status, 17);
  EXPECT_EQ(read_file("DATA.TXT"), data);
  // The histogram file as the parameter file.
  write_file("Qorgauss.bin", "A DATA.TXT\r\nR 0.5\r\n");
  const auto histogram = run_qor({"Qorgauss.bin"});
  EXPECT_EQ(histogram.status, 17);
  EXPECT_PRED_FORMAT2(IsSubstring, "is the parameter file \"Qorgauss.bin\"", histogram.out);
  EXPECT_EQ(read_file("Qorgauss.bin"), "A DATA.TXT\r\nR 0.5\r\n");
}

// A reader that goes away after the first line (| head -1) costs no file and
// is no failure: the console report of 6 lines of 90,000 characters cannot
// fit the pipe, so its writes fail once the pipe is closed; the run still
// writes the report and the histogram, says nothing and ends with status 0.
// Standard output on a full disk is a failure: its number (28) and one line.
TEST_F(EndToEnd, ConsoleThatGoesAwayCostsNoFile) {
  write_file("d.txt", "1 2 3\r\n4 5 6\r\n7 8 10\r\n");
  const std::vector<std::string> args{"d.txt,TG2", "O", "S30000:3"};
  const auto whole = run_qor(args);
  ASSERT_EQ(whole.status, 0);
  ASSERT_GT(whole.out.size(), 500000u);
  const std::string report = read_file("O");
  const std::string histogram = read_file("Qorgauss.bin");
  std::filesystem::remove("O");
  std::filesystem::remove("Qorgauss.bin");
  const auto cut = qor_test::run_qor_closing_output_after_first_line(args);
  EXPECT_EQ(cut.status, 0);
  EXPECT_EQ(cut.err, "");
  EXPECT_TRUE(read_file("O") == report) << "the report differs";
  EXPECT_TRUE(read_file("Qorgauss.bin") == histogram) << "the histogram differs";
  // 12 classes of width 2 for elements up to 10, each a centre 30,006 wide and 4 counts.
  EXPECT_EQ(histogram.size(), 12u * (30006 + 4 * 10 + 2) + 4 * 10 + 2);
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
  const auto full = qor_test::run_shell_with_errors("'" + std::string(QOR_BINARY) + "' d.txt,TG2 O S30000:3 >/dev/full");
  EXPECT_EQ(full.status, 28);
  EXPECT_EQ(full.err,
            "Runtime error 28: cannot write standard output: No space left on device. The run went on; every file "
            "it writes is complete.\n");
  EXPECT_TRUE(read_file("O") == report) << "the report differs";
}

// On a terminal each step shows "Diagonal I/steps" after the loader's 38
// blanks and moves the cursor back to column 39, so the next step overwrites
// it; the product matrix has a stage text of its own, the eigenvalues count
// in place; the progress is blanked before the time.
TEST_F(EndToEnd, ProgressOnATerminal) {
  write_file("d.txt", "2 1\r\n1 3\r\n");
  const struct {
    std::vector<std::string> args;
    std::vector<std::string> seen;
  } cases[] = {
      {{"d.txt", "O"},
       {kBlanks38 + "Diagonal 1/2       \x1b[39G", "Diagonal 2/2       \x1b[39G",
        std::string(19, ' ') + "\x1b[39GTime:"}},
      // A warning after the loader's blanks stands on a line of its own; the
      // progress goes on below it in column 39.
      {{"d.txt", "o"},
       {kBlanks38 + "\r\nqor: the report \"o\" is written as \"O\"", "O\".\r\n\x1b[39GDiagonal 1/2       \x1b[39G"}},
      {{"d.txt", "O", "B", "0.1"},
       {kBlanks38 + "Product matrix       \x1b[39G", "Eigenvalue 1/2       \x1b[39G", "Eigenvalue 2/2       \x1b[39G",
        std::string(21, ' ') + "\x1b[39GTime:"}},
  };
  for (const auto& c : cases) {
    qor_test::Pty qor(80, 25, c.args);
    ASSERT_GT(qor.pid, 0);
    EXPECT_TRUE(qor.wait_for(c.seen)) << qor.seen;
    EXPECT_EQ(qor.exit_status(), 0) << qor.seen;
  }
}

// The plus-minus sign of the result report is code page 437 byte F1: a
// terminal whose locale names UTF-8 gets it as U+00B1, any other terminal and
// a pipe the byte, and the report file keeps the byte always.
TEST_F(EndToEnd, PlusMinusOnAUtf8TerminalOnly) {
  write_file("d.txt", "2 1\r\n1 3\r\n");
  const std::string utf8 = "   \xC2\xB1  0.100  0.111\r";
  const std::string byte = "   \xF1  0.100  0.111\r";
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"LC_ALL=C.UTF-8"}, utf8},
      {{"LC_ALL", "LC_CTYPE=", "LANG=de_DE.utf8"}, utf8},
      {{"LC_ALL=C", "LANG=en_US.UTF-8"}, byte},
      {{"LC_ALL", "LC_CTYPE", "LANG"}, byte},
  };
  for (const auto& [env, line] : cases) {
    qor_test::Pty qor(80, 25, {"d.txt", "o", "", "0.1"}, env);
    ASSERT_GT(qor.pid, 0);
    EXPECT_TRUE(qor.wait_for({line})) << env.front() << "\n" << qor.seen;
    EXPECT_EQ(qor.exit_status(), 0);
    EXPECT_PRED_FORMAT2(IsSubstring, "\n   \xF1  0.100  0.111\r\n", read_file("O"));
  }
  const auto piped = run_qor({"d.txt", "o", "", "0.1"}, {"LC_ALL=C.UTF-8"});
  EXPECT_PRED_FORMAT2(IsSubstring, "\n" + byte + "\n", piped.out);
}

// A full disk: the report and the histogram file stop the run with the
// system's error number 28 and say which file could not be written.
TEST_F(EndToEnd, FullDiskStopsTheRun) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
  write_file("d.txt", "2 1\r\n1 3\r\n");
  std::filesystem::create_symlink("/dev/full", "O");
  auto run = run_qor({"d.txt", "o"});
  EXPECT_EQ(run.status, 28);
  EXPECT_EQ(run.out.substr(run.out.find("\r\nRuntime") + 2),
            "Runtime error 28: cannot write report file \"O\": No space left on device.\r\n");
  std::filesystem::create_symlink("/dev/full", "Qorgauss.bin");
  run = run_qor({"d.txt,TG1", "p"});
  EXPECT_EQ(run.status, 28);
  EXPECT_EQ(run.out.substr(run.out.find("\r\nRuntime") + 2),
            "Runtime error 28: cannot write histogram file \"Qorgauss.bin\": No space left on device.\r\n");
  EXPECT_EQ(read_file("P").substr(0, 23), "N_row: 2. N_column: 2.\r") << "the report before it stays";
}

// The bundled example, run as the README shows it, gives the checked report
// in tests/e2e/, and the README quotes that report's lines as they are.
TEST_F(EndToEnd, BundledExample) {
  const std::filesystem::path source(QOR_SOURCE_DIR);
  std::filesystem::create_directory("examples");
  std::filesystem::copy_file(source / "examples/mixtures.txt", "examples/mixtures.txt");
  const auto run = run_qor({"examples/mixtures.txt,TOR,TOC", "mixtures.out*", "S10:4", "0.002", "5"});
  EXPECT_EQ(run.status, 0);
  const std::string report = read_file("MIXTURES.OUT");
  EXPECT_EQ(report, read_file(source / "tests/e2e/mixtures.out"));
  for (const auto& e : std::filesystem::directory_iterator(".")) {
    EXPECT_NE(e.path().extension(), ".svg") << "a picture only with ,PLOT";
    EXPECT_NE(e.path().extension(), ".json") << "no results file without ,JSON";
  }
  std::ifstream readme(source / "README.md");
  std::string line;
  while (std::getline(readme, line) && line.find("ends with:") == std::string::npos) {
  }
  while (std::getline(readme, line) && line != "```") {
  }
  int quoted = 0;
  while (std::getline(readme, line) && line != "```" && line != "...") {
    const std::size_t plus_minus = line.find("\u00B1");  // the README is UTF-8, the report code page 437
    if (plus_minus != std::string::npos) line.replace(plus_minus, 2, "\xF1");
    EXPECT_PRED_FORMAT2(IsSubstring, "\n" + line + "\r\n", report);
    ++quoted;
  }
  EXPECT_GT(quoted, 8);
}

// Whatever QOR_THREADS says (a value that is not a whole number from 1 up
// is ignored), the report and the console text stay the same, byte for
// byte. The eigenvalue mode of a 90 x 70 matrix shares its larger loops
// among the threads (Threads.SmallRunsStayOnTheCallingThread shows it).
TEST_F(EndToEnd, ThreadCountNeverChangesTheOutput) {
  write_file("d.txt", qor_test::matrix_text(90, 70, 0, 5));
  std::string first_console, first_report;
  for (const char* threads : {"1", "3", "x"}) {
    const auto run = run_qor({"d.txt", "o", "E", "0.002", "3"}, {std::string("QOR_THREADS=") + threads});
    ASSERT_EQ(run.status, 0) << run.out;
    const std::string console = run.out.substr(0, run.out.find("Time:"));
    if (first_console.empty()) {
      first_console = console;
      first_report = read_file("O");
      continue;
    }
    EXPECT_EQ(console, first_console) << threads;
    EXPECT_EQ(read_file("O"), first_report) << threads;
  }
}

}  // namespace

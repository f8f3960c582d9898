// End-to-end runs of the built qor on small files; whole reports compared byte for byte.
#include <gtest/gtest.h>

#include "e2e/run_support.h"
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
  const std::string report = read_file("EIG.TXT");
  EXPECT_EQ(report, crlf({"N_row: 2. N_column: 2.", "Input parameters: e.txt eig.txt* E 0.1",
                          "Solutions for Ax=\xE6x, A must be a real, symmetric matrix.",
                          "         EIGENVALUE           \xE5" "est  2\xE5" "est  3\xE5"
                          "est   chi\xFD        Q(nm-i)   Q((n-i)(m-i))",
                          "\xE6" "1(2)= 3.000E+00\xF1 1.000E-01      4      4      4 1.000E+02=> 1.554E-21 1.524E-23",
                          // The second eigenvalue is computed as 1 - 2^-63; written as
                          // (1 - 2^-63)(1 + 2^-63) = 1 - 2^-126, still below 1, its four
                          // digits carry through into a fifth.
                          "\xE6" "2(1)= 1.0000E+00\xF1 1.000E-01      0      0      0" +
                              report.substr(report.rfind("0      0      0") + 15, 10) +
                              "=> 1.000E+00 1.000E+00"}));
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
  EXPECT_PRED_FORMAT2(IsSubstring, "qor ?", run.out);
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

}  // namespace

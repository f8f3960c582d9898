// The results file for scripts, read back by Python's json module, and data
// files with separators and decimal commas, end to end.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "e2e/run_support.h"
#include "test_support.h"

namespace {

using ::testing::IsSubstring;
using qor_test::read_file;
using qor_test::run_qor;
using qor_test::write_file;

const char* const kPython = "/usr/bin/python3";

struct ResultsFile : ::testing::Test {
  qor_test::TempDir dir;
  const std::filesystem::path source{QOR_SOURCE_DIR};

  void SetUp() override {
    std::filesystem::create_directory("examples");
    for (const char* name : {"mixtures.txt", "mixtures_semicolon.csv"})
      std::filesystem::copy_file(source / "examples" / name, std::filesystem::path("examples") / name);
  }
  // Runs a Python script on the results file; its output, or a skip.
  std::string python(const std::string& script, const std::string& json) {
    const auto run = qor_test::run_program(kPython, {"-c", script, json});
    EXPECT_EQ(run.status, 0) << run.out;
    return run.out;
  }
};

// Each line the script prints must stand in the report as a whole line: the
// JSON's numbers, rounded as the report rounds them, give the report's text.
void expect_lines_in(const std::string& lines, const std::string& report) {
  std::size_t from = 0;
  int count = 0;
  for (std::size_t end; (end = lines.find('\n', from)) != std::string::npos; from = end + 1, ++count)
    EXPECT_PRED_FORMAT2(IsSubstring, "\n" + lines.substr(from, end - from) + "\r\n", report);
  EXPECT_GT(count, 3);
}

TEST_F(ResultsFile, EliminationPivotsAndVerdictAsInTheReport) {
  if (!std::filesystem::exists(kPython)) GTEST_SKIP() << "no " << kPython;
  const auto run = run_qor({"examples/mixtures.txt,TOR,TOC,RANK,JSON", "mix.out*", "10:4", "0.002", "5"});
  ASSERT_EQ(run.status, 0) << run.out;
  const std::string lines = python(R"(
import json, sys
from decimal import Decimal
d = json.load(open(sys.argv[1]), parse_float=Decimal)
assert d["status"] == 0 and d["message"] is None and d["settings"]["mode"] == "elimination"
p = d["results"]["pivots"]
assert len(p) == d["results"]["steps_done"] == 5
out = sys.stdout.buffer
row = lambda head, key, f: out.write((head + "".join(f(x[key]).rjust(10) for x in p) + "\n").encode("latin-1"))
row(" D: ", "value", lambda v: format(v, ".4f"))
row("   \xf1", "sd", lambda v: format(v, ".4f"))
row(" R: ", "row", str)
row(" t  ", "row_title", lambda v: str(int(v)))
row(" C: ", "column", str)
row(" t  ", "column_title", lambda v: str(int(v)))
v = d["rank_verdict"]
assert v["low"] == v["high"] == v["rank"] == 3 and v["confident"]
# The limit of sight of 12 x 20 with sigma 0.002: sigma (N M)^(1/4), and in
# noise edges (N M)^(1/4) / (sqrt(N) + sqrt(M)).
lim = v["limit_of_sight"]
assert abs(float(lim["unseen_below"]) / (0.002 * 240 ** 0.25) - 1) < 1e-14, lim
assert abs(float(lim["unseen_below_edges"]) / (240 ** 0.25 / (12 ** 0.5 + 20 ** 0.5)) - 1) < 1e-14, lim
assert float(lim["unseen_below"]) < float(lim["at_99_point"]) < float(v["edge"])
out.write(("Rank: %d\nSigma: %s (given)\n" % (v["low"], format(float(v["sigma"]), ".5E"))).encode())
)",
                                   "MIX.json");
  expect_lines_in(lines, read_file("MIX.OUT"));
}

TEST_F(ResultsFile, EigenvaluesAndTheirTestsAsInTheReport) {
  if (!std::filesystem::exists(kPython)) GTEST_SKIP() << "no " << kPython;
  const auto run = run_qor({"examples/mixtures.txt,TOR,TOC,JSON", "eig.txt*", "B", "0.002", "4"});
  ASSERT_EQ(run.status, 0) << run.out;
  const std::string lines = python(R"(
import json, sys
d = json.load(open(sys.argv[1]))
e = d["results"]["eigenvalues"]
assert len(e) == 4 and d["settings"]["product_matrix"]
f = lambda v: format(v, ".3E").rjust(10)
for x in e:
    n = "".join(str(k).rjust(7) for k in x["beyond_1_2_3_sd"])
    line = "\xe6%d(%d)=%s\xf1%s%s%s=>%s%s\n" % (x["index"], x["position"], f(x["value"]), f(x["sd"]), n,
                                            f(x["chi_square"]), f(x["q_all"]), f(x["q_rest"]))
    sys.stdout.buffer.write(line.encode("latin-1"))
)",
                                   "EIG.json");
  expect_lines_in(lines, read_file("EIG.TXT"));
}

// An uncertain verdict has no rank; noise that is not of one level no limit of sight.
TEST_F(ResultsFile, UncertainVerdictHasNoRank) {
  if (!std::filesystem::exists(kPython)) GTEST_SKIP() << "no " << kPython;
  write_file("d.txt", "1 2 3.5\r\n2 4.1 6\r\n0.5 1 2\r\n3 1 0\r\n");
  ASSERT_EQ(run_qor({"d.txt,RANK,JSON", "d.out"}).status, 0);
  const std::string said = python(R"(
import json, sys
v = json.load(open(sys.argv[1]))["rank_verdict"]
assert v["low"] < v["high"] and v["rank"] is None and not v["confident"], v
print("limit", v["limit_of_sight"] is not None, end="")
)",
                                  "D.json");
  EXPECT_EQ(said, "limit True");
}

// After a stop the file says how the run ended, in the console's words.
TEST_F(ResultsFile, WrittenAfterAStop) {
  if (!std::filesystem::exists(kPython)) GTEST_SKIP() << "no " << kPython;
  write_file("bad.txt", "1 2\n3 x\n");
  const auto run = run_qor({"bad.txt,JSON", "bad.out"});
  ASSERT_EQ(run.status, 106);
  const std::string last = run.out.substr(run.out.rfind("Runtime error"));
  const std::string said = python(R"(
import json, sys
d = json.load(open(sys.argv[1]))
assert d["results"] is None and d["rank_verdict"] is None
print(d["status"], d["message"], end="\r\n")
)",
                                  "BAD.json");
  EXPECT_EQ(said, "106 " + last);
}

// The tables reorder the rows after the elimination; the pivots keep their
// labels. The first pivot is the largest element, 0.9458 in row 3 (title 3),
// column 5 (title 440).
TEST_F(ResultsFile, TableRunKeepsThePivotLabels) {
  if (!std::filesystem::exists(kPython)) GTEST_SKIP() << "no " << kPython;
  ASSERT_EQ(run_qor({"examples/mixtures.txt,TOR,TOC,TW3,JSON", "tables.txt"}).status, 0);
  EXPECT_EQ(python(R"(
import json, sys
from decimal import Decimal
d = json.load(open(sys.argv[1]), parse_float=Decimal)
p = d["results"]["pivots"][0]
print(d["settings"]["mode"], d["results"]["steps_done"], p["value"] == Decimal("0.9458"), p["row"],
      p["row_title"] == 3, p["column"], p["column_title"] == 440, p["sd"])
)",
                   "tables.json"),
            "contribution tables 2 True 3 True 5 True None\n");
}

// A table run examines its steps without the error, but the settings the
// results file gives are those the user gave: 0.01 and 2 per cent.
TEST_F(ResultsFile, TableRunGivesTheErrorAsTheUserGaveIt) {
  ASSERT_EQ(run_qor({"examples/mixtures.txt,TOR,TOC,TW2,JSON", "tables.txt", "", "0.01%2"}).status, 0);
  const std::string json = read_file("tables.json");
  EXPECT_PRED_FORMAT2(IsSubstring, "\"absolute_error\": 1.0000000000000000e-02,", json);
  EXPECT_PRED_FORMAT2(IsSubstring, "\"relative_error\": 2.0000000000000000e-02,", json);
}

// The semicolon example with decimal commas gives the report of the same
// table written with blanks and points; only the parameters differ.
TEST_F(ResultsFile, SemicolonsAndDecimalCommasReadAsBlanksAndPoints) {
  std::string plain = read_file("examples/mixtures_semicolon.csv");
  for (char& c : plain) c = c == ';' ? ' ' : c == ',' ? '.' : c;
  plain.replace(0, 1, "    ");  // no corner field without a separator
  write_file("plain.txt", plain);
  const auto with_separator = run_qor({"examples/mixtures_semicolon.csv,TOR,TOC,SEPS,DEC", "a.out", "S", "0.002"});
  const auto with_blanks = run_qor({"plain.txt,TOR,TOC", "b.out", "S", "0.002"});
  ASSERT_EQ(with_separator.status, 0) << with_separator.out;
  ASSERT_EQ(with_blanks.status, 0) << with_blanks.out;
  const auto after_parameters = [](const std::string& report) { return report.substr(report.find("\r\n", 30)); };
  EXPECT_EQ(after_parameters(read_file("A.OUT")), after_parameters(read_file("B.OUT")));
  EXPECT_FALSE(std::filesystem::exists("A.json"));  // only with ,JSON
}

// A table as a spreadsheet saves it: a byte-order mark, numbers in quotes,
// "Sample" in the corner, sample names as row titles, texts as column
// titles. The report labels the rows and columns by their numbers, byte for
// byte as for the same table titled by those numbers; the results file
// carries the texts.
TEST_F(ResultsFile, SpreadsheetTitlesAreNumberedInTheReportAndNamedInTheResults) {
  if (!std::filesystem::exists(kPython)) GTEST_SKIP() << "no " << kPython;
  write_file("sheet.csv", "\xef\xbb\xbfSample,\"W 400\",W450,\"W \"\"500\"\"\"\r\n"
                          "S01,\"0.821\",0.648,0.400\r\n"
                          "S02,0.626,\"0.534\",0.420\r\n"
                          "\"S03\",0.437,0.415,0.934\r\n"
                          "S\xc3\xa4,0.242,0.299,0.454\r\n");
  write_file("numbered.txt", "  1 2 3\r\n1 0.821 0.648 0.400\r\n2 0.626 0.534 0.420\r\n"
                             "3 0.437 0.415 0.934\r\n4 0.242 0.299 0.454\r\n");
  const auto sheet = run_qor({"sheet.csv,SEPC,TOR,TOC,JSON", "sheet.out", "10:4", "0.002"});
  const auto numbered = run_qor({"numbered.txt,TOR,TOC", "numbered.out", "10:4", "0.002"});
  ASSERT_EQ(sheet.status, 0) << sheet.out;
  ASSERT_EQ(numbered.status, 0) << numbered.out;
  const auto after_parameters = [](const std::string& report) { return report.substr(report.find("\r\n", 30)); };
  EXPECT_EQ(after_parameters(read_file("SHEET.OUT")), after_parameters(read_file("NUMBERED.OUT")));
  EXPECT_EQ(qor_test::without_time(sheet.out), qor_test::without_time(numbered.out));
  EXPECT_EQ(python(R"(
import json, sys
d = json.load(open(sys.argv[1], encoding="utf-8"))
for p in d["results"]["pivots"]:
    print(p["row"], p["row_title"], p["column"], p["column_title"], sep="|")
)",
                   "SHEET.json"),
            "3|S03|3|W \"500\"\n1|S01|1|W 400\n4|S\xc3\xa4|2|W450\n");
}

// The README's Python example runs as it stands in a clone that was built
// and not installed: it names the program as ./build/qor, and no qor is on
// the PATH.
TEST_F(ResultsFile, ReadmePythonExample) {
  if (!std::filesystem::exists(kPython)) GTEST_SKIP() << "no " << kPython;
  std::ifstream readme(source / "README.md");
  std::string line, script;
  // The block that reads the results file (the module's has its own test).
  while (script.find("subprocess") == std::string::npos && std::getline(readme, line)) {
    if (line != "```python") continue;
    script.clear();
    while (std::getline(readme, line) && line != "```") script += line + "\n";
  }
  ASSERT_NE(script.find("subprocess"), std::string::npos);
  std::filesystem::create_directory("build");
  std::filesystem::create_symlink(QOR_BINARY, "build/qor");
  const auto run = qor_test::run_program(kPython, {"-c", script}, {"PATH=/usr/bin:/bin"});
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(run.out.rfind("status 0", 0), 0u) << run.out;
  EXPECT_PRED_FORMAT2(IsSubstring, "rank 3 to 3", run.out);
}

}  // namespace

// Report and output names of every kind (plain, in existing and missing
// folders, absolute and relative, mixed case, names that differ from an
// input only in case): after each run every file written lies where its
// name says, and nothing else in the sandbox has changed.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "e2e/run_support.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using Files = std::map<std::string, std::string>;  // relative path -> bytes

Files sandbox_files(const fs::path& root) {
  Files files;
  for (const auto& entry : fs::recursive_directory_iterator(root))
    if (entry.is_regular_file()) files[fs::relative(entry.path(), root).string()] = qor_test::read_file(entry.path());
  return files;
}

TEST(OutputPlaces, EveryFileLiesWhereItsNameSaysAndNothingElseChanges) {
  const struct {
    const char* name;
    std::vector<std::string> args;  // "@" stands for the sandbox's absolute path
    int status;
    std::set<std::string> written;
    const char* message;  // a part of standard output, or empty
  } cases[] = {
      {"plain", {"d.txt,JSON,PLOT", "o.txt", "", "0.01"}, 0, {"O.TXT", "O.json", "O.svg"}, ""},
      {"existing folder", {"d.txt", "out/run.txt"}, 0, {"out/RUN.TXT"}, ""},
      {"existing folder, derived files", {"d.txt,JSON,PLOT", "out/Run.txt", "", "0.01"}, 0,
       {"out/RUN.TXT", "out/RUN.json", "out/RUN.svg"}, ""},
      {"missing folder", {"d.txt,JSON,PLOT", "nodir/sub/o.txt", "", "0.01"}, 2, {},
       "the folder \"nodir/sub\" does not exist"},
      {"absolute", {"d.txt", "@/out/abs.txt"}, 0, {"out/ABS.TXT"}, ""},
      {"absolute, missing folder", {"d.txt", "@/missing/o.txt"}, 2, {}, "/missing\" does not exist"},
      {"relative with dots", {"d.txt", "out/../o2.txt"}, 0, {"O2.TXT"}, ""},
      {"report named like the results", {"d.txt,JSON", "out.json", "", "0.01"}, 0, {"OUT.JSON", "OUT.JSON.json"},
       ""},
      {"report named like the picture", {"d.txt,PLOT", "Pic.SVG", "", "0.01"}, 0, {"PIC.SVG", "PIC.SVG.svg"}, ""},
      {"results named like an input but for case", {"r.json,JSON", "r.txt", "", "0.01"}, 0,
       {"R.TXT", "R.TXT.json"}, ""},
      // A name the user gave is checked by the file it names: on this disk D.TXT is not d.txt.
      {"report differs from the data file in case", {"d.txt", "D.TXT"}, 0, {"D.TXT"}, ""},
      {"report is the data file", {"UP.TXT", "./up.txt"}, 17, {}, "is the data file"},
      {"table file in a folder", {"d.txt,TW2", "out/Tables.txt"}, 0, {"out/Tables.txt"}, ""},
      {"table file in a missing folder", {"d.txt,TW2", "nodir/t.txt"}, 2, {}, "the folder \"nodir\" does not exist"},
      {"tables on the console, picture", {"d.txt,TW2,PLOT", ""}, 0, {"Qorplot.svg"}, ""},
      {"histogram named like the report", {"d.txt,TG0.5", "qorgauss.bin", "", "0.01"}, 17, {"QORGAUSS.BIN"},
       "but for the case of its letters, the name of the report file"},
  };
  for (const auto& c : cases) {
    qor_test::TempDir dir;
    const fs::path root = fs::current_path();
    fs::create_directory("out");
    qor_test::write_file("d.txt", "1 2 3.5\r\n2 4.1 6\r\n0.5 1 2\r\n3 1 0\r\n");
    qor_test::write_file("r.json", "1 2\r\n3 4.5\r\n");
    qor_test::write_file("UP.TXT", "1 2\r\n3 4.5\r\n");
    qor_test::write_file("out/keep.txt", "kept\r\n");
    const Files before = sandbox_files(root);
    std::vector<std::string> args = c.args;
    for (auto& a : args)
      if (a.rfind("@", 0) == 0) a = root.string() + a.substr(1);
    const qor_test::RunResult run = qor_test::run_qor(args);
    EXPECT_EQ(run.status, c.status) << c.name << "\n" << run.out;
    if (*c.message != '\0') {
      EXPECT_NE(run.out.find(c.message), std::string::npos) << c.name << "\n" << run.out;
    }
    const Files after = sandbox_files(root);
    std::set<std::string> added;
    for (const auto& [path, bytes] : after) {
      const auto was = before.find(path);
      if (was == before.end()) {
        added.insert(path);
      } else {
        EXPECT_EQ(bytes, was->second) << c.name << ": " << path << " changed";
      }
    }
    for (const auto& [path, bytes] : before) EXPECT_TRUE(after.count(path)) << c.name << ": " << path << " gone";
    EXPECT_EQ(added, c.written) << c.name;
  }
}

// Two reports whose names differ only after the 12th character are one
// file: each run says which file it wrote, the second that it replaced one;
// a folder given as the report's name is named as such. Standard output and
// the files are those of a run without the warning.
TEST(OutputPlaces, AReportNotNamedAsGivenIsTold) {
  qor_test::TempDir dir;
  qor_test::write_file("d.txt", "1 2 3.5\r\n2 4.1 6\r\n0.5 1 2\r\n3 1 0\r\n");
  fs::create_directory("outdir");
  const std::string cut = " is written as \"SAMPLE_RUN_0\" (its file name is cut to 12 characters and written in capitals)";
  const struct {
    std::vector<std::string> args;
    std::string err;
  } cases[] = {
      {{"d.txt,JSON,PLOT", "sample_run_01.txt", "", "0.01"}, "qor: the report \"sample_run_01.txt\"" + cut + ".\n"},
      {{"d.txt,JSON,PLOT", "sample_run_02.txt", "", "0.01"},
       "qor: the report \"sample_run_02.txt\"" + cut + "; it replaces the existing file \"SAMPLE_RUN_0\".\n"},
      {{"d.txt", "outdir"},
       "qor: the report \"outdir\" is written as \"OUTDIR\" (its file name is written in capitals); \"outdir\" is a "
       "folder: to write the report into it name a file there, such as \"outdir/run.txt\".\n"},
      {{"d.txt", "O.TXT"}, ""},
      {{"d.txt", "O.TXT"}, ""},
  };
  for (const auto& c : cases) {
    const qor_test::RunResult run = qor_test::run_qor_with_errors(c.args);
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(run.err, c.err);
    EXPECT_EQ(run.out.find("qor:"), std::string::npos) << run.out;
  }
  EXPECT_TRUE(fs::is_regular_file("SAMPLE_RUN_0") && fs::is_regular_file("OUTDIR"));
}

}  // namespace

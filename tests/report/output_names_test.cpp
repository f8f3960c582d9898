// The names of the files a run writes, worked out by hand from the rules:
// the report's file name (after the last '/') cut to 12 characters and
// upper-cased, its folder as given; the picture and the results beside the
// file the run wrote, never with a name that another file of the run has
// but for the case of its letters.
#include "report/output_names.h"

#include <gtest/gtest.h>

#include "common/program_run.h"
#include "test_support.h"

namespace {

TEST(OutputNames, TheReportKeepsItsFolder) {
  const struct {
    const char* OUT;
    const char* report;
  } cases[] = {
      {"mixtures.out", "MIXTURES.OUT"},
      {"averylongname.txt", "AVERYLONGNAM"},
      {"out/run.txt", "out/RUN.TXT"},
      {"/nonexistent/dir/o.txt", "/nonexistent/dir/O.TXT"},
      {"Data.v2/averylongname.txt", "Data.v2/AVERYLONGNAM"},
      {"./x", "./X"},
      {"out/", "out/"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(report_file_name(c.OUT), c.report) << c.OUT;
}

// The note when the report's name is not the one given: which file is
// written, why, whether it replaces one, and a folder named instead of a file.
TEST(OutputNames, ANoteWhenTheReportIsNotNamedAsGiven) {
  const struct {
    const char* OUT;
    bool replaces, folder;
    const char* note;
  } cases[] = {
      {"O.TXT", false, false, ""},
      {"out/RUN", true, false, ""},
      {"sample_run_01.txt", false, false,
       "the report \"sample_run_01.txt\" is written as \"SAMPLE_RUN_0\" (its file name is cut to 12 characters and "
       "written in capitals)."},
      {"sample_run_02.txt", true, false,
       "the report \"sample_run_02.txt\" is written as \"SAMPLE_RUN_0\" (its file name is cut to 12 characters and "
       "written in capitals); it replaces the existing file \"SAMPLE_RUN_0\"."},
      {"AVERYLONGNAME", false, false,
       "the report \"AVERYLONGNAME\" is written as \"AVERYLONGNAM\" (its file name is cut to 12 characters and "
       "written in capitals)."},
      {"runs/o.txt", false, false,
       "the report \"runs/o.txt\" is written as \"runs/O.TXT\" (its file name is written in capitals)."},
      {"outdir", false, true,
       "the report \"outdir\" is written as \"OUTDIR\" (its file name is written in capitals); \"outdir\" is a "
       "folder: to write the report into it name a file there, such as \"outdir/run.txt\"."},
  };
  for (const auto& c : cases) EXPECT_EQ(report_name_note(c.OUT, c.replaces, c.folder), c.note) << c.OUT;
}

struct Named : ::testing::Test {
  qor_test::CapturedConsole console;
  ProgramRun s{console.console()};
  void run(const char* H, const char* GFNO, std::int32_t FTW, std::int32_t NU) {
    s.H = H;
    s.settings.GFNO = GFNO;
    s.plan.FTW = FTW;
    s.plan.NU = NU;
  }
};

TEST_F(Named, PictureAndResultsBesideTheWrittenFile) {
  const struct {
    const char* H;
    const char* GFNO;
    std::int32_t FTW, NU;
    const char* written;
    const char* picture;
    const char* results;
  } cases[] = {
      {"mixtures.out", "mixtures.out", 0, 5, "MIXTURES.OUT", "MIXTURES.svg", "MIXTURES.json"},
      {"run", "run", 0, 5, "RUN", "RUN.svg", "RUN.json"},
      {"out/run.1.txt", "out/run.1.txt", 0, 5, "out/RUN.1.TXT", "out/RUN.1.svg", "out/RUN.1.json"},
      {"a.b/run", "a.b/run", 0, 5, "a.b/RUN", "a.b/RUN.svg", "a.b/RUN.json"},
      // OUT.SVG and OUT.svg, or OUT.JSON and OUT.json, are one file where case is not told apart.
      {"x.svg", "x.svg", 0, 5, "X.SVG", "X.SVG.svg", "X.json"},
      {"out.json", "out.json", 0, 5, "OUT.JSON", "OUT.svg", "OUT.JSON.json"},
      {"averylongname.txt", "averylongname.txt", 0, 5, "AVERYLONGNAM", "AVERYLONGNAM.svg", "AVERYLONGNAM.json"},
      // No analysis: no file written; the results still take the report's name.
      {"r.out", "r.out", 0, 0, "", "Qorplot.svg", "R.json"},
      {"", "tables.txt", 3, 2, "tables.txt", "tables.svg", "tables.json"},
      {"", "", 3, 2, "", "Qorplot.svg", ".json"},
  };
  for (const auto& c : cases) {
    run(c.H, c.GFNO, c.FTW, c.NU);
    EXPECT_EQ(written_file(s), c.written) << c.H << " " << c.GFNO;
    EXPECT_EQ(picture_file_name(s), c.picture) << c.H << " " << c.GFNO;
    EXPECT_EQ(results_file_name(s), c.results) << c.H << " " << c.GFNO;
  }
}

TEST_F(Named, NeverTheNameOfAnInputOrAnOutputButForCase) {
  run("d/out.txt", "d/out.txt", 0, 3);
  s.inputs = {{"data file", "d/Out.json"}};
  EXPECT_EQ(results_file_name(s), "d/OUT.TXT.json");
  s.inputs.push_back({"parameter file", "./d/out.txt.JSON"});
  EXPECT_EQ(results_file_name(s), "d/OUT.TXT.json.json");
  s.outputs = {{"picture file", "d/out.svg"}};
  EXPECT_EQ(picture_file_name(s), "d/OUT.TXT.svg");
  // Another folder is another name.
  s.inputs = {{"data file", "e/OUT.json"}};
  EXPECT_EQ(results_file_name(s), "d/OUT.json");
}

TEST(OutputNames, SameNameWithoutCase) {
  const struct {
    const char* a;
    const char* b;
    bool same;
  } cases[] = {{"OUT.json", "out.JSON", true}, {"./d/x", "d/X", true},  {"d/../x", "X", true},
               {"d/x", "e/x", false},          {"x.json", "x.jso", false}, {"x", "x ", false}};
  for (const auto& c : cases) EXPECT_EQ(same_name_without_case(c.a, c.b), c.same) << c.a << " " << c.b;
}

}  // namespace

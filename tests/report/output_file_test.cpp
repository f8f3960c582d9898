// An output that would replace an input, or that shares a name but for
// case with another file of the run, is refused before anything is
// written; a missing folder is named.
#include "report/output_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "common/run_error.h"
#include "common/program_run.h"
#include "test_support.h"

namespace {

struct Outputs : ::testing::Test {
  qor_test::TempDir dir;
  qor_test::CapturedConsole console;
  ProgramRun s{console.console()};

  // The run-time error of creating the file, or 0 when it was created.
  int refusal(const std::string& path, OutputName name = OutputName::given) {
    try {
      TextWriter file = create_output_file(s, path, "report file", name);
      file.close();
      return 0;
    } catch (const RunError& e) {
      return e.number();
    }
  }
};

TEST_F(Outputs, AnInputUnderAnySpellingOrLinkIsRefused) {
  qor_test::write_file("data.txt", "1 2\r\n");
  std::filesystem::create_directory("sub");
  symlink("../data.txt", "sub/link.txt");
  s.inputs = {{"data file", "data.txt"}};
  for (const char* same : {"data.txt", "./data.txt", "sub/../data.txt", "sub/link.txt"}) {
    EXPECT_EQ(refusal(same), kOutputIsInput) << same;
    EXPECT_EQ(qor_test::read_file("data.txt"), "1 2\r\n") << same;
  }
  EXPECT_EQ(refusal("other.txt"), 0);
  EXPECT_EQ(s.outputs, (std::vector<std::pair<std::string, std::string>>{{"report file", "other.txt"}}));
}

TEST_F(Outputs, ANameTheProgramChoseMustDifferWithoutCase) {
  s.inputs = {{"data file", "Data.TXT"}};
  ASSERT_EQ(refusal("OUT.TXT"), 0);
  EXPECT_EQ(refusal("out.txt", OutputName::chosen), kOutputIsInput);
  EXPECT_EQ(refusal("data.txt", OutputName::chosen), kOutputIsInput);
  EXPECT_FALSE(std::filesystem::exists("out.txt"));
  EXPECT_EQ(refusal("out.txt"), 0);  // a name the user gave is checked by the file it names alone
}

TEST_F(Outputs, AMissingFolderIsNamed) {
  try {
    create_output_file(s, "nodir/sub/o.txt", "report file");
    FAIL() << "created";
  } catch (const RunError& e) {
    EXPECT_EQ(e.number(), 2);
    EXPECT_EQ(std::string(e.what()),
              "cannot create report file \"nodir/sub/o.txt\": the folder \"nodir/sub\" does not exist, so nothing "
              "was written there.");
  }
  EXPECT_TRUE(s.outputs.empty());
}

}  // namespace

// The installed program: cmake --install into a fresh prefix, then the help
// browser started from a directory without a help file of its own.
#include <gtest/gtest.h>

#include <filesystem>

#include "e2e/run_support.h"
#include "test_support.h"

namespace {

using ::testing::IsSubstring;
namespace fs = std::filesystem;

TEST(Install, TheInstalledProgramFindsItsHelpFromAnyDirectory) {
  qor_test::TempDir dir;
  const fs::path prefix = dir.path() / "prefix";
  const auto install = qor_test::run_program(QOR_CMAKE_COMMAND, {"--install", QOR_BUILD_DIR, "--prefix", prefix.string()});
  ASSERT_EQ(install.status, 0) << install.out;
  const fs::path installed_help = prefix / "share/qor/Qor.hlp";
  EXPECT_EQ(qor_test::read_file(installed_help), qor_test::read_file(fs::path(QOR_SOURCE_DIR) / "Qor.hlp"));
  EXPECT_TRUE(fs::exists(prefix / "share/man/man1/qor.1"));
  // The Python module, where the prefix's Python looks for it.
  if (fs::exists(fs::path(QOR_BUILD_DIR) / "python/qor/__init__.py")) {
    fs::path site;
    for (const auto& entry : fs::recursive_directory_iterator(prefix))
      if (entry.path().filename() == "__init__.py" && entry.path().parent_path().filename() == "qor")
        site = entry.path().parent_path().parent_path();
    ASSERT_FALSE(site.empty()) << "no qor package under " << prefix;
    EXPECT_EQ(site.filename(), "site-packages");
    const auto imported = qor_test::run_program(
        "/usr/bin/python3", {"-c", "import qor; print(qor.rank([[1.0, 0.0], [0.0, 1.0]], error=0.01).rank)"},
        {"PYTHONPATH=" + site.string()});
    EXPECT_EQ(imported.out, "2\n");
  }
  const std::string qor = (prefix / "bin/qor").string();
  fs::create_directory("elsewhere");
  fs::current_path("elsewhere");
  auto help = qor_test::run_program(qor, {});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("Working...\r\n By pressing one of the following", 0), 0u) << help.out;
  EXPECT_PRED_FORMAT2(IsSubstring, "\r\n  1: What QOR does ", help.out);
  // A help file in the working directory still comes first.
  qor_test::write_file("Qor.hlp", "*a ***** Local topic *****\r\n#\r\n");
  help = qor_test::run_program(qor, {"?"});
  EXPECT_PRED_FORMAT2(IsSubstring, "\r\n  A: Local topic \r\n  0: Quit", help.out);
  // Neither here nor installed: the message and status of a missing help file.
  fs::remove("Qor.hlp");
  fs::remove(installed_help);
  help = qor_test::run_program(qor, {});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out, "\r\nQOR.HLP is not found in the actual directory!\r\n");
}

}  // namespace

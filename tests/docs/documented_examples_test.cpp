// Every command that README.md, the manual page and Qor.hlp mark to run
// (tests/docs/example_marks.h) runs as written, in a scratch folder laid out
// as the source folder the texts speak of, with the status the text gives
// and, where the README quotes its output, with those lines in it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>
#include <optional>

#include "docs/example_marks.h"
#include "e2e/run_support.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using qor_docs::Example;
using qor_docs::Extraction;
using qor_docs::Language;

Extraction extracted(const std::string& file) {
  const std::string text = qor_test::read_file(fs::path(QOR_SOURCE_DIR) / file);
  if (file == "README.md") return qor_docs::extract_markdown(text, file);
  if (file == "Qor.hlp") return qor_docs::extract_help_file(text, file);
  return qor_docs::extract_man_page(text, file);
}

// A copy of examples/, the built program as build/qor (what "./build/qor"
// names in the README) and that folder first on PATH (what "qor" names).
class ScratchFolder {
 public:
  ScratchFolder() {
    fs::copy(fs::path(QOR_SOURCE_DIR) / "examples", dir_.path() / "examples", fs::copy_options::recursive);
    fs::create_directory(dir_.path() / "build");
    fs::create_symlink(QOR_BINARY, dir_.path() / "build/qor");
  }
  std::vector<std::string> environment() const {
    const char* path = std::getenv("PATH");
    return {"PATH=" + (dir_.path() / "build").string() + ":" + (path != nullptr ? path : "/usr/bin:/bin"),
            "PYTHONPATH=" + (fs::path(QOR_BUILD_DIR) / "python").string()};
  }

 private:
  qor_test::TempDir dir_;
};

// Standard error joins the output, as on a screen. A Python block runs as a
// script saved from the text (example.py), as a reader would run it: a
// cluster's worker processes import that file again.
qor_test::RunResult run(const Example& e, const std::vector<std::string>& environment) {
  if (e.language == Language::python)
    return qor_test::run_program(
        "/bin/sh", {"-c", "exec 2>&1; printf '%s\\n' \"$1\" > example.py && exec /usr/bin/python3 example.py", "sh", e.code},
        environment);
  return qor_test::run_program("/bin/sh", {"-c", "exec 2>&1\n" + e.code}, environment);
}

// The output as a terminal with a UTF-8 locale shows it, and the texts quote
// it: the code page 437 bytes as their characters, without the CRs.
std::vector<std::string> as_shown(const std::string& output) {
  qor_test::CapturedConsole console("", false, true);
  console.console().write(output);
  return qor_docs::split_lines(console.text());
}

// Runs the examples, block by block, each block in a fresh scratch folder;
// returns every command's output by its text.
std::map<std::string, std::string> run_all(const std::vector<Example>& examples) {
  std::map<std::string, std::string> outputs;
  std::optional<ScratchFolder> scratch;
  std::string block;
  for (const Example& e : examples) {
    if (!scratch || e.block != block) {
      scratch.reset();
      scratch.emplace();
      block = e.block;
    }
    const qor_test::RunResult result = run(e, scratch->environment());
    EXPECT_EQ(result.status, e.status) << e.where << ":\n" << e.code << "\n" << result.out;
    outputs.emplace(e.code, result.out);
  }
  return outputs;
}

std::vector<Example> of_language(const Extraction& x, Language language, bool imports_qor = false) {
  std::vector<Example> chosen;
  for (const Example& e : x.runs)
    if (e.language == language && e.imports_qor == imports_qor) chosen.push_back(e);
  return chosen;
}

void check_shell_examples(const std::string& file) {
  const Extraction x = extracted(file);
  for (const std::string& problem : x.problems) ADD_FAILURE() << problem;
  const std::vector<Example> shell = of_language(x, Language::shell);
  ASSERT_FALSE(shell.empty()) << file << " marks no command to run";
  const auto outputs = run_all(shell);
  for (const qor_docs::Quote& quote : x.quotes) {
    const auto found = outputs.find(quote.command);
    if (found == outputs.end()) {
      ADD_FAILURE() << quote.where << ": the quoted output is of \"" << quote.command
                    << "\", which is no command marked to run";
    } else {
      const std::vector<std::string> shown = as_shown(found->second);
      std::string output;
      for (const std::string& line : shown) output += line + "\n";
      EXPECT_TRUE(qor_docs::output_holds(shown, quote.lines))
          << quote.where << ": the output of " << quote.command << " does not hold the quoted lines; it is\n"
          << output;
    }
  }
  std::cout << file << ": " << shell.size() << " commands run, " << x.not_run.size() << " marked not to run, "
            << x.quotes.size() << " quoted outputs\n";
}

TEST(DocumentedExamples, ReadmeCommandsRunAsWritten) { check_shell_examples("README.md"); }
TEST(DocumentedExamples, ManualPageCommandsRunAsWritten) { check_shell_examples("doc/qor.1.in"); }
TEST(DocumentedExamples, HelpFileCommandsRunAsWritten) { check_shell_examples("Qor.hlp"); }

TEST(DocumentedExamples, ReadmePythonRunsAsWritten) {
  const std::vector<Example> python = of_language(extracted("README.md"), Language::python);
  if (python.empty()) GTEST_SKIP() << "README.md marks no Python block to run that does without the module qor";
  run_all(python);
}

TEST(DocumentedExamples, ReadmePythonWithTheModuleQorRunsAsWritten) {
  const std::vector<Example> python = of_language(extracted("README.md"), Language::python, true);
  if (python.empty()) GTEST_SKIP() << "README.md marks no Python block to run that imports qor";
  ScratchFolder scratch;
  if (qor_test::run_program("/bin/sh", {"-c", "/usr/bin/python3 -c 'import qor' 2>&1"}, scratch.environment()).status != 0)
    GTEST_SKIP() << "the module qor cannot be imported by /usr/bin/python3 yet";
  run_all(python);
}

}  // namespace

// The source folders and the includes allowed between them: a graph without
// cycles, so that the numerical routines never depend on the settings, the
// verdict never on the outputs that show it. A file may include headers of
// its own folder and of the folders its folder points to; the README draws
// the same graph.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "test_support.h"

namespace {

using Folders = std::set<std::string>;

// Each folder and the folders it may include, from the top down.
const std::map<std::string, Folders> kAllowed = {
    {"main.cpp", {"common", "control"}},
    {"library", {"common", "report", "analysis", "verdict", "evolving", "input", "outputs"}},
    {"control", {"common", "report", "analysis", "verdict", "evolving", "input", "outputs"}},
    {"outputs", {"common", "report", "analysis", "verdict", "evolving"}},
    {"input", {"common", "report", "numeric", "analysis"}},
    {"evolving", {"common", "numeric", "analysis", "verdict"}},
    {"verdict", {"common", "numeric", "analysis"}},
    {"analysis", {"common", "numeric"}},
    {"numeric", {"common"}},
    {"report", {"common"}},
    {"common", {}},
};

// The folder named by an include such as #include "common/console.h"; empty
// for other lines. (No std::regex: its inlined code warns in the sanitizer build.)
std::string included_folder(const std::string& line) {
  const std::string key = "#include \"";
  const std::size_t at = line.find(key);
  if (at == std::string::npos) return {};
  const std::size_t begin = at + key.size();
  std::size_t end = begin;
  while (end < line.size() && ((line[end] >= 'a' && line[end] <= 'z') || line[end] == '_')) ++end;
  if (end == begin || end == line.size() || line[end] != '/') return {};
  return line.substr(begin, end - begin);
}

TEST(Layering, EveryIncludeFollowsTheGraphOfFolders) {
  const std::filesystem::path src = std::filesystem::path(QOR_SOURCE_DIR) / "src";
  int files = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(src)) {
    if (!entry.is_regular_file()) continue;
    const std::string parent = entry.path().parent_path().filename().string();
    const std::string folder = parent == "src" ? entry.path().filename().string() : parent;
    const auto allowed = kAllowed.find(folder);
    ASSERT_NE(allowed, kAllowed.end()) << "a folder outside the graph: " << entry.path();
    ++files;
    std::ifstream in(entry.path());
    std::string line;
    while (std::getline(in, line)) {
      const std::string included = included_folder(line);
      if (included.empty() || included == folder) continue;
      EXPECT_TRUE(allowed->second.count(included))
          << entry.path().filename() << " (" << folder << ") includes " << included << "/";
    }
  }
  EXPECT_GT(files, 30);
}

// The headers a source file includes from src/, as paths such as "common/console.h".
std::vector<std::string> src_includes(const std::filesystem::path& file) {
  std::vector<std::string> found;
  std::ifstream in(file);
  std::string line;
  const std::string key = "#include \"";
  while (std::getline(in, line)) {
    const std::size_t at = line.find(key);
    if (at == std::string::npos || included_folder(line).empty()) continue;
    const std::size_t begin = at + key.size();
    found.push_back(line.substr(begin, line.find('"', begin) - begin));
  }
  return found;
}

// The analyses see their data, plan and workspace, never what the user
// typed: no file of these folders includes the settings as given or the
// program's run, directly or through the headers it includes.
TEST(Layering, NoSettingsAsGivenReachTheAnalyses) {
  const std::filesystem::path src = std::filesystem::path(QOR_SOURCE_DIR) / "src";
  const Folders forbidden = {"common/run_settings.h", "common/program_run.h"};
  int files = 0;
  for (const char* folder : {"analysis", "verdict", "numeric"}) {
    for (const auto& entry : std::filesystem::directory_iterator(src / folder)) {
      ++files;
      std::set<std::string> seen;
      std::vector<std::string> open = src_includes(entry.path());
      while (!open.empty()) {
        const std::string header = open.back();
        open.pop_back();
        if (!seen.insert(header).second) continue;
        EXPECT_FALSE(forbidden.count(header)) << entry.path().filename() << " reaches " << header;
        for (const std::string& next : src_includes(src / header)) open.push_back(next);
      }
    }
  }
  EXPECT_GT(files, 20);
}

// Folders only point down: a depth-first walk from each meets no folder twice on its path.
bool reaches(const std::string& from, const std::string& target, Folders& path) {
  if (!path.insert(from).second) return false;
  for (const std::string& next : kAllowed.at(from))
    if (next == target || reaches(next, target, path)) return true;
  path.erase(from);
  return false;
}

TEST(Layering, TheGraphHasNoCycleAndTheReadmeDrawsIt) {
  for (const auto& [folder, allowed] : kAllowed) {
    Folders path;
    EXPECT_FALSE(reaches(folder, folder, path)) << folder << " reaches itself";
    for (const std::string& next : allowed) EXPECT_TRUE(kAllowed.count(next)) << next;
  }
  std::ostringstream drawn;
  for (const char* folder : {"main.cpp", "library", "control", "outputs", "input", "evolving", "verdict", "analysis", "numeric", "report",
                             "common"}) {
    std::string line = std::string(folder) + std::string(10 - std::string(folder).size(), ' ') + "->";
    const Folders& allowed = kAllowed.at(folder);
    // In the order of the layers from the bottom, as a reader scans them.
    for (const char* lower : {"common", "report", "numeric", "analysis", "verdict", "evolving", "input", "outputs", "control"})
      if (allowed.count(lower)) line += std::string(" ") + lower;
    if (allowed.empty()) line += " (nothing)";
    drawn << line << "\n";
  }
  const std::string readme = qor_test::read_file(std::filesystem::path(QOR_SOURCE_DIR) / "README.md");
  EXPECT_NE(readme.find("```\n" + drawn.str() + "```\n"), std::string::npos) << drawn.str();
}

}  // namespace

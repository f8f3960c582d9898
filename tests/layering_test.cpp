// The source folders form layers: a file includes headers of its own folder
// and of the folders below it only, so the numerical routines never depend
// on the settings or the help browser, and no two units include each other.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

const std::vector<std::string> kLayers = {"common", "report", "numeric", "analysis", "input", "control"};

int layer_of(const std::string& folder) {
  for (std::size_t i = 0; i < kLayers.size(); ++i)
    if (kLayers[i] == folder) return static_cast<int>(i);
  return -1;
}

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

TEST(Layering, NoFileIncludesAFolderAboveItsOwn) {
  const std::filesystem::path src = std::filesystem::path(QOR_SOURCE_DIR) / "src";
  int files = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(src)) {
    if (!entry.is_regular_file()) continue;
    const std::string folder = entry.path().parent_path().filename().string();
    if (folder == "src") continue;  // main.cpp sits above every layer
    const int own = layer_of(folder);
    ASSERT_GE(own, 0) << "a folder outside the layers: " << entry.path();
    ++files;
    std::ifstream in(entry.path());
    std::string line;
    while (std::getline(in, line)) {
      const std::string folder_included = included_folder(line);
      if (folder_included.empty()) continue;
      EXPECT_LE(layer_of(folder_included), own) << entry.path().filename() << " includes " << folder_included << "/";
      EXPECT_GE(layer_of(folder_included), 0) << entry.path().filename() << ": " << line;
    }
  }
  EXPECT_GT(files, 30);
}

}  // namespace

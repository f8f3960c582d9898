// The source folders form layers: a file includes headers of its own folder
// and of the folders below it only, so the numerical routines never depend
// on the settings or the help browser, and no two units include each other.
#include <gtest/gtest.h>

#include <algorithm>
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

TEST(Layering, NoFileIncludesAFolderAboveItsOwn) {
  const std::filesystem::path src = std::filesystem::path(QOR_SOURCE_DIR) / "src";
  // The folder of an #include "folder/...": lower-case letters and '_' before a '/'.
  auto included_folder = [](const std::string& line) -> std::string {
    const std::string start = "#include \"";
    if (line.rfind(start, 0) != 0) return {};
    const std::size_t slash = line.find('/', start.size());
    if (slash == std::string::npos) return {};
    const std::string folder = line.substr(start.size(), slash - start.size());
    const bool plain = !folder.empty() && std::all_of(folder.begin(), folder.end(), [](char c) {
      return (c >= 'a' && c <= 'z') || c == '_';
    });
    return plain ? folder : std::string();
  };
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
      const std::string folder = included_folder(line);
      if (folder.empty()) continue;
      EXPECT_LE(layer_of(folder), own) << entry.path().filename() << " includes " << folder << "/";
      EXPECT_GE(layer_of(folder), 0) << entry.path().filename() << ": " << line;
    }
  }
  EXPECT_GT(files, 30);
}

}  // namespace

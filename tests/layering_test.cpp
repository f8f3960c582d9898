// The source folders form layers: a file includes headers of its own folder
// and of the folders below it only, so the numerical routines never depend
// on the settings or the help browser, and no two units include each other.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
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
  const std::regex include(R"re(#include "([a-z_]+)/)re");
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
      std::smatch m;
      if (!std::regex_search(line, m, include)) continue;
      EXPECT_LE(layer_of(m[1]), own) << entry.path().filename() << " includes " << m[1] << "/";
      EXPECT_GE(layer_of(m[1]), 0) << entry.path().filename() << ": " << line;
    }
  }
  EXPECT_GT(files, 30);
}

}  // namespace

#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "analysis_runs.h"
#include "common/console.h"
#include "common/program_run.h"

// Tests never time anything: processors differ (on some, every x87
// operation on a NaN or an infinity costs a hundred ordinary ones), so a test
// shows that work ends by counting it (sweeps, calls, pauses) or by its
// result, and speed is measured only in bench/. A deadline may guard against
// a hang, never judge speed.
namespace qor_test {

// A console whose output is collected in memory and whose input is a fixed
// text (end of input after it), so no test ever waits for a key; it may act
// as a terminal, with or without UTF-8 characters.
class CapturedConsole {
 public:
  explicit CapturedConsole(const std::string& input = "", bool terminal = false, bool utf8 = false) {
    out_ = open_memstream(&buffer_, &size_);
    in_ = std::tmpfile();
    std::fwrite(input.data(), 1, input.size(), in_);
    std::fflush(in_);
    std::rewind(in_);
    lseek(fileno(in_), 0, SEEK_SET);
    err_ = open_memstream(&err_buffer_, &err_size_);
    console_ = std::make_unique<Console>(out_, in_, terminal, utf8, err_);
  }
  ~CapturedConsole() {
    console_.reset();
    std::fclose(out_);
    std::fclose(in_);
    std::fclose(err_);
    std::free(buffer_);
    std::free(err_buffer_);
  }
  Console& console() { return *console_; }
  std::string text() {
    std::fflush(out_);
    return std::string(buffer_, size_);
  }
  // What went to standard error: the warnings.
  std::string warnings() {
    std::fflush(err_);
    return std::string(err_buffer_, err_size_);
  }

 private:
  char* buffer_ = nullptr;
  std::size_t size_ = 0;
  char* err_buffer_ = nullptr;
  std::size_t err_size_ = 0;
  std::FILE* err_ = nullptr;
  std::FILE* out_ = nullptr;
  std::FILE* in_ = nullptr;
  std::unique_ptr<Console> console_;
};

// A fresh directory under the system's temporary directory, made the working
// directory for the test's lifetime and removed afterwards.
class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "qor-test-XXXXXX").string();
    path_ = mkdtemp(pattern.data());
    previous_ = std::filesystem::current_path();
    std::filesystem::current_path(path_);
  }
  ~TempDir() {
    std::filesystem::current_path(previous_);
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
  std::filesystem::path previous_;
};

inline void write_file(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

inline std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Lines joined with CR LF, each line closed.
inline std::string crlf(std::initializer_list<std::string> lines) {
  std::string text;
  for (const auto& line : lines) text += line + "\r\n";
  return text;
}

// Console text without the figure of its "Time:" line ("Time:" up to the
// "s" after the seconds), which differs from run to run.
inline std::string without_time(std::string console) {
  const std::size_t at = console.find("Time:");
  if (at == std::string::npos) return console;
  return console.erase(at, console.find('s', at) + 1 - at);
}

// The texts of an SVG document's text elements in document order, each
// followed by the separator.
inline std::string svg_texts(const std::string& svg, const std::string& separator = " ") {
  std::string text;
  for (std::size_t at = svg.find("<text"); at != std::string::npos; at = svg.find("<text", at + 1)) {
    const std::size_t from = svg.find('>', at) + 1;
    text += svg.substr(from, svg.find("</text>", from) - from) + separator;
  }
  return text;
}

}  // namespace qor_test

#include "common/text.h"

std::vector<std::string> wrap_words(std::string_view text, std::size_t width, std::string_view indent) {
  std::vector<std::string> lines;
  std::string line;
  bool has_word = false;
  for (std::size_t at = 0; at < text.size();) {
    std::size_t end = text.find(' ', at);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view word = text.substr(at, end - at);
    if (has_word && line.size() + 1 + word.size() > width) {
      lines.push_back(line);
      line = indent;
      has_word = false;
    }
    if (has_word) line += ' ';
    line += word;
    has_word = true;
    at = end + 1;
  }
  if (has_word) lines.push_back(line);
  return lines;
}

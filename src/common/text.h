#pragma once

#include <string>
#include <string_view>
#include <vector>

// Small text helpers shared by the settings, the help browser and the report names.

// Upper case for the letters a to z only: keywords, keys and report names are
// compared and written this way whatever the locale.
inline char ascii_upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

inline std::string ascii_upper(std::string_view text) {
  std::string result(text);
  for (char& c : result) c = ascii_upper(c);
  return result;
}

// True when the text's first character is c (false for an empty text).
inline bool begins_with(std::string_view text, char c) { return !text.empty() && text.front() == c; }

// A text broken into lines at its blanks, greedily: each line takes words
// while it stays within width characters (a word longer than a line stands
// alone); lines after the first begin with indent.
std::vector<std::string> wrap_words(std::string_view text, std::size_t width, std::string_view indent = {});

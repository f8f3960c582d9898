#pragma once

#include <string>
#include <string_view>

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

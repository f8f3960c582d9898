#pragma once

#include <string>
#include <string_view>

// Upper case for the letters a to z only: keywords, keys and report names are
// compared and written this way whatever the locale.
inline char ascii_upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

inline std::string ascii_upper(std::string_view text) {
  std::string result(text);
  for (char& c : result) c = ascii_upper(c);
  return result;
}

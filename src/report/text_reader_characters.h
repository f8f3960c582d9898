#pragma once

#include <cstddef>
#include <string>

// What the plain reading of numbers and the reading of separated fields
// both need of a token's characters.
namespace text_characters {

inline bool is_digit(char c) { return c >= '0' && c <= '9'; }
inline bool is_blank(int c) { return c == ' ' || c == '\t'; }

// Where the first of separators stands between two digits in token (values
// glued by a separator, or a decimal comma), or npos.
std::size_t glued_at(const std::string& token, const char* separators);

// A token in a message: whole up to TextReader::kShownToken characters, else
// cut there (not inside a UTF-8 character) and marked by "...", so that the
// line stays readable.
std::string quoted_token(const std::string& token);

}  // namespace text_characters

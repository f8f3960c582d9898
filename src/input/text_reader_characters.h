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

// A line that holds semicolons, read with another separator or none: they
// likely separate its values, and commas between digits are then decimal
// commas. Names the keywords that read it (",SEPS", ",SEPS,DEC"); empty for
// any other line. current_keyword is the separator keyword of the run, or empty.
std::string semicolon_line_hint(const std::string& line, const std::string& current_keyword);

// A token in a message: whole up to TextReader::kShownToken characters, else
// cut there (not inside a UTF-8 character) and marked by "...", so that the
// line stays readable.
std::string quoted_token(const std::string& token);

}  // namespace text_characters

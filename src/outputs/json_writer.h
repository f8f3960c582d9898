#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/real.h"

// A JSON text built in memory, for the results a script reads. Every member
// of an object and every element of an array stands on a line of its own,
// unless the object or array was begun inline (then it stays on one line).
// The text is plain ASCII: see json_string and json_number.
class JsonWriter {
 public:
  void begin_object(bool inline_ = false) { open('{', inline_); }
  void end_object() { close('}'); }
  void begin_array(bool inline_ = false) { open('[', inline_); }
  void end_array() { close(']'); }
  // The name of the next member of the object that is open.
  void key(std::string_view name);

  void string(std::string_view bytes);
  void number(REAL value);
  void integer(std::int64_t value);
  void boolean(bool value);
  void null();

  // Lines separated by LF, without a line end after the last one.
  const std::string& text() const { return out_; }

 private:
  struct Level {
    bool inline_;
    bool empty = true;
  };
  void open(char bracket, bool inline_);
  void close(char bracket);
  void before_value();
  void new_line();

  std::string out_;
  std::vector<Level> levels_;
  bool after_key_ = false;
};

// The bytes as a quoted JSON string. Quotes, backslashes and control
// characters are escaped; the program's texts are single bytes, so a byte
// above 127 stands for itself in ISO-8859-1 unless it begins a well-formed
// UTF-8 sequence (a file name typed on a UTF-8 terminal): either way it is
// written as a \u escape of its character (a pair for characters beyond
// U+FFFF), and the text stays ASCII.
std::string json_string(std::string_view bytes);

// A REAL as a JSON number that reads back as exactly that value: the
// shortest of 17 to 21 significant digits that does (21 always do for a
// 64-bit significand). Infinities and NaN, which JSON lacks, become null.
std::string json_number(REAL value);

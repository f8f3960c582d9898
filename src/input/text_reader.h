#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "common/real.h"

// A text file read number by number and line by line. Numbers are runs of
// characters above code 32, separated by blanks, tabs, line ends and other
// control characters; a line ends with LF, CR or CR LF; a Ctrl-Z (code 26)
// met while skipping ends the text. Failures throw RunError: 2 (or errno) when
// the file cannot be opened, 106 for a token that is not a number, a token of
// more than kMaxToken characters (refused whole: read in parts, its rest
// would pass for the next number) or a read at the very end of the text.
// Error messages name the line and the field (counted from 1 on the line,
// a row title included) and quote at most kShownToken characters of a token.
class TextReader {
 public:
  // How the values of a line are set apart when a run names it: by a
  // separator character (',', ';' or tab) with blanks beside it, and with a
  // decimal comma in place of the point (then a point is refused, since it
  // may be a separator of thousands). Without them the reader keeps to
  // blanks and points alone.
  struct FieldRules {
    char separator = 0;  // 0: blanks and tabs only
    bool decimal_comma = false;
  };

  // A title of a table with a separator: a number, or else any text, such as
  // a spreadsheet's sample name. text is the field as written, without its
  // quotes and the blanks at either end.
  struct Title {
    bool number = false;
    REAL value = 0;
    std::string text;
    std::int32_t field = 0;  // its place on the line, from 1
  };

  static constexpr int kEndOfText = -1;
  static constexpr unsigned char kCtrlZ = 26;
  static constexpr std::size_t kMaxToken = 255;
  static constexpr std::size_t kShownToken = 40;
  static constexpr std::size_t kLineForHints = 4096;

  // Opens path for reading; role names the file in error reports ("data file").
  TextReader(const std::string& path, const std::string& role);
  // Reads from text held in memory (tests, fuzzing).
  TextReader(const std::string& text, const std::string& name, const std::string& role);
  TextReader(const TextReader&) = delete;
  TextReader& operator=(const TextReader&) = delete;
  ~TextReader();

  // From now on the values follow these rules. With a separator a line is a
  // row of fields: an empty field (two separators with nothing between them,
  // or a separator before the first value) and two
  // values without the separator between them stop the run with error 106
  // naming the line and the field. A line of nothing but blanks and
  // separators is a blank line; one separator after a line's last value is
  // allowed. With a separator, as spreadsheets write
  // their tables: a UTF-8 byte-order mark at the start of the text is
  // skipped, and a field may stand in double quotes (a doubled quote inside
  // stands for one), which must close on its line with only blanks after
  // them in the field.
  void set_field_rules(FieldRules rules);
  // With a separator: the next line holding anything may begin with one
  // empty field, the corner above the row titles of a column-title line.
  void allow_empty_corner() { corner_ = true; }

  // Skips control characters and blanks, then reads one number. At the end of
  // the text after skipping at least one character the number is 0; at the end
  // without skipping, or at Ctrl-Z, error 106.
  REAL read_number();
  // With a separator: the next field, read whole (blanks inside it
  // included), as a title; a number when the number rules read it as one.
  // Without a separator: read_number.
  Title read_title();

  // Consumes blanks and tabs; true when the line ends here (CR, LF, Ctrl-Z or
  // the end of the text), false at any other character, which stays unread.
  bool rest_of_line_blank();
  // True when only blanks, tabs, CR and LF remain before the end or a Ctrl-Z.
  // Consumes nothing.
  bool rest_of_file_blank();
  // Skips up to and including the next line end (LF, CR, or CR LF).
  void next_line();
  // Skips blanks, tabs, CR and LF; false when the end of the text or a Ctrl-Z follows.
  bool skip_blanks_and_line_ends();
  // The rest of the current line, at most max_chars characters (the rest of a
  // longer line is skipped); the line end is consumed.
  std::string read_line_text(std::size_t max_chars);

  // Skips every character up to code 32 except Ctrl-Z, as a number read does.
  void skip_to_token();
  // True at the end of the text or at a Ctrl-Z.
  bool at_end();
  // Skips blank lines (lines of blanks and tabs only) up to the first line
  // that holds anything else; stops at the end of the text.
  void skip_blank_lines();

  void rewind();
  // Goes on from offset, the start of line `line` of the text, as a reader
  // that had read everything before it would (the plain reading only: the
  // separated fields keep a count of their line). Several readers of one
  // file may thus read its parts side by side.
  void start_at(std::int64_t offset, std::int64_t line);
  // Line number (from 1) of the next unread character.
  std::int64_t line() const { return line_; }
  const std::string& name() const { return name_; }
  const std::string& role() const { return role_; }
  // Bytes of the text read so far (the offset of the next unread character);
  // the loader's progress line follows it.
  std::int64_t offset() const { return buffer_offset_ + static_cast<std::int64_t>(pos_); }

  // The current line from its start, without its line end, at most
  // max_chars characters: for the hints of a message after a failed read.
  std::string current_line(std::size_t max_chars = kLineForHints);

  // The number rules as this reader's values follow them (a decimal comma
  // with ,DEC) on a whole text.
  bool field_value(const std::string& text, REAL& value) const;

  // The number rules on a whole token; false when it is not a number or its
  // value lies outside the range of REAL.
  static bool parse_number(const char* begin, const char* end, REAL& value);

 private:
  int peek();
  int peek_at(std::size_t ahead);  // only within the current buffer
  void advance();
  [[gnu::noinline]] void passed_line_end(char c);
  bool refill();
  [[noreturn]] void fail_bad_number(const std::string& token);
  [[noreturn]] void fail_too_long_plain(const std::string& token);
  [[noreturn]] void fail_too_long(const std::string& token, std::int64_t length, std::int32_t field);
  // The field of the token at offset start, for the messages of the plain reading.
  std::int32_t plain_field(std::int64_t start);
  [[noreturn]] void fail_at_end();
  [[noreturn]] void fail_read();

  // The separated-fields reading (set_field_rules).
  // Kept apart from the plain reading, so that reading without a separator
  // stays as fast as it was.
  bool fields() const { return fields_; }
  [[gnu::noinline]] REAL read_field_number();
  [[gnu::noinline]] bool rest_of_fields_blank();
  void skip_blank_field_lines();
  // Skips blanks, separators and (when crossing) line ends and control
  // characters; returns the next character, unread.
  int skip_between_fields(bool crossing);
  void count_separator();
  void begin_field();
  void end_line_of_fields();
  void reset_fields() { tokens_on_line_ = separators_on_line_ = 0; separator_after_token_ = false; }
  std::string field_place(std::int32_t field) const;
  std::string field_hint(const std::string& token, bool quoted, const std::string& line) const;
  std::string read_token(std::int32_t field);
  std::string read_quoted(std::int32_t field);
  std::string read_bare_title(std::int32_t field);
  // Characters up to the end of the token that begins at the next unread one.
  enum class Run { plain, value, title, quoted };
  std::int64_t skip_rest(Run run);
  void skip_byte_order_mark();
  void skip_line_end();
  std::string separator_name() const;
  [[noreturn]] void fail_empty_field(std::int32_t field, const std::string& where);

  static constexpr int kNoSeparator = -2;  // no character compares equal

  std::FILE* file_ = nullptr;
  std::string name_;
  std::string role_;
  std::vector<char> buffer_;
  std::size_t pos_ = 0;
  std::size_t len_ = 0;
  bool memory_ = false;
  std::int64_t buffer_offset_ = 0;  // file offset of buffer_[0]
  std::int64_t line_ = 1;
  std::int64_t line_start_ = 0;  // offset of the current line's first character

  int separator_ = kNoSeparator;
  bool decimal_comma_ = false;
  bool fields_ = false;  // a separator or the decimal comma
  bool corner_ = false;
  std::int32_t tokens_on_line_ = 0;
  std::int32_t separators_on_line_ = 0;
  bool separator_after_token_ = false;
};

// The reading of separated fields: the tables that spreadsheets write, with a
// separator character, decimal commas, quotes, a byte-order mark and text
// titles. The plain reading of blank-separated numbers is text_reader.cpp.
#include <string>

#include "common/run_error.h"
#include "input/text_reader.h"
#include "input/text_reader_characters.h"

using text_characters::glued_at;
using text_characters::is_blank;
using text_characters::quoted_token;
using text_characters::semicolon_line_hint;

namespace {

bool between_digits(const std::string& token, char separator) {
  const char separators[] = {separator, 0};
  return glued_at(token, separators) != std::string::npos;
}

std::string without_blanks_at_the_ends(const std::string& text) {
  std::size_t from = 0, to = text.size();
  while (from < to && is_blank(text[from])) ++from;
  while (to > from && is_blank(text[to - 1])) --to;
  return text.substr(from, to - from);
}

bool holds(const std::string& token, char c) { return token.find(c) != std::string::npos; }

}  // namespace

void TextReader::set_field_rules(FieldRules rules) {
  separator_ = rules.separator == 0 ? kNoSeparator : static_cast<unsigned char>(rules.separator);
  decimal_comma_ = rules.decimal_comma;
  fields_ = separator_ != kNoSeparator || decimal_comma_;
  reset_fields();
  skip_byte_order_mark();
}

// Spreadsheets begin a UTF-8 file with the byte-order mark EF BB BF; it is no
// part of the first field.
void TextReader::skip_byte_order_mark() {
  if (separator_ == kNoSeparator || offset() != 0) return;
  if (peek() == 0xEF && peek_at(1) == 0xBB && peek_at(2) == 0xBF) {
    pos_ += 3;
    line_start_ = offset();
  }
}

std::string TextReader::separator_name() const {
  switch (separator_) {
    case ',': return "comma";
    case ';': return "semicolon";
    case '\t': return "tab";
    default: return "blank";
  }
}

std::string TextReader::field_place(std::int32_t field) const {
  return role_ + " \"" + name_ + "\", line " + std::to_string(line_) + ", field " + std::to_string(field);
}

void TextReader::fail_empty_field(std::int32_t field, const std::string& where) {
  throw RunError(kBadNumber, field_place(field) + " is empty (" + where +
                          "): every value of a row must be given as a number.");
}

void TextReader::count_separator() {
  if (tokens_on_line_ > 0 && separator_after_token_)
    fail_empty_field(separators_on_line_ + 1, "two " + separator_name() + "s with nothing between them");
  ++separators_on_line_;
  if (tokens_on_line_ > 0) separator_after_token_ = true;
}

// One separator after the last value of a line is allowed: some programs
// end every line with one. Two make an empty field (count_separator).
void TextReader::end_line_of_fields() { reset_fields(); }

int TextReader::skip_between_fields(bool crossing) {
  for (;;) {
    const int c = peek();
    if (c == separator_) {
      count_separator();
      advance();
    } else if (c == ' ' || c == '\t') {
      advance();
    } else if (c == kEndOfText || c == kCtrlZ) {
      end_line_of_fields();
      return c;
    } else if (c == '\r' || c == '\n') {
      if (!crossing) return c;
      end_line_of_fields();
      advance();
    } else if (c < 32 && crossing) {
      advance();
    } else {
      return c;
    }
  }
}

std::string TextReader::read_token(std::int32_t field) {
  std::string token;
  for (;;) {
    const int c = peek();
    if (c == kEndOfText || c <= 32 || c == separator_) return token;
    if (token.size() == kMaxToken) fail_too_long(token, static_cast<std::int64_t>(kMaxToken) + skip_rest(Run::value), field);
    token.push_back(static_cast<char>(c));
    ++pos_;
  }
}

// A field in double quotes: the text between them, a doubled quote standing
// for one, without the blanks at either end. Spreadsheets quote a field that
// holds the separator or a quote; a quote cannot span lines here, since a row
// stands on one line.
std::string TextReader::read_quoted(std::int32_t field) {
  ++pos_;  // the opening quote
  std::string text;
  for (;;) {
    const int c = peek();
    if (c == kEndOfText || c == kCtrlZ || c == '\r' || c == '\n')
      throw RunError(kBadNumber, field_place(field) + ": the quote that opens " + quoted_token(text) +
                              " is not closed on its line (a field in quotes ends with a quote; a quote inside it is "
                              "written twice).");
    ++pos_;
    if (c == '"') {
      if (peek() != '"') break;
      ++pos_;
    }
    if (text.size() == kMaxToken)
      fail_too_long(text, static_cast<std::int64_t>(kMaxToken) + 1 + skip_rest(Run::quoted), field);
    text.push_back(static_cast<char>(c));
  }
  for (;;) {
    const int c = peek();
    if (c == separator_ || c == '\r' || c == '\n' || c == kEndOfText || c == kCtrlZ) {
      return without_blanks_at_the_ends(text);
    } else if (is_blank(c)) {
      ++pos_;
    } else {
      throw RunError(kBadNumber, field_place(field) + ": the field in quotes " + quoted_token(text) +
                              " is followed by other text before the next " + separator_name() +
                              " (a quote inside a field in quotes is written twice).");
    }
  }
}

// A title without quotes: everything up to the separator or the line end,
// blanks inside included (a sample name such as "Sample 1").
std::string TextReader::read_bare_title(std::int32_t field) {
  std::string text;
  std::int64_t count = 0, kept = 0;  // characters read; up to the last one that is not a blank
  for (;;) {
    const int c = peek();
    if (c == kEndOfText || c == kCtrlZ || c == '\r' || c == '\n' || c == separator_) break;
    ++pos_;
    ++count;
    if (text.size() <= kMaxToken) text.push_back(static_cast<char>(c));
    if (is_blank(c)) continue;
    kept = count;
    if (kept > static_cast<std::int64_t>(kMaxToken)) {
      text.resize(kMaxToken);
      fail_too_long(text, count + skip_rest(Run::title), field);
    }
  }
  text.resize(static_cast<std::size_t>(kept));
  return text;
}

void TextReader::begin_field() {
  if (separator_ == kNoSeparator) return;
  if (tokens_on_line_ == 0) {
    const std::int32_t allowed = corner_ ? 1 : 0;
    if (separators_on_line_ > allowed)
      fail_empty_field(allowed + 1, allowed == 0 ? "the line begins with a " + separator_name()
                                                 : "two " + separator_name() + "s with nothing between them");
  } else if (!separator_after_token_) {
    const std::int32_t field = separators_on_line_ + 1;
    throw RunError(kBadNumber, field_place(field) + ": " + quoted_token(read_token(field)) +
                            " follows a value with only blanks between them: with the " + separator_name() +
                            " as the separator every value stands in a field of its own (blanks beside the " +
                            separator_name() + " are allowed).");
  }
  corner_ = false;
  ++tokens_on_line_;
  separator_after_token_ = false;
}

std::string TextReader::field_hint(const std::string& token, bool quoted, const std::string& line) const {
  if (separator_ != ';') {
    const std::string keyword = separator_ == ',' ? ",SEPC" : separator_ == '\t' ? ",SEPT" : "";
    const std::string semicolons = semicolon_line_hint(line, keyword);
    if (!semicolons.empty()) return semicolons;
  }
  if (quoted && separator_ == ',' && between_digits(token, ','))
    return " A decimal comma cannot be read where commas separate the values: save the table with semicolons "
           "and read it with ,SEPS,DEC.";
  if (decimal_comma_ && holds(token, '.'))
    return " With ,DEC the decimal separator is the comma; a point is not read, since it may separate thousands.";
  if (!decimal_comma_ && separator_ != ',' && between_digits(token, ','))
    return " If the comma is a decimal comma, add ,DEC.";
  if ((holds(token, ',') && !decimal_comma_) || holds(token, ';'))
    return " This run separates the values by the " + separator_name() + ".";
  return {};
}

bool TextReader::field_value(const std::string& token, REAL& value) const {
  if (!decimal_comma_) return parse_number(token.data(), token.data() + token.size(), value);
  if (token.size() > kMaxToken) return false;
  char text[kMaxToken];  // the token with its decimal comma as a point, in one pass
  for (std::size_t i = 0; i < token.size(); ++i) {
    if (token[i] == '.') return false;
    text[i] = token[i] == ',' ? '.' : token[i];
  }
  return parse_number(text, text + token.size(), value);
}

REAL TextReader::read_field_number() {
  const std::int64_t before = offset();
  const int c = skip_between_fields(true);
  if (c == kEndOfText || c == kCtrlZ) {
    if (offset() != before) return 0;
    fail_at_end();
  }
  begin_field();
  const std::int32_t field = separators_on_line_ + 1;
  const bool quoted = c == '"' && separator_ != kNoSeparator;
  const std::string token = quoted ? read_quoted(field) : read_token(field);
  if (quoted && token.empty()) fail_empty_field(field, "nothing but blanks between its quotes");
  REAL value = 0;
  if (!field_value(token, value))
    throw RunError(kBadNumber, quoted_token(token) + " in " + field_place(field) +
                            ", is not a number (expected a decimal number such as 7, -2" +
                            (decimal_comma_ ? ",5, ,5" : ".5, .5") +
                            " or 1e-3, within the range of the 80-bit type)." +
                            field_hint(token, quoted, current_line()));
  return value;
}

TextReader::Title TextReader::read_title() {
  if (separator_ == kNoSeparator) return {true, read_number(), {}, 0};
  const std::int64_t before = offset();
  const int c = skip_between_fields(true);
  if (c == kEndOfText || c == kCtrlZ) {
    if (offset() != before) return {true, 0, "0", separators_on_line_ + 1};
    fail_at_end();
  }
  begin_field();
  Title title;
  title.field = separators_on_line_ + 1;
  title.text = c == '"' ? read_quoted(title.field) : read_bare_title(title.field);
  title.number = field_value(title.text, title.value);
  return title;
}

bool TextReader::rest_of_fields_blank() {
  const int c = skip_between_fields(false);
  if (c != '\r' && c != '\n' && c != kEndOfText && c != kCtrlZ) return false;
  end_line_of_fields();
  return true;
}

void TextReader::skip_blank_field_lines() {
  for (;;) {
    const int c = skip_between_fields(false);
    if (c != '\r' && c != '\n') return;
    reset_fields();  // a line of blanks and separators holds nothing
    skip_line_end();
  }
}

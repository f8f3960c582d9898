#include "report/text_reader.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "common/run_error.h"

namespace {

constexpr std::size_t kBufferSize = 1 << 16;
constexpr std::size_t kMaxToken = 255;

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Powers of ten that are exact in REAL (5^27 < 2^64).
constexpr int kExactPowers = 27;
const REAL* exact_powers_of_ten() {
  static const auto table = [] {
    static REAL p[kExactPowers + 1];
    p[0] = 1;
    for (int i = 1; i <= kExactPowers; ++i) p[i] = p[i - 1] * 10;
    return p;
  }();
  return table;
}

// The largest REAL written with 17 significant digits: 1.1897314953572318E+4932.
constexpr long kLargestExponent = 4932;
constexpr std::uint64_t kLargestText19 = 1189731495357231800ULL;

bool between_digits(const std::string& token, char separator) {
  for (std::size_t i = 1; i + 1 < token.size(); ++i)
    if (token[i] == separator && is_digit(token[i - 1]) && is_digit(token[i + 1])) return true;
  return false;
}

// Values glued by commas or semicolons come from a table written for a
// spreadsheet (comma- or semicolon-separated values, decimal commas): say
// what to change. Empty for any other token.
std::string separator_hint(const std::string& token) {
  const bool commas = between_digits(token, ',');
  const bool semicolons = between_digits(token, ';');
  const std::string rule = " Numbers are separated by blanks or tabs: ";
  if (commas && semicolons) return rule + "replace the semicolons by blanks and the decimal commas by points.";
  if (semicolons) return rule + "if the semicolons separate values, replace them by blanks.";
  if (commas)
    return rule + "if the commas separate values, replace them by blanks; if they are decimal commas, by points.";
  return {};
}

bool holds(const std::string& token, char c) { return token.find(c) != std::string::npos; }

}  // namespace

TextReader::TextReader(const std::string& path, const std::string& role)
    : name_(path), role_(role), buffer_(kBufferSize) {
  errno = 0;
  file_ = std::fopen(path.c_str(), "rb");
  if (file_ == nullptr) throw_file_error(errno, "open", role, path);
}

TextReader::TextReader(const std::string& text, const std::string& name, const std::string& role)
    : name_(name), role_(role), buffer_(text.begin(), text.end()), len_(text.size()), memory_(true) {}

TextReader::~TextReader() {
  if (file_ != nullptr) std::fclose(file_);
}

void TextReader::fail_read() { throw_file_error(errno, "read", role_, name_); }

bool TextReader::refill() {
  if (memory_) return false;
  buffer_offset_ += static_cast<std::int64_t>(len_);
  pos_ = 0;
  errno = 0;
  len_ = std::fread(buffer_.data(), 1, buffer_.size(), file_);
  if (len_ == 0 && std::ferror(file_)) fail_read();
  return len_ > 0;
}

int TextReader::peek() {
  if (pos_ >= len_ && !refill()) return kEndOfText;
  return static_cast<unsigned char>(buffer_[pos_]);
}

int TextReader::peek_at(std::size_t ahead) {
  if (pos_ + ahead >= len_) return kEndOfText;
  return static_cast<unsigned char>(buffer_[pos_ + ahead]);
}

void TextReader::advance() {
  const char c = buffer_[pos_++];
  // Count CR LF once, a lone CR or LF once each.
  if (c == '\n') {
    ++line_;
  } else if (c == '\r' && peek() != '\n') {
    ++line_;
  }
}

void TextReader::rewind() {
  line_ = 1;
  pos_ = 0;
  if (memory_) return;
  errno = 0;
  if (std::fseek(file_, 0, SEEK_SET) != 0) fail_read();
  buffer_offset_ = 0;
  len_ = 0;
}

bool TextReader::parse_number(const char* begin, const char* end, REAL& value) {
  const char* p = begin;
  bool negative = false;
  if (p < end && (*p == '+' || *p == '-')) negative = (*p++ == '-');
  std::uint64_t mantissa = 0;
  int significant = 0;    // digits taken into the mantissa
  int dropped = 0;        // digits beyond the mantissa (the fast path gives up)
  int dropped_integer = 0;
  bool dropped_nonzero = false;
  int scale = 0;          // decimal exponent contributed by the fraction
  int digits = 0;
  bool nonzero = false;
  for (; p < end && is_digit(*p); ++p, ++digits) {
    if (*p != '0') nonzero = true;
    if (significant == 0 && *p == '0') continue;
    if (significant < 19) {
      mantissa = mantissa * 10 + static_cast<std::uint64_t>(*p - '0');
      ++significant;
    } else {
      ++dropped;
      ++dropped_integer;
      dropped_nonzero = dropped_nonzero || *p != '0';
    }
  }
  if (p < end && *p == '.') {
    ++p;
    for (; p < end && is_digit(*p); ++p, ++digits) {
      if (*p != '0') nonzero = true;
      if (significant == 0 && *p == '0') {
        --scale;
        continue;
      }
      if (significant < 19) {
        mantissa = mantissa * 10 + static_cast<std::uint64_t>(*p - '0');
        ++significant;
        --scale;
      } else {
        ++dropped;  // a fraction digit beyond the mantissa: leave it to strtold
        dropped_nonzero = dropped_nonzero || *p != '0';
      }
    }
  }
  if (digits == 0) return false;
  long exponent = 0;
  if (p < end && (*p == 'e' || *p == 'E')) {
    ++p;
    bool exp_negative = false;
    if (p < end && (*p == '+' || *p == '-')) exp_negative = (*p++ == '-');
    if (p == end || !is_digit(*p)) return false;
    for (; p < end && is_digit(*p); ++p) {
      if (exponent < 100000) exponent = exponent * 10 + (*p - '0');
    }
    if (exp_negative) exponent = -exponent;
  }
  if (p != end) return false;

  const long total = exponent + scale;
  if (!nonzero) {
    value = negative ? -0.0L : 0.0L;
    return true;
  }
  if (dropped == 0 && total >= -kExactPowers && total <= kExactPowers) {
    // Exact mantissa and exact power of ten: one correctly rounded operation.
    const REAL m = static_cast<REAL>(mantissa);
    const REAL* pow10 = exact_powers_of_ten();
    REAL v = total >= 0 ? m * pow10[total] : m / pow10[-total];
    value = negative ? -v : v;
    return true;
  }
  const std::string token(begin, end);
  errno = 0;
  char* stop = nullptr;
  const REAL v = std::strtold(token.c_str(), &stop);
  if (stop != token.c_str() + token.size()) return false;
  if (std::isinf(v)) {
    // The 17-digit text of the largest values lies just beyond the largest
    // REAL; it still reads back as that value.
    const long leading_exponent = total + dropped_integer + significant - 1;
    if (leading_exponent != kLargestExponent) return false;
    std::uint64_t digits19 = mantissa;
    for (int i = significant; i < 19; ++i) digits19 *= 10;
    if (digits19 > kLargestText19 || (digits19 == kLargestText19 && dropped_nonzero)) return false;
    value = negative ? -std::numeric_limits<REAL>::max() : std::numeric_limits<REAL>::max();
    return true;
  }
  if (v == 0) return false;  // below the smallest REAL
  value = v;
  return true;
}

void TextReader::fail_bad_number(const std::string& token) {
  throw RunError(106, "\"" + token + "\" in " + role_ + " \"" + name_ + "\", line " +
                          std::to_string(line_) +
                          ", is not a number (expected a decimal number such as 7, -2.5, .5 or "
                          "1e-3, within the range of the 80-bit type)." +
                          separator_hint(token));
}

void TextReader::fail_at_end() {
  throw RunError(106, role_ + " \"" + name_ + "\" ends where a number was expected (line " +
                          std::to_string(line_) + ").");
}

REAL TextReader::read_number() {
  if (fields()) return read_field_number();
  bool skipped = false;
  for (;;) {
    const int c = peek();
    if (c == kEndOfText || c == kCtrlZ) {
      if (skipped) return 0;
      fail_at_end();
    }
    if (c > 32) break;
    advance();
    skipped = true;
  }
  char token[kMaxToken];
  std::size_t n = 0;
  for (;;) {
    const int c = peek();
    if (c == kEndOfText || c <= 32 || n == kMaxToken) break;
    token[n++] = static_cast<char>(c);
    ++pos_;
  }
  REAL value = 0;
  if (!parse_number(token, token + n, value)) fail_bad_number(std::string(token, n));
  return value;
}

bool TextReader::rest_of_line_blank() {
  if (fields()) return rest_of_fields_blank();
  for (;;) {
    const int c = peek();
    if (c == ' ' || c == '\t') {
      advance();
      continue;
    }
    return c == '\r' || c == '\n' || c == kCtrlZ || c == kEndOfText;
  }
}

bool TextReader::rest_of_file_blank() {
  // Look ahead within the buffer first; only a long run of white space at a
  // buffer boundary needs the file itself, which is then read and put back.
  for (std::size_t i = pos_; i < len_; ++i) {
    const char c = buffer_[i];
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n' ||
        static_cast<unsigned char>(c) == separator_) continue;
    return c == static_cast<char>(kCtrlZ);
  }
  if (memory_) return true;
  const std::int64_t resume = buffer_offset_ + static_cast<std::int64_t>(pos_);
  const std::int64_t saved_line = line_;
  bool blank = true;
  while (refill()) {
    bool decided = false;
    for (std::size_t i = 0; i < len_; ++i) {
      const char c = buffer_[i];
      if (c == ' ' || c == '\t' || c == '\r' || c == '\n' ||
        static_cast<unsigned char>(c) == separator_) continue;
      blank = c == static_cast<char>(kCtrlZ);
      decided = true;
      break;
    }
    if (decided) break;
  }
  errno = 0;
  if (std::fseek(file_, resume, SEEK_SET) != 0) fail_read();
  buffer_offset_ = resume;
  pos_ = 0;
  len_ = 0;
  line_ = saved_line;
  return blank;
}

void TextReader::next_line() {
  if (fields()) {
    reset_fields();
    corner_ = false;
  }
  skip_line_end();
}

void TextReader::skip_line_end() {
  for (;;) {
    const int c = peek();
    if (c == kEndOfText) return;
    ++pos_;
    if (c == '\n') {
      ++line_;
      return;
    }
    if (c == '\r') {
      ++line_;
      if (peek() == '\n') ++pos_;
      return;
    }
  }
}

bool TextReader::skip_blanks_and_line_ends() {
  for (;;) {
    const int c = peek();
    if (c == kEndOfText || c == kCtrlZ) return false;
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n') return true;
    advance();
  }
}

std::string TextReader::read_line_text(std::size_t max_chars) {
  std::string text;
  for (;;) {
    const int c = peek();
    if (c == kEndOfText || c == '\r' || c == '\n') break;
    if (text.size() < max_chars) text.push_back(static_cast<char>(c));
    ++pos_;
  }
  next_line();
  return text;
}

void TextReader::skip_to_token() {
  if (fields()) {
    skip_between_fields(true);
    return;
  }
  for (;;) {
    const int c = peek();
    if (c == kEndOfText || c == kCtrlZ || c > 32) return;
    advance();
  }
}

bool TextReader::at_end() {
  const int c = peek();
  return c == kEndOfText || c == kCtrlZ;
}

void TextReader::skip_blank_lines() {
  if (fields()) {
    skip_blank_field_lines();
    return;
  }
  while (rest_of_line_blank() && !at_end()) next_line();
}

// ---- Separated fields.

void TextReader::set_field_rules(FieldRules rules) {
  separator_ = rules.separator == 0 ? kNoSeparator : static_cast<unsigned char>(rules.separator);
  decimal_comma_ = rules.decimal_comma;
  fields_ = separator_ != kNoSeparator || decimal_comma_;
  reset_fields();
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
  throw RunError(106, field_place(field) + " is empty (" + where +
                          "): every value of a row must be given as a number.");
}

void TextReader::count_separator() {
  if (tokens_on_line_ > 0 && separator_after_token_)
    fail_empty_field(separators_on_line_ + 1, "two " + separator_name() + "s with nothing between them");
  ++separators_on_line_;
  if (tokens_on_line_ > 0) separator_after_token_ = true;
}

void TextReader::end_line_of_fields() {
  if (tokens_on_line_ > 0 && separator_after_token_)
    fail_empty_field(separators_on_line_ + 1, "the line ends with a " + separator_name());
  reset_fields();
}

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

std::string TextReader::read_token() {
  std::string token;
  for (;;) {
    const int c = peek();
    if (c == kEndOfText || c <= 32 || c == separator_ || token.size() == kMaxToken) return token;
    token.push_back(static_cast<char>(c));
    ++pos_;
  }
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
    throw RunError(106, field_place(field) + ": \"" + read_token() +
                            "\" follows a value with only blanks between them: with the " + separator_name() +
                            " as the separator every value stands in a field of its own (blanks beside the " +
                            separator_name() + " are allowed).");
  }
  corner_ = false;
  ++tokens_on_line_;
  separator_after_token_ = false;
}

std::string TextReader::field_hint(const std::string& token) const {
  if (decimal_comma_ && holds(token, '.'))
    return " With ,DEC the decimal separator is the comma; a point is not read, since it may separate thousands.";
  if (!decimal_comma_ && separator_ != ',' && between_digits(token, ','))
    return " If the comma is a decimal comma, add ,DEC.";
  if ((holds(token, ',') && !decimal_comma_) || holds(token, ';'))
    return " This run separates the values by the " + separator_name() + ".";
  return {};
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
  const std::string token = read_token();
  std::string text = token;
  if (decimal_comma_) std::replace(text.begin(), text.end(), ',', '.');
  REAL value = 0;
  if ((decimal_comma_ && holds(token, '.')) || !parse_number(text.data(), text.data() + text.size(), value))
    throw RunError(106, "\"" + token + "\" in " + field_place(field) +
                            ", is not a number (expected a decimal number such as 7, -2" +
                            (decimal_comma_ ? ",5, ,5" : ".5, .5") +
                            " or 1e-3, within the range of the 80-bit type)." + field_hint(token));
  return value;
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

#include "input/text_reader.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "common/run_error.h"
#include "input/text_reader_characters.h"

using text_characters::glued_at;
using text_characters::is_digit;
using text_characters::quoted_token;
using text_characters::semicolon_line_hint;

namespace {

constexpr std::size_t kBufferSize = 1 << 16;

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

// Values glued by commas or semicolons come from a table written for a
// spreadsheet (comma- or semicolon-separated values, decimal commas): point
// at the first such character and name the keywords that read the table as
// it is. Empty for any other token.
std::string separator_hint(const std::string& token) {
  const std::size_t i = glued_at(token, ",;");
  if (i == std::string::npos) return {};
  return std::string(" The ") + (token[i] == ',' ? "comma" : "semicolon") + " at character " + std::to_string(i + 1) +
         " of the token does not belong in a number: for values separated by commas add ,SEPC to the data "
         "file's name (in a parameter file the line S C), for semicolons ,SEPS (S S); for decimal commas ,DEC "
         "(U +).";
}

}  // namespace

namespace text_characters {

std::size_t glued_at(const std::string& token, const char* separators) {
  for (std::size_t i = 1; i + 1 < token.size(); ++i) {
    const bool separator = token[i] != 0 && std::strchr(separators, token[i]) != nullptr;
    if (separator && is_digit(token[i - 1]) && is_digit(token[i + 1])) return i;
  }
  return std::string::npos;
}

std::string semicolon_line_hint(const std::string& line, const std::string& current_keyword) {
  if (line.find(';') == std::string::npos) return {};
  const bool decimal_commas = glued_at(line, ",") != std::string::npos;
  return std::string(" The line holds semicolons: if they separate its values, read the file with ,SEPS") +
         (decimal_commas ? ",DEC" : "") + (current_keyword.empty() ? "" : " instead of " + current_keyword) +
         (decimal_commas ? ", as its numbers have decimal commas" : "") + " (in a parameter file the line S S" +
         (decimal_commas ? " and the line U +" : "") + ").";
}

std::string quoted_token(const std::string& token) {
  if (token.size() <= TextReader::kShownToken) return "\"" + token + "\"";
  std::size_t cut = TextReader::kShownToken;
  while (cut > 0 && (static_cast<unsigned char>(token[cut]) & 0xC0) == 0x80) --cut;
  return "\"" + token.substr(0, cut) + "...\"";
}

}  // namespace text_characters

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
  if (c == '\n' || c == '\r') passed_line_end(c);
}

// Kept out of advance, so that skipping blanks stays a short inlined loop.
void TextReader::passed_line_end(char c) {
  // Count CR LF once, a lone CR or LF once each.
  if (c == '\n' || peek() != '\n') {
    ++line_;
    line_start_ = offset();
  }
}

void TextReader::rewind() {
  line_ = 1;
  line_start_ = 0;
  pos_ = 0;
  if (!memory_) {
    errno = 0;
    if (std::fseek(file_, 0, SEEK_SET) != 0) fail_read();
    buffer_offset_ = 0;
    len_ = 0;
  }
  reset_fields();
  skip_byte_order_mark();
}

void TextReader::start_at(std::int64_t offset, std::int64_t line) {
  line_ = line;
  line_start_ = offset;
  if (memory_) {
    pos_ = static_cast<std::size_t>(offset);
    return;
  }
  errno = 0;
  if (std::fseek(file_, offset, SEEK_SET) != 0) fail_read();
  buffer_offset_ = offset;
  pos_ = 0;
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

// The plain reading's failures come right after the token, which began
// its length before the next unread character.
void TextReader::fail_bad_number(const std::string& token) {
  const std::int64_t start = offset() - static_cast<std::int64_t>(token.size());
  const std::string place = field_place(plain_field(start));
  std::string hint = semicolon_line_hint(current_line(), "");
  if (hint.empty()) hint = separator_hint(token);
  throw RunError(kBadNumber, quoted_token(token) + " in " + place +
                          ", is not a number (expected a decimal number such as 7, -2.5, .5 or "
                          "1e-3, within the range of the 80-bit type)." +
                          hint);
}

std::string TextReader::current_line(std::size_t max_chars) {
  std::string text;
  const auto take = [&](char c) {
    if (c == '\r' || c == '\n' || text.size() >= max_chars) return false;
    text.push_back(c);
    return true;
  };
  if (memory_) {
    for (std::size_t i = static_cast<std::size_t>(line_start_); i < len_ && take(buffer_[i]);) ++i;
    return text;
  }
  // The line may have begun in an earlier buffer: read it again, then put
  // the file back where the buffer ends.
  std::vector<char> bytes(max_chars);
  if (std::fseek(file_, line_start_, SEEK_SET) == 0) {
    const std::size_t got = std::fread(bytes.data(), 1, bytes.size(), file_);
    for (std::size_t i = 0; i < got && take(bytes[i]); ++i) {
    }
  }
  std::fseek(file_, buffer_offset_ + static_cast<std::int64_t>(len_), SEEK_SET);
  return text;
}

void TextReader::fail_too_long(const std::string& token, std::int64_t length, std::int32_t field) {
  throw RunError(kBadNumber, quoted_token(token) + " in " + field_place(field) + ", is " + std::to_string(length) +
                          " characters long; a field may have at most " + std::to_string(kMaxToken) +
                          " characters.");
}

void TextReader::fail_too_long_plain(const std::string& token) {
  const std::int64_t start = offset() - static_cast<std::int64_t>(token.size());
  const std::int64_t length = static_cast<std::int64_t>(token.size()) + skip_rest(Run::plain);
  fail_too_long(token, length, plain_field(start));
}

// The plain reading keeps no count of the fields on a line, which would cost
// every number some time; a message counts them again from the line's start.
std::int32_t TextReader::plain_field(std::int64_t start) {
  std::int32_t field = 1;
  bool in_token = false;
  const auto count = [&](unsigned char c) {
    if (c > 32) {
      in_token = true;
    } else if (in_token) {
      in_token = false;
      ++field;
    }
  };
  if (memory_) {
    for (std::int64_t i = line_start_; i < start; ++i) count(static_cast<unsigned char>(buffer_[static_cast<std::size_t>(i)]));
    return field;
  }
  // The line may have begun in an earlier buffer: read it again, then put
  // the file back where the buffer ends.
  std::vector<char> bytes(static_cast<std::size_t>(start - line_start_));
  if (std::fseek(file_, line_start_, SEEK_SET) == 0) {
    const std::size_t got = std::fread(bytes.data(), 1, bytes.size(), file_);
    for (std::size_t i = 0; i < got; ++i) count(static_cast<unsigned char>(bytes[i]));
  }
  std::fseek(file_, buffer_offset_ + static_cast<std::int64_t>(len_), SEEK_SET);
  return field;
}

std::int64_t TextReader::skip_rest(Run run) {
  std::int64_t n = 0;
  for (;;) {
    const int c = peek();
    if (c == kEndOfText || c == kCtrlZ || c == '\r' || c == '\n') return n;
    if ((run == Run::plain || run == Run::value) && c <= 32) return n;
    if (run != Run::plain && run != Run::quoted && c == separator_) return n;
    ++pos_;
    if (run == Run::quoted && c == '"') {
      if (peek() != '"') return n;
      ++pos_;
    }
    ++n;
  }
}

void TextReader::fail_at_end() {
  throw RunError(kBadNumber, role_ + " \"" + name_ + "\" ends where a number was expected (line " +
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
  if (n == kMaxToken && peek() > 32) fail_too_long_plain(std::string(token, n));
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
      line_start_ = offset();
      return;
    }
    if (c == '\r') {
      ++line_;
      if (peek() == '\n') ++pos_;
      line_start_ = offset();
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

#include "outputs/json_writer.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

void append_escape(std::string& out, std::uint32_t unit) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "\\u%04x", static_cast<unsigned>(unit));
  out += buffer;
}

void append_code_point(std::string& out, std::uint32_t code) {
  if (code < 0x10000) {
    append_escape(out, code);
    return;
  }
  code -= 0x10000;
  append_escape(out, 0xD800 + (code >> 10));
  append_escape(out, 0xDC00 + (code & 0x3FF));
}

bool continuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// The length of the well-formed UTF-8 sequence at bytes[i] (2 to 4) and its
// code point, or 0 when the bytes there are not one (overlong forms and
// surrogates included).
std::size_t utf8_sequence(std::string_view bytes, std::size_t i, std::uint32_t& code) {
  const auto b = [&](std::size_t k) { return static_cast<unsigned char>(bytes[i + k]); };
  const unsigned char lead = b(0);
  // Lead bytes C2..DF, E0..EF, F0..F4 begin sequences of 2, 3 and 4 bytes.
  const std::size_t length = lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                             : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
  if (length == 0 || i + length > bytes.size()) return 0;
  static constexpr std::uint32_t kLeadBits[] = {0, 0, 0x1F, 0x0F, 0x07};
  static constexpr std::uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
  std::uint32_t value = lead & kLeadBits[length];
  for (std::size_t k = 1; k < length; ++k) {
    if (!continuation(b(k))) return 0;
    value = (value << 6) | (b(k) & 0x3Fu);
  }
  if (value < kLeast[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  code = value;
  return length;
}

}  // namespace

std::string json_string(std::string_view bytes) {
  std::string out = "\"";
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    switch (c) {
      case '"': out += "\\\""; continue;
      case '\\': out += "\\\\"; continue;
      case '\n': out += "\\n"; continue;
      case '\r': out += "\\r"; continue;
      case '\t': out += "\\t"; continue;
      default: break;
    }
    if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
      continue;
    }
    std::uint32_t code = c;  // a control character, DEL, or ISO-8859-1
    const std::size_t length = c >= 0x80 ? utf8_sequence(bytes, i, code) : 0;
    if (length > 0) i += length - 1;
    append_code_point(out, code);
  }
  return out + "\"";
}

std::string json_number(REAL value) {
  if (!std::isfinite(value)) return "null";
  char buffer[48];
  for (int digits = 17; digits <= 21; ++digits) {
    std::snprintf(buffer, sizeof buffer, "%.*Le", digits - 1, value);
    if (std::strtold(buffer, nullptr) == value) break;
  }
  return buffer;
}

void JsonWriter::new_line() {
  out_ += '\n';
  out_.append(2 * levels_.size(), ' ');
}

void JsonWriter::before_value() {
  if (after_key_) {
    after_key_ = false;
    return;
  }
  if (levels_.empty()) return;
  Level& level = levels_.back();
  if (!level.empty) out_ += level.inline_ ? ", " : ",";
  if (!level.inline_) new_line();
  level.empty = false;
}

void JsonWriter::key(std::string_view name) {
  before_value();
  out_ += json_string(name);
  out_ += ": ";
  after_key_ = true;
}

void JsonWriter::open(char bracket, bool inline_) {
  before_value();
  out_ += bracket;
  // Inside an inline level everything stays on the line.
  levels_.push_back({inline_ || (!levels_.empty() && levels_.back().inline_)});
}

void JsonWriter::close(char bracket) {
  // A close without its open would read below the stack; it writes nothing,
  // so that the text stays what the opens made of it.
  if (levels_.empty()) return;
  const Level level = levels_.back();
  levels_.pop_back();
  if (!level.empty && !level.inline_) new_line();
  out_ += bracket;
}

void JsonWriter::string(std::string_view bytes) {
  before_value();
  out_ += json_string(bytes);
}

void JsonWriter::number(REAL value) {
  before_value();
  out_ += json_number(value);
}

void JsonWriter::integer(std::int64_t value) {
  before_value();
  out_ += std::to_string(value);
}

void JsonWriter::boolean(bool value) {
  before_value();
  out_ += value ? "true" : "false";
}

void JsonWriter::null() {
  before_value();
  out_ += "null";
}

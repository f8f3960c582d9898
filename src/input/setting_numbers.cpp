#include "input/setting_numbers.h"

#include <limits>

#include "input/text_reader.h"

namespace {

std::string_view skip_blanks_and_tabs(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  return text.substr(i);
}

}  // namespace

std::size_t first_control_or_blank(std::string_view text, bool comma_too) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c <= 32 || (comma_too && c == ',')) return i;
  }
  return text.size();
}

std::optional<std::int64_t> read_whole_number(std::string_view text) {
  text = skip_blanks_and_tabs(text);
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i == text.size()) return std::nullopt;
  std::int64_t value = 0;
  constexpr std::int64_t kLimit = std::int64_t{1} << 40;  // far beyond every setting's range
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
    if (value < kLimit) value = value * 10 + (text[i] - '0');
  }
  return negative ? -value : value;
}

std::optional<std::int16_t> read_whole_number16(std::string_view text) {
  const auto v = read_whole_number(text);
  if (!v || *v < std::numeric_limits<std::int16_t>::min() || *v > std::numeric_limits<std::int16_t>::max())
    return std::nullopt;
  return static_cast<std::int16_t>(*v);
}

std::optional<std::int32_t> read_whole_number32(std::string_view text) {
  const auto v = read_whole_number(text);
  if (!v || *v < std::numeric_limits<std::int32_t>::min() || *v > std::numeric_limits<std::int32_t>::max())
    return std::nullopt;
  return static_cast<std::int32_t>(*v);
}

std::optional<REAL> read_real_number(std::string_view text) {
  text = skip_blanks_and_tabs(text);
  REAL value = 0;
  if (!TextReader::parse_number(text.data(), text.data() + text.size(), value)) return std::nullopt;
  return value;
}

std::string_view first_word(std::string_view text) {
  return text.substr(0, first_control_or_blank(text, false));
}


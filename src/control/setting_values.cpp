#include "control/setting_values.h"

#include "common/run_error.h"
#include "common/run_settings.h"
#include "common/text.h"
#include "input/setting_numbers.h"

namespace {

std::string quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

bool is_list_character(char c) { return c == ',' || c == '.' || c == '[' || (c >= '0' && c <= '9'); }

// The width or the decimals of "width:decimals", or the fallback.
std::int16_t format_part(RunSettings& s, std::string_view part, std::int16_t fallback, std::string_view what,
                         std::string_view where, bool warn) {
  const std::optional<std::int16_t> value = read_whole_number16(part);
  if (!value && warn)
    warn_setting(s, quoted(part) + " in " + std::string(where) + " is not a whole number, so the " +
                        std::string(what) + " stays " + std::to_string(fallback) +
                        "; the format is width:decimals, e.g. 10:4.");
  return value.value_or(fallback);
}

// One part of an error pair, 0 when it is not a number.
REAL error_part(RunSettings& s, std::string_view text, std::string_view part, std::string_view what,
                std::string_view where) {
  const std::optional<REAL> value = read_real_number(part);
  if (!value)
    warn_setting(s, "the " + std::string(what) + " " + quoted(part) + " of the error " + quoted(text) + " in " +
                        std::string(where) + " is not a number and counts as 0.");
  return value.value_or(0);
}

}  // namespace

void warn_setting(RunSettings& s, std::string warning) { s.setting_warnings.push_back(std::move(warning)); }

std::optional<bool> read_switch_value(std::string_view value) {
  if (begins_with(value, '+')) return true;
  if (begins_with(value, '-')) return false;
  const std::string word = ascii_upper(first_word(value));
  for (const char* on : {"YES", "TRUE", "ON", "1"})
    if (word == on) return true;
  for (const char* off : {"NO", "FALSE", "OFF", "0"})
    if (word == off) return false;
  return std::nullopt;
}

void warn_unsigned_switch(RunSettings& s, char key, bool on, std::string_view value) {
  const std::optional<bool> meant = read_switch_value(value);
  if (meant != on || begins_with(value, on ? '+' : '-')) return;
  const std::string line = std::string(1, key) + (on ? " +" : " -");
  warn_setting(s, "the line \"" + std::string(1, key) + " " + std::string(first_word(value)) + "\" of the parameter file " +
                      "changes nothing: the " + std::string(1, key) + " line switches " + (on ? "on" : "off") +
                      " only with a " + (on ? "plus" : "minus") + " sign, as \"" + line + "\".");
}

std::optional<char> separator_of_letter(std::string_view upper_text) {
  const char c = upper_text.empty() ? '\0' : upper_text[0];
  if (c == 'C' || c == ',') return ',';
  if (c == 'S' || c == ';') return ';';
  if (c == 'T') return '\t';
  return std::nullopt;
}

std::string read_list_from(std::string_view original, std::size_t bracket, char letter) {
  std::string list(1, '[');
  std::size_t i = bracket + 1;
  for (; i < original.size() && is_list_character(original[i]); ++i) list.push_back(original[i]);
  if (i >= original.size() || original[i] != ']') return "[]";
  list += "]";
  if (list.size() > String255::capacity)
    throw RunError(kSettingOutOfRange,
                   std::string("the list after \",") + letter + "[\" is " + std::to_string(list.size()) +
                       " characters long; at most 255 fit. Shorten it with ranges such as 5..9.",
                   RunError::Kind::data);
  return list;
}

void read_width_text(RunSettings& s, std::string_view text, std::string_view where, bool warn) {
  const std::size_t colon = text.find(':');
  if (colon == std::string_view::npos) {
    s.KW1 = 7;
    s.KD = 3;
    if (!text.empty() && warn)
      warn_setting(s, quoted(text) + " in " + std::string(where) +
                          " has no colon, so the numbers keep width 7 and 3 decimals; the format is "
                          "width:decimals, e.g. 10:4.");
    return;
  }
  s.KW1 = format_part(s, text.substr(0, colon), 7, "width", where, warn);
  s.KD = format_part(s, text.substr(colon + 1), 3, "count of decimals", where, warn);
}

void read_error_text(RunSettings& s, std::string_view text, std::string_view where) {
  std::size_t sep = text.find('@');
  if (sep == std::string_view::npos) sep = text.find('%');
  if (sep == std::string_view::npos) {
    s.MERPR = 0;
    s.MER = read_real_number(text).value_or(0);
    if (!text.empty() && !read_real_number(text))
      warn_setting(s, "the error " + quoted(text) + " in " + std::string(where) +
                          " is not a number, so no error is given; write an absolute error such as 0.002, a "
                          "relative one in per cent such as @1.5, or both: 0.002@1.5.");
    return;
  }
  const std::string_view before = text.substr(0, sep), after = text.substr(sep + 1);
  if (after.empty() && sep > 0 && read_real_number(before)) {
    // "5%" reads as an absolute 5: the sign stands before the per cents.
    s.MER = read_real_number(before).value_or(0);
    s.MERPR = 0;
    warn_setting(s, "the error " + quoted(text) +
                        (where == "parameter 4" ? std::string() : " in " + std::string(where)) +
                        " is read as an absolute error of " + std::string(before) + " with no relative part; for " +
                        std::string(before) + " per cent write " + quoted(std::string(1, text[sep]) + std::string(before)));
    return;
  }
  s.MER = sep == 0 ? 0 : error_part(s, text, before, "absolute part", where);
  s.MERPR = error_part(s, text, after, "relative part", where);
}

void read_steps_text(RunSettings& s, std::string_view text, std::string_view where) {
  const std::optional<std::int16_t> steps = read_whole_number16(text);
  s.NU = steps.value_or(-1);
  if (!steps && !text.empty())
    warn_setting(s, "the steps " + quoted(text) + " in " + std::string(where) +
                        " are not a whole number (at most 32767), so every step is done.");
}

void read_reference_text(RunSettings& s, std::string_view text, std::string_view where) {
  if (text.empty()) return;
  const char first = ascii_upper(text[0]);
  if (first != 'R' && first != 'C') {
    warn_setting(s, quoted(text) + " in " + std::string(where) +
                        " names no reference row or column, so none is subtracted; write R3 for data row 3 or "
                        "C2 for data column 2.");
    return;
  }
  const std::optional<std::int32_t> number = read_whole_number32(text.substr(1));
  (first == 'R' ? s.OSR : s.OSC) = number.value_or(0);
  if (!number)
    warn_setting(s, quoted(text) + " in " + std::string(where) + " names no " + (first == 'R' ? "row" : "column") +
                        " by its number, so none is subtracted; write " + (first == 'R' ? "R3." : "C2."));
}

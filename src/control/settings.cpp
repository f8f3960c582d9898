#include "control/settings.h"

#include <algorithm>

#include "common/run_error.h"
#include "common/run_state.h"
#include "common/text.h"
#include "report/setting_numbers.h"
#include "report/text_reader.h"

namespace {

bool contains(std::string_view text, std::string_view what) {
  return text.find(what) != std::string_view::npos;
}

// The text after a keyword of parameter 1, or nothing when it is absent.
std::optional<std::size_t> after_keyword(std::string_view upper, std::string_view keyword) {
  const std::size_t at = upper.find(keyword);
  if (at == std::string_view::npos) return std::nullopt;
  return at + keyword.size();
}

bool is_list_character(char c) { return c == ',' || c == '.' || c == '[' || (c >= '0' && c <= '9'); }

// ",C[" and ",R[" lists: the bracketed run of list characters, or "[]" when
// no closing bracket ends it.
std::string read_list_keyword(std::string_view upper, std::string_view original,
                              std::string_view keyword) {
  const std::size_t at = upper.find(keyword);
  std::size_t i = at + keyword.size() - 1;  // the keyword's '['
  std::string list(1, '[');
  for (++i; i < original.size() && is_list_character(original[i]); ++i) list.push_back(original[i]);
  if (i < original.size() && original[i] == ']') {
    list += "]";
    // Cut to 255 characters the list would lose its closing bracket and
    // silently name nothing: the rows or columns would be analysed after all.
    if (list.size() > String255::capacity)
      throw RunError(kSettingOutOfRange,
                     "the list after \"" + std::string(keyword) + "\" is " + std::to_string(list.size()) +
                         " characters long; at most 255 fit. Shorten it with ranges such as 5..9.",
                     RunError::Kind::data);
    return list;
  }
  return "[]";
}

// ",SEP" and the S key: C or ',' a comma, S or ';' a semicolon, T a tab.
// Anything else is kept as a refusal for refuse_conflicting_settings, so
// that reading the settings itself never stops.
char separator_named(RunState& s, std::string_view upper_text, std::string_view where) {
  const char c = upper_text.empty() ? '\0' : upper_text[0];
  if (c == 'C' || c == ',') return ',';
  if (c == 'S' || c == ';') return ';';
  if (c == 'T') return '\t';
  if (s.setting_refusal.empty())
    s.setting_refusal = std::string(where) +
                        " names the separator of the data file's values by one letter: C for a comma, S for a "
                        "semicolon, T for a tab (\",SEPS\" or the line \"S S\").";
  return s.SEP;
}

void read_data_file_parameter(RunState& s, std::string_view p) {
  s.AFNI = p;
  const std::string upper = ascii_upper(p);
  s.BTOR = contains(upper, ",TOR");
  s.CTOC = contains(upper, ",TOC");
  s.PCRC = contains(upper, ",CRC");
  s.QHS = !contains(upper, ",NS");
  // ",R[" needs its bracket, so ",RANK" never starts a row list, nor the reverse.
  s.VERDICT = contains(upper, ",RANK");
  s.YPLOT = contains(upper, ",PLOT");
  if (auto start = after_keyword(upper, ",SEP"))
    s.SEP = separator_named(s, std::string_view(upper).substr(*start), "\",SEP\"");
  s.UCOMMA = contains(upper, ",DEC");
  s.XJSON = contains(upper, ",JSON");
  if (auto start = after_keyword(upper, ",TG")) {
    std::size_t end = *start;
    while (end < upper.size() && std::string_view("+-.0123456789E").find(upper[end]) !=
                                     std::string_view::npos)
      ++end;
    s.RGAUSS = read_real_number(std::string_view(upper).substr(*start, end - *start)).value_or(-1.0L);
  }
  if (contains(upper, ",C[")) s.DCS = read_list_keyword(upper, p, ",C[");
  if (contains(upper, ",R[")) s.ERS = read_list_keyword(upper, p, ",R[");
  if (auto start = after_keyword(upper, ",TW")) {
    std::size_t end = *start;
    while (end < upper.size() && upper[end] >= '0' && upper[end] <= '9') ++end;
    s.FTW = read_whole_number32(std::string_view(upper).substr(*start, end - *start)).value_or(0);
  }
}

void read_report_parameter(RunState& s, std::string_view p) {
  std::string name(p);
  const std::size_t star = name.find('*');
  if (star != std::string::npos) {
    s.HDR = false;
    name.erase(star, 1);
  }
  s.GFNO = name;
}

void read_format_parameter(RunState& s, std::string_view p) {
  std::string text = ascii_upper(p);
  const std::size_t letter_s = text.find('S');
  if (letter_s != std::string::npos) {
    s.LSD = true;
    text.erase(letter_s, 1);
  }
  if (!text.empty()) {
    const char first = text[0];
    if (first == 'B' || first == 'E' || first == 'T') {
      if (first == 'B' || first == 'T') s.ITRN = true;
      if (first == 'B' || first == 'E') s.JEV = true;
      text.erase(0, 1);
    }
  }
  read_width_and_decimals(text, s.KW1, s.KD);
}

// Parameter 6 and the O key: R or C followed by a whole number.
void read_reference(RunState& s, std::string_view p) {
  if (p.empty()) return;
  const char first = ascii_upper(p[0]);
  if (first == 'R') s.OSR = read_whole_number32(p.substr(1)).value_or(0);
  if (first == 'C') s.OSC = read_whole_number32(p.substr(1)).value_or(0);
}

void apply_parameter_line(RunState& s, char key, std::string_view value) {
  switch (key) {
    case 'A': s.AFNI = value.substr(0, 79); break;
    case 'B': if (begins_with(value, '+')) s.BTOR = true; break;
    case 'C': if (begins_with(value, '+')) s.CTOC = true; break;
    case 'D':
    case 'E': {
      const std::size_t close = value.find(']');
      if (begins_with(value, '[') && close != std::string_view::npos)
        (key == 'D' ? s.DCS : s.ERS) = value.substr(0, close + 1);
      break;
    }
    case 'F': s.FTW = read_whole_number32(first_word(value)).value_or(0); break;
    case 'G': s.GFNO = value.substr(0, 79); break;
    case 'H': if (begins_with(value, '-')) s.HDR = false; break;
    case 'I': if (begins_with(value, '+')) s.ITRN = true; break;
    case 'J': if (begins_with(value, '+')) s.JEV = true; break;
    case 'K': read_width_and_decimals(first_word(value), s.KW1, s.KD); break;
    case 'L': if (begins_with(value, '+')) s.LSD = true; break;
    case 'M': read_error_pair(first_word(value), s.MER, s.MERPR); break;
    case 'N': s.NU = read_whole_number16(first_word(value)).value_or(-1); break;
    case 'O': read_reference(s, first_word(value)); break;
    case 'P': if (begins_with(value, '+')) s.PCRC = true; break;
    case 'Q': if (begins_with(value, '-')) s.QHS = false; break;
    case 'R': s.RGAUSS = read_real_number(value).value_or(-1.0L); break;
    case 'V': if (begins_with(value, '+')) s.VERDICT = true; break;
    case 'Y': if (begins_with(value, '+')) s.YPLOT = true; break;
    case 'S': s.SEP = separator_named(s, ascii_upper(value), "The S line"); break;
    case 'U': if (begins_with(value, '+')) s.UCOMMA = true; break;
    case 'X': if (begins_with(value, '+')) s.XJSON = true; break;
    default: break;  // any other key makes the line a comment
  }
}

}  // namespace

void read_error_pair(std::string_view text, REAL& MER, REAL& MERPR) {
  std::size_t sep = text.find('@');
  if (sep == std::string_view::npos) sep = text.find('%');
  if (sep == std::string_view::npos) {
    MERPR = 0;
    MER = read_real_number(text).value_or(0);
  } else if (sep == 0) {
    MER = 0;
    MERPR = read_real_number(text.substr(1)).value_or(0);
  } else {
    MER = read_real_number(text.substr(0, sep)).value_or(0);
    MERPR = read_real_number(text.substr(sep + 1)).value_or(0);
  }
}

void read_width_and_decimals(std::string_view text, std::int16_t& KW1, std::int16_t& KD) {
  const std::size_t colon = text.find(':');
  if (colon == std::string_view::npos) {
    KW1 = 7;
    KD = 3;
    return;
  }
  KW1 = read_whole_number16(text.substr(0, colon)).value_or(7);
  KD = read_whole_number16(text.substr(colon + 1)).value_or(3);
}

void set_default_settings(RunState& s) {
  s.AFNI = "";
  s.GFNO = "";
  s.DCS = "[]";
  s.ERS = "[]";
  s.BTOR = s.CTOC = s.ITRN = s.JEV = s.LSD = s.PCRC = s.VERDICT = s.YPLOT = s.UCOMMA = s.XJSON = false;
  s.SEP = 0;
  s.setting_refusal.clear();
  s.HDR = s.QHS = true;
  s.KW1 = 7;
  s.KD = 3;
  s.NU = -1;
  s.FTW = s.OSR = s.OSC = 0;
  s.MER = s.MERPR = 0;
  s.RGAUSS = -1.0L;
}

void read_command_line(RunState& s, const std::vector<std::string>& params) {
  auto param = [&](std::size_t i) -> std::string_view {
    return i < params.size() ? std::string_view(params[i]) : std::string_view();
  };
  read_data_file_parameter(s, param(1));
  read_report_parameter(s, param(2));
  read_format_parameter(s, param(3));
  read_error_pair(param(4), s.MER, s.MERPR);
  s.NU = read_whole_number16(param(5)).value_or(-1);
  read_reference(s, param(6));
}

void read_parameter_file(RunState& s, TextReader& file) {
  constexpr std::size_t kMaxLine = 255;
  while (file.skip_blanks_and_line_ends()) {
    const std::string line = file.read_line_text(kMaxLine);
    const char key = ascii_upper(line[0]);
    std::string_view value = std::string_view(line).substr(std::min<std::size_t>(2, line.size()));
    while (!value.empty() && static_cast<unsigned char>(value[0]) <= 32) value.remove_prefix(1);
    apply_parameter_line(s, key, value);
  }
}

void finish_settings(RunState& s) {
  s.AFNI = s.AFNI.view().substr(0, first_control_or_blank(s.AFNI.view(), true));
  s.GFNO = s.GFNO.view().substr(0, first_control_or_blank(s.GFNO.view(), false));
  s.MERPR = s.MERPR / 100;
  if (s.FTW < 0) s.FTW = 0;
}

void refuse_conflicting_settings(const RunState& s) {
  std::string why = s.setting_refusal;
  if (why.empty() && s.UCOMMA && s.SEP == ',')
    why = "a decimal comma (,DEC) cannot be read where commas separate the values (,SEPC); "
          "with decimal commas separate the values by semicolons (,SEPS), tabs (,SEPT) or blanks.";
  if (why.empty() && s.XJSON && s.GFNO.empty())
    why = "the results for scripts (,JSON) go to a file named after the report file, so the "
          "second parameter must name one.";
  if (!why.empty()) throw RunError(kSettingOutOfRange, why, RunError::Kind::data);
}

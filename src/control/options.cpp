#include "control/options.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "common/run_error.h"
#include "common/run_settings.h"
#include "common/text.h"
#include "control/setting_values.h"
#include "input/setting_numbers.h"

namespace {

// ---- Keywords of parameter 1.

// A switch that the keyword sets to `value` (",TOR" on, ",NS" off).
template <bool RunSettings::*setting, bool value>
void keyword_switch(RunSettings& s, const KeywordAt&) {
  s.*setting = value;
}

std::size_t nothing_after(std::string_view, std::size_t after) { return after; }

std::size_t name_end(std::string_view upper, std::size_t after) {
  const std::size_t comma = upper.find(',', after);
  return comma == std::string_view::npos ? upper.size() : comma;
}

bool is_class_width_character(char c) { return std::string_view("+-.0123456789E").find(c) != std::string_view::npos; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_list_character(char c) { return c == ',' || c == '.' || c == '[' || is_digit(c); }

template <bool (*belongs)(char)>
std::size_t run_end(std::string_view upper, std::size_t after) {
  while (after < upper.size() && belongs(upper[after])) ++after;
  return after;
}

// ",TG": the run of sign, point, digit and exponent characters after it.
void keyword_class_width(RunSettings& s, const KeywordAt& at) {
  const std::size_t end = run_end<is_class_width_character>(at.upper, at.after);
  const std::string_view run = at.upper.substr(at.after, end - at.after);
  s.RGAUSS = read_real_number(run).value_or(-1.0L);
  if (!read_real_number(run))
    warn_setting(s, "\",TG" + std::string(run) + "\" in parameter 1 gives no class width, so no histogram is " +
                        "written; write the width after it, e.g. \",TG0.01\".");
}

// ",TW": the run of digits after it.
void keyword_table_steps(RunSettings& s, const KeywordAt& at) {
  const std::size_t end = run_end<is_digit>(at.upper, at.after);
  const std::string_view run = at.upper.substr(at.after, end - at.after);
  s.FTW = read_whole_number32(run).value_or(0);
  if (!read_whole_number32(run))
    warn_setting(s, "\",TW\" in parameter 1 is not followed by a count of steps, so no contribution tables are "
                    "made; write it as \",TW3\" (tables after 2 steps).");
}

// ",EFA": the moving window's rows in the digits after it, if any.
void keyword_evolving(RunSettings& s, const KeywordAt& at) {
  const std::size_t end = run_end<is_digit>(at.upper, at.after);
  const std::string_view run = at.upper.substr(at.after, end - at.after);
  s.EFA = 0;
  if (run.empty()) return;
  const std::optional<std::int32_t> rows = read_whole_number32(run);
  if (rows && *rows >= 1) {
    s.EFA = *rows;
  } else {
    warn_setting(s, "\",EFA" + std::string(run) + "\" in parameter 1 gives no window of at least one row, so the "
                    "default window is taken; write it as \",EFA9\" (windows of 9 rows).");
  }
}

// ",ERR=": the error file's name, up to the next comma (a blank or control
// character ends it when the settings are finished, as the data file's).
void keyword_error_file(RunSettings& s, const KeywordAt& at) {
  const std::size_t end = name_end(at.upper, at.after);
  s.ERRF = at.original.substr(at.after, end - at.after);
  if (end == at.after)
    warn_setting(s, "\",ERR=\" in parameter 1 names no error file, so the errors are those of parameter 4; write "
                    "the file's name after it, e.g. \",ERR=errors.txt\".");
}

// ",C[" and ",R[": the list from the keyword's "[" on, taken only when a "]"
// closes its run of list characters.
template <String255 RunSettings::*list, char letter>
void keyword_list(RunSettings& s, const KeywordAt& at) {
  const std::string list_text = read_list_from(at.original, at.after - 1, letter);
  s.*list = list_text;
  if (list_text == "[]" && !(at.after < at.original.size() && at.original[at.after] == ']'))
    warn_setting(s, std::string("the list after \",") + letter + "[\" in parameter 1 holds a character other than "
                    "digits, commas and full stops, or no closing \"]\", so it leaves out nothing; write ranges as "
                    "5..8.");
}

std::size_t list_end(std::string_view upper, std::size_t after) {
  const std::size_t end = run_end<is_list_character>(upper, after);
  return end < upper.size() && upper[end] == ']' ? end + 1 : end;
}

// ",SEP": the letter after it names the separator.
void keyword_separator(RunSettings& s, const KeywordAt& at) {
  const std::optional<char> named = separator_of_letter(at.rest());
  if (named) {
    s.SEP = *named;
  } else if (s.setting_refusal.empty()) {
    s.setting_refusal = "\",SEP\" names the separator of the data file's values by one letter: C for a comma, S "
                        "for a semicolon, T for a tab (\",SEPS\" or the line \"S S\").";
  }
}

std::size_t separator_end(std::string_view upper, std::size_t after) {
  return after < upper.size() && upper[after] != ',' ? after + 1 : after;
}

// ---- Values of parameter-file lines.

// The switches of the classic keys turn one way only, by their sign.
template <bool RunSettings::*setting, char key>
void line_plus_on(RunSettings& s, std::string_view value) {
  if (begins_with(value, '+')) s.*setting = true;
  warn_unsigned_switch(s, key, true, value);
}

template <bool RunSettings::*setting, char key>
void line_minus_off(RunSettings& s, std::string_view value) {
  if (begins_with(value, '-')) s.*setting = false;
  warn_unsigned_switch(s, key, false, value);
}

// The switches of our own keys take what users write (+, yes, 1, true; -,
// no, 0, false); any other value leaves the line a comment.
template <bool RunSettings::*setting>
void line_switch(RunSettings& s, std::string_view value) {
  if (const std::optional<bool> on = read_switch_value(value)) s.*setting = *on;
}

// A and G: the first 79 characters.
template <String255 RunSettings::*name>
void line_name(RunSettings& s, std::string_view value) {
  s.*name = value.substr(0, 79);
}

// D and E: from the "[" at the start up to the first "]".
template <String255 RunSettings::*list>
void line_list(RunSettings& s, std::string_view value) {
  const std::size_t close = value.find(']');
  if (begins_with(value, '[') && close != std::string_view::npos) s.*list = value.substr(0, close + 1);
}

void line_table_steps(RunSettings& s, std::string_view value) {
  s.FTW = read_whole_number32(first_word(value)).value_or(0);
}
void line_format(RunSettings& s, std::string_view value) {
  read_width_text(s, first_word(value), "the K line");
}
void line_error(RunSettings& s, std::string_view value) { read_error_text(s, first_word(value), "the M line"); }
void line_steps(RunSettings& s, std::string_view value) { read_steps_text(s, first_word(value), "the N line"); }
void line_reference(RunSettings& s, std::string_view value) {
  read_reference_text(s, first_word(value), "the O line");
}
// W: a switch (+, yes, ...), or the moving window's rows, which switch it on.
void line_evolving(RunSettings& s, std::string_view value) {
  if (const std::optional<bool> on = read_switch_value(value)) {
    s.EFA = *on ? 0 : -1;
  } else if (const std::optional<std::int32_t> rows = read_whole_number32(first_word(value)); rows && *rows >= 1) {
    s.EFA = *rows;
  }
}
void line_class_width(RunSettings& s, std::string_view value) {
  s.RGAUSS = read_real_number(value).value_or(-1.0L);
}
// S: a separator letter; any other value leaves the line a comment
// ("Sample set 3").
void line_separator(RunSettings& s, std::string_view value) {
  if (const std::optional<char> named = separator_of_letter(ascii_upper(value))) s.SEP = *named;
}

// ---- The table.

constexpr std::array kOptions = {
    Option{",TOR", 'B', "", "", "every data row begins with a row title", keyword_switch<&RunSettings::BTOR, true>,
           line_plus_on<&RunSettings::BTOR, 'B'>, nothing_after},
    Option{",TOC", 'C', "", "", "the first line holds the column titles", keyword_switch<&RunSettings::CTOC, true>,
           line_plus_on<&RunSettings::CTOC, 'C'>, nothing_after},
    Option{",C[", 'D', ",C[list]", "", "leave out these columns, e.g. ,C[1,5..8]", keyword_list<&RunSettings::DCS, 'C'>,
           line_list<&RunSettings::DCS>, list_end},
    Option{",R[", 'E', ",R[list]", "", "leave out these rows, e.g. ,R[2]", keyword_list<&RunSettings::ERS, 'R'>,
           line_list<&RunSettings::ERS>, list_end},
    Option{",TG", 'R', ",TGwidth", "", "histogram file Qorgauss.bin with this class width", keyword_class_width,
           line_class_width, run_end<is_class_width_character>},
    Option{",TW", 'F', ",TWk", "", "contribution tables after k-1 elimination steps", keyword_table_steps,
           line_table_steps, run_end<is_digit>},
    Option{",CRC", 'P', "", "", "tables of the columns instead of the rows", keyword_switch<&RunSettings::PCRC, true>,
           line_plus_on<&RunSettings::PCRC, 'P'>, nothing_after},
    Option{",NS", 'Q', "", "", "tables in matrix order, not sorted by size", keyword_switch<&RunSettings::QHS, false>,
           line_minus_off<&RunSettings::QHS, 'Q'>, nothing_after},
    Option{",RANK", 'V', "", "V +",
           "a rank verdict with its confidence at the end of the report\nand the screen",
           keyword_switch<&RunSettings::VERDICT, true>, line_switch<&RunSettings::VERDICT>, nothing_after},
    Option{",PLOT", 'Y', "", "Y +",
           "an SVG picture of the pivots or eigenvalues, the verdict and\nthe histogram, beside the report",
           keyword_switch<&RunSettings::YPLOT, true>, line_switch<&RunSettings::YPLOT>, nothing_after},
    Option{",EFA", 'W', ",EFA ,EFAw", "W +, W w",
           "evolving factor analysis of the rows at the end of the\nreport: components by window and where each appears and\n"
           "disappears; w: rows of the moving window",
           keyword_evolving, line_evolving, run_end<is_digit>},
    Option{",SEP", 'S', ",SEPC ,SEPS ,SEPT", "S C, S S, S T",
           "values separated by commas, semicolons or tabs, with\nblanks beside them allowed; quoted fields, a byte-order\n"
           "mark and text titles (S01) are read as spreadsheets write\nthem",
           keyword_separator,
           line_separator, separator_end},
    Option{",ERR=", 'Z', ",ERR=file", "Z file",
           "each element's absolute error (its standard deviation) from\nthis file, a matrix of the data file's shape read by the\n"
           "same rules and selections; parameter 4 may still give a\nrelative error",
           keyword_error_file, line_name<&RunSettings::ERRF>, name_end},
    Option{",DEC", 'U', "", "U +", "decimal commas instead of points", keyword_switch<&RunSettings::UCOMMA, true>,
           line_switch<&RunSettings::UCOMMA>, nothing_after},
    Option{",JSON", 'X', "", "X +", "the results as JSON beside the report, OUT.TXT -> OUT.json",
           keyword_switch<&RunSettings::XJSON, true>, line_switch<&RunSettings::XJSON>, nothing_after},
    // Parameter-file keys of the positions 2 to 6 and of the data file's name.
    Option{"", 'A', "", "", "the data file's name", nullptr, line_name<&RunSettings::AFNI>, nullptr},
    Option{"", 'G', "", "", "the report file's name", nullptr, line_name<&RunSettings::GFNO>, nullptr},
    Option{"", 'H', "", "", "- : no detailed listings", nullptr, line_minus_off<&RunSettings::HDR, 'H'>, nullptr},
    Option{"", 'I', "", "", "+ : the product matrix", nullptr, line_plus_on<&RunSettings::ITRN, 'I'>, nullptr},
    Option{"", 'J', "", "", "+ : eigenvalue analysis", nullptr, line_plus_on<&RunSettings::JEV, 'J'>, nullptr},
    Option{"", 'K', "", "", "width:decimals", nullptr, line_format, nullptr},
    Option{"", 'L', "", "", "+ : remainder statistics", nullptr, line_plus_on<&RunSettings::LSD, 'L'>, nullptr},
    Option{"", 'M', "", "", "the error: abs, @rel, abs@rel", nullptr, line_error, nullptr},
    Option{"", 'N', "", "", "the number of steps or eigenvalues", nullptr, line_steps, nullptr},
    Option{"", 'O', "", "", "Rn or Cn: the reference row or column", nullptr, line_reference, nullptr},
};

// Keywords by length, longest first, so that one that begins another is
// tried after it (none does today; the order keeps that safe).
std::vector<const Option*> keywords_longest_first() {
  std::vector<const Option*> k;
  for (const Option& o : kOptions)
    if (!o.keyword.empty()) k.push_back(&o);
  std::stable_sort(k.begin(), k.end(),
                   [](const Option* a, const Option* b) { return a->keyword.size() > b->keyword.size(); });
  return k;
}

// The optimal string alignment distance: insertions, deletions, changes and
// swaps of two neighbours, each counting one.
std::size_t edit_distance(std::string_view a, std::string_view b) {
  std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
  for (std::size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
  for (std::size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i)
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t change = a[i - 1] == b[j - 1] ? 0 : 1;
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + change});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
    }
  return d[a.size()][b.size()];
}

constexpr std::size_t kHelpIndent = 16;

}  // namespace

std::span<const Option> options() { return kOptions; }

const Option* option_of_key(char key) {
  for (const Option& o : kOptions)
    if (o.key == key) return &o;
  return nullptr;
}

std::vector<std::string> unknown_keywords(std::string_view upper) {
  static const std::vector<const Option*> keywords = keywords_longest_first();
  std::vector<std::string> unknown;
  std::size_t at = upper.find(',');
  while (at != std::string_view::npos) {
    std::size_t next = std::string_view::npos;
    for (const Option* o : keywords)
      if (upper.substr(at, o->keyword.size()) == o->keyword) {
        next = o->value_end(upper, at + o->keyword.size());
        break;
      }
    if (next == std::string_view::npos) {
      next = upper.find(',', at + 1);
      const std::size_t end = next == std::string_view::npos ? upper.size() : next;
      if (end > at + 1) unknown.emplace_back(upper.substr(at + 1, end - at - 1));
    }
    at = next >= upper.size() ? std::string_view::npos : upper.find(',', next);
  }
  return unknown;
}

std::string nearest_keyword(std::string_view word) {
  std::string best;
  std::size_t best_distance = word.size() > 4 ? 3 : 2;
  for (const Option& o : kOptions) {
    if (o.keyword.empty()) continue;
    const std::string_view name = o.keyword.substr(1);
    const std::size_t d = edit_distance(word, name);
    if (d < best_distance) {
      best_distance = d;
      best = std::string(o.keyword);
    }
  }
  return best;
}

std::string keyword_usage_lines() {
  std::string lines;
  for (const Option& o : kOptions) {
    if (o.keyword.empty()) continue;
    std::string line = "   " + std::string(o.usage.empty() ? o.keyword : o.usage);
    line += std::string(line.size() < kHelpIndent - 1 ? kHelpIndent - line.size() : 2, ' ');
    std::string help(o.help);
    if (!is_classic_key(o.key)) {
      const std::string key = "(parameter file: " + std::string(o.key_usage) + ")";
      const std::size_t last_line = help.rfind('\n') == std::string::npos ? 0 : help.rfind('\n') + 1;
      const bool fits = kHelpIndent + help.size() - last_line + 1 + key.size() <= 79;
      help += (fits ? " " : "\n") + key;
    }
    for (std::size_t from = 0;;) {
      const std::size_t end = help.find('\n', from);
      line += help.substr(from, end - from) + "\n";
      if (end == std::string::npos) break;
      line += std::string(kHelpIndent, ' ');
      from = end + 1;
    }
    lines += line;
  }
  return lines;
}

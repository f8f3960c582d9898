#include "control/settings.h"

#include <algorithm>

#include "common/run_error.h"
#include "common/run_settings.h"
#include "common/text.h"
#include "control/options.h"
#include "control/setting_values.h"
#include "input/setting_numbers.h"
#include "input/text_reader.h"

namespace {

// Parameter 1: the data file's name and the keywords after it; each
// keyword's first occurrence counts, wherever it stands.
void read_data_file_parameter(RunSettings& s, std::string_view p) {
  s.AFNI = p;
  const std::string upper = ascii_upper(p);
  for (const Option& o : options()) {
    if (o.keyword.empty()) continue;
    const std::size_t at = upper.find(o.keyword);
    if (at != std::string::npos) o.from_keyword(s, KeywordAt{p, upper, at + o.keyword.size()});
  }
  for (const std::string& word : unknown_keywords(upper)) {
    const std::string near = nearest_keyword(word);
    warn_setting(s, "\"," + word + "\" in parameter 1 is not a keyword and was ignored" +
                        (near.empty() ? std::string(" (qor --help lists the keywords)")
                                      : " (did you mean \"" + near + "\"?)"));
  }
}

void read_report_parameter(RunSettings& s, std::string_view p) {
  std::string name(p);
  const std::size_t star = name.find('*');
  if (star != std::string::npos) {
    s.HDR = false;
    name.erase(star, 1);
  }
  s.GFNO = name;
}

void read_format_parameter(RunSettings& s, std::string_view p) {
  std::string text = ascii_upper(p);
  const std::string given(p);
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
  // "BE": only the first letter names the method; the next one is read as
  // the width, which it is not.
  const bool second_letter = !text.empty() && (text[0] == 'B' || text[0] == 'E' || text[0] == 'T');
  read_width_text(s, text, "parameter 3", !second_letter);
  if (second_letter)
    warn_setting(s, "\"" + given + "\" in parameter 3: only its first letter names the method (B, E or T), so \"" +
                        text.substr(0, 1) + "\" is not read as one; the numbers are " + std::to_string(s.KW1) +
                        " wide with " + std::to_string(s.KD) + " decimals.");
}

}  // namespace

// The defaults have one place: the members' initialisers of RunSettings.
void set_default_settings(RunSettings& s) { s = RunSettings{}; }

void read_command_line(RunSettings& s, const std::vector<std::string>& params) {
  auto param = [&](std::size_t i) -> std::string_view {
    return i < params.size() ? std::string_view(params[i]) : std::string_view();
  };
  read_data_file_parameter(s, param(1));
  read_report_parameter(s, param(2));
  read_format_parameter(s, param(3));
  read_error_text(s, param(4), "parameter 4");
  read_steps_text(s, param(5), "parameter 5");
  read_reference_text(s, param(6), "parameter 6");
  for (std::size_t i = 7; i < params.size(); ++i)
    warn_setting(s, "parameter " + std::to_string(i) + " (\"" + params[i] +
                        "\") is ignored: a run reads at most six parameters.");
}

void read_parameter_file(RunSettings& s, TextReader& file) {
  constexpr std::size_t kMaxLine = 255;
  while (file.skip_blanks_and_line_ends()) {
    const std::string line = file.read_line_text(kMaxLine);
    const char key = ascii_upper(line[0]);
    std::string_view value = std::string_view(line).substr(std::min<std::size_t>(2, line.size()));
    while (!value.empty() && static_cast<unsigned char>(value[0]) <= 32) value.remove_prefix(1);
    // Any other key makes the line a comment.
    if (const Option* o = option_of_key(key)) o->from_line(s, value);
  }
}

void finish_settings(RunSettings& s) {
  s.AFNI = s.AFNI.view().substr(0, first_control_or_blank(s.AFNI.view(), true));
  s.GFNO = s.GFNO.view().substr(0, first_control_or_blank(s.GFNO.view(), false));
  s.ERRF = s.ERRF.view().substr(0, first_control_or_blank(s.ERRF.view(), true));
  s.MERPR = s.MERPR / 100;
  if (s.FTW < 0) s.FTW = 0;
}


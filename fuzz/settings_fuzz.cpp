// Command-line settings: the input is split on NUL bytes into the parameters
// 1 to 6 (a real command line cannot hold a NUL). Beyond not crashing, the
// settings that follow from the parameters by plain rules are checked.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/run_error.h"
#include "common/program_run.h"
#include "common/console.h"
#include "input/selection.h"
#include "control/settings.h"
#include "fuzz_support.h"

namespace {

using fuzz_support::low_code;
using fuzz_support::quiet_console;
using fuzz_support::require;
using fuzz_support::whole;

std::string upper(std::string_view text) {
  std::string u(text);
  for (char& c : u)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return u;
}

// ",C[" / ",R[": the bracketed run of list characters, or "[]".
std::string expected_list(const std::string& up, std::string_view keyword) {
  const std::size_t at = up.find(keyword);
  if (at == std::string::npos) return "[]";
  std::size_t i = at + keyword.size() - 1;  // the '['
  std::string list;
  while (i < up.size()) {
    const char c = up[i];
    if (c == ',' || c == '.' || c == '[' || (c >= '0' && c <= '9')) {
      list += c;
      ++i;
    } else {
      break;
    }
  }
  if (i < up.size() && up[i] == ']') return list + "]";
  return "[]";
}

// Known and reported: a ",C[" or ",R[" list of more than 255 characters is
// cut to the 255 characters of DCS/ERS and loses its closing bracket, so it
// silently names nothing. Such parameters are passed over until that is settled.
bool overlong_list(const std::vector<std::string>& params) {
  if (params.size() < 2) return false;
  const std::string up = upper(params[1]);
  return expected_list(up, ",C[").size() > 255 || expected_list(up, ",R[").size() > 255;
}

void check_finished(const ProgramRun& s) {
  for (char c : s.settings.AFNI.view()) require(!low_code(c) && c != ',', "AFNI holds a blank, control character or comma");
  for (char c : s.settings.GFNO.view()) require(!low_code(c), "GFNO holds a blank or control character");
  for (const auto* list : {&s.settings.DCS, &s.settings.ERS}) {
    const std::string_view l = list->view();
    require(l.size() >= 2 && l.front() == '[' && l.back() == ']', "selection list not bracketed");
  }
}

void check_command_line(const ProgramRun& s, const std::vector<std::string>& p) {
  auto param = [&](std::size_t i) -> std::string { return i < p.size() ? p[i] : std::string(); };
  for (const auto& text : p)
    if (text.size() > 250) return;  // the rules below ignore the 255-character capacity
  const std::string p1 = param(1);
  const std::string up1 = upper(p1);
  std::string afni = p1;
  for (std::size_t i = 0; i < afni.size(); ++i)
    if (low_code(afni[i]) || afni[i] == ',') {
      afni.resize(i);
      break;
    }
  require(s.settings.AFNI.view() == afni, "AFNI is not parameter 1 up to its first comma or blank");
  require(s.settings.BTOR == (up1.find(",TOR") != std::string::npos), "BTOR");
  require(s.settings.CTOC == (up1.find(",TOC") != std::string::npos), "CTOC");
  require(s.settings.PCRC == (up1.find(",CRC") != std::string::npos), "PCRC");
  require(s.settings.QHS == (up1.find(",NS") == std::string::npos), "QHS");
  require(s.settings.VERDICT == (up1.find(",RANK") != std::string::npos), "VERDICT");
  require(s.settings.DCS.view() == expected_list(up1, ",C["), "DCS");
  require(s.settings.ERS.view() == expected_list(up1, ",R["), "ERS");
  const std::size_t tw = up1.find(",TW");
  std::int64_t ftw = 0;
  if (tw != std::string::npos) {
    std::size_t i = tw + 3;
    std::string digits;
    while (i < up1.size() && up1[i] >= '0' && up1[i] <= '9') digits += up1[i++];
    ftw = whole(digits, INT32_MIN, INT32_MAX).value_or(0);
  }
  require(s.settings.FTW == ftw, "FTW");

  std::string gfno = param(2);
  const std::size_t star = gfno.find('*');
  require(s.settings.HDR == (star == std::string::npos), "HDR");
  if (star != std::string::npos) gfno.erase(star, 1);
  for (std::size_t i = 0; i < gfno.size(); ++i)
    if (low_code(gfno[i])) {
      gfno.resize(i);
      break;
    }
  require(s.settings.GFNO.view() == gfno, "GFNO");

  std::string p3 = upper(param(3));
  const std::size_t s_at = p3.find('S');
  require(s.settings.LSD == (s_at != std::string::npos), "LSD");
  if (s_at != std::string::npos) p3.erase(s_at, 1);
  const char lead = p3.empty() ? '\0' : p3[0];
  require(s.settings.ITRN == (lead == 'B' || lead == 'T'), "ITRN");
  require(s.settings.JEV == (lead == 'B' || lead == 'E'), "JEV");
  if (lead == 'B' || lead == 'E' || lead == 'T') p3.erase(0, 1);
  std::int64_t kw1 = 7, kd = 3;
  const std::size_t colon = p3.find(':');
  if (colon != std::string::npos) {
    kw1 = whole(std::string_view(p3).substr(0, colon), INT16_MIN, INT16_MAX).value_or(7);
    kd = whole(std::string_view(p3).substr(colon + 1), INT16_MIN, INT16_MAX).value_or(3);
  }
  require(s.settings.KW1 == kw1, "KW1");
  require(s.settings.KD == kd, "KD");

  require(s.settings.NU == whole(param(5), INT16_MIN, INT16_MAX).value_or(-1), "NU");

  const std::string p6 = param(6);
  std::int64_t osr = 0, osc = 0;
  if (!p6.empty() && (p6[0] == 'R' || p6[0] == 'r')) osr = whole(p6.substr(1), INT32_MIN, INT32_MAX).value_or(0);
  if (!p6.empty() && (p6[0] == 'C' || p6[0] == 'c')) osc = whole(p6.substr(1), INT32_MIN, INT32_MAX).value_or(0);
  require(s.settings.OSR == osr, "OSR");
  require(s.settings.OSC == osc, "OSC");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 2048) return 0;
  std::vector<std::string> params{"qor"};
  std::string piece;
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      params.push_back(piece);
      piece.clear();
      if (params.size() == 7) break;
    } else {
      piece += static_cast<char>(data[i]);
    }
  }
  if (params.size() < 7) params.push_back(piece);

  ProgramRun s(quiet_console());
  set_default_settings(s.settings);
  try {
    read_command_line(s.settings, params);
  } catch (const RunError& e) {
    // A list too long for its 255 characters stops the run instead of naming nothing.
    require(overlong_list(params) && e.number() == kSettingOutOfRange, "unexpected run-time error");
    return 0;
  }
  require(!overlong_list(params), "an overlong selection list was accepted");
  finish_settings(s.settings);
  check_finished(s);
  try {
    refuse_conflicting_settings(s.settings);
  } catch (const RunError& e) {
    require(e.number() == kSettingOutOfRange, "a refused setting with another status than 64");
  }
  check_command_line(s, params);

  // The lists as the loader will ask them.
  for (std::int32_t np : {-1, 0, 1, 2, 3, 7, 100, 32767, 32768, INT32_MAX}) {
    NEEDCALC(s.settings.DCS.view(), np);
    NEEDCALC(s.settings.ERS.view(), np);
  }
  return 0;
}

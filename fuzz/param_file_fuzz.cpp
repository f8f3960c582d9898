// The parameter file: the input is the file's text. Besides not crashing, the
// finished settings must have the forms the rest of the run relies on.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "common/run_error.h"
#include "common/program_run.h"
#include "common/console.h"
#include "input/selection.h"
#include "control/settings.h"
#include "input/text_reader.h"
#include "fuzz_support.h"

namespace {

using fuzz_support::low_code;
using fuzz_support::quiet_console;
using fuzz_support::require;

void check_list(std::string_view l) {
  require(l.size() >= 2 && l.front() == '[' && l.back() == ']', "selection list not bracketed");
  require(l.find(']') == l.size() - 1, "selection list holds a ']' before its end");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 8192) return 0;
  ProgramRun s(quiet_console());
  set_default_settings(s.settings);
  try {
    TextReader file(std::string(reinterpret_cast<const char*>(data), size), "fuzz.par", "parameter file");
    read_parameter_file(s.settings, file);
  } catch (const RunError&) {
    return 0;  // an orderly stop
  }
  finish_settings(s.settings);
  try {
    refuse_conflicting_settings(s.settings);
  } catch (const RunError& e) {
    require(e.number() == kSettingOutOfRange, "a refused setting with another status than 64");
  }

  for (char c : s.settings.AFNI.view()) require(!low_code(c) && c != ',', "AFNI holds a blank, control character or comma");
  for (char c : s.settings.GFNO.view()) require(!low_code(c), "GFNO holds a blank or control character");
  require(s.settings.AFNI.size() <= 79 && s.settings.GFNO.size() <= 79, "file name longer than 79 characters");
  require(s.settings.FTW >= 0, "negative FTW after finishing");
  check_list(s.settings.DCS.view());
  check_list(s.settings.ERS.view());
  for (std::int32_t np : {-1, 0, 1, 2, 3, 7, 100, 32767, 32768, INT32_MAX}) {
    NEEDCALC(s.settings.DCS.view(), np);
    NEEDCALC(s.settings.ERS.view(), np);
  }
  return 0;
}

#include "common/run_settings.h"

#include <string>

#include "common/run_error.h"

void refuse_conflicting_settings(const RunSettings& s) {
  std::string why = s.setting_refusal;
  if (why.empty() && s.UCOMMA && s.SEP == ',')
    why = "a decimal comma (,DEC) cannot be read where commas separate the values (,SEPC); "
          "with decimal commas separate the values by semicolons (,SEPS), tabs (,SEPT) or blanks.";
  if (why.empty() && s.XJSON && s.GFNO.empty())
    why = "the results for scripts (,JSON) go to a file named after the report file, so the "
          "second parameter must name one.";
  if (!why.empty()) throw RunError(kSettingOutOfRange, why, RunError::Kind::data);
}

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
  if (why.empty() && !s.ERRF.empty() && s.MER != 0)
    why = "the error file (,ERR=) gives every element's absolute error, so the error parameter (or the M line) "
          "may give only a relative one, such as \"@2\" for 2 %.";
  if (!why.empty()) throw RunError(kSettingOutOfRange, why, RunError::Kind::data);
}

RunPlan plan_before_loading(const RunSettings& given) {
  RunPlan p;
  p.FTW = given.FTW;
  p.NU = given.NU;
  p.JEV = given.JEV;
  p.LSD = given.LSD;
  p.MER = given.MER;
  p.MERPR = given.MERPR;
  p.ITRN = given.ITRN;
  p.RGAUSS = given.RGAUSS;
  p.remainder_errors = given.YPLOT;
  return p;
}

RunPlan plan_run(const RunSettings& given, std::int32_t N, std::int32_t M, bool element_errors) {
  RunPlan p = plan_before_loading(given);
  p.MIN = N > M ? M : N;
  p.element_errors = element_errors;
  if (p.FTW > p.MIN) p.FTW = 0;
  if (p.FTW != 0) {
    p.LSD = false;
    p.JEV = false;
    p.MER = 0;
    p.MERPR = 0;
    p.element_errors = false;
    p.NU = p.FTW - 1;
  } else if (p.NU < 1 || p.NU > p.MIN) {
    p.NU = p.MIN;
  }
  return p;
}

#include "report/output_names.h"

#include <filesystem>
#include <system_error>

#include "common/bounded_string.h"
#include "common/program_run.h"
#include "common/text.h"

namespace {

// The report's file name as the analysis keeps it: at most 12 characters.
using DATAFILE = BoundedString<12>;

std::size_t file_name_start(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? 0 : slash + 1;
}

std::string comparable(const std::string& path) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(path, error);
  return ascii_upper((error ? std::filesystem::path(path) : absolute).lexically_normal().string());
}

bool name_taken(const ProgramRun& s, const std::string& base, const std::string& name) {
  if (same_name_without_case(name, base)) return true;
  for (const auto& files : {&s.inputs, &s.outputs})
    for (const auto& [role, path] : *files)
      if (same_name_without_case(name, path)) return true;
  return false;
}

std::string in_quotes(std::string_view text) { return "\"" + std::string(text) + "\""; }

bool is_an_input(const ProgramRun& s, const std::string& path) {
  for (const auto& [role, input] : s.inputs) {
    std::error_code error;
    if (std::filesystem::equivalent(path, input, error)) return true;
  }
  return false;
}

}  // namespace

bool same_name_without_case(const std::string& a, const std::string& b) { return comparable(a) == comparable(b); }

std::string report_file_name(std::string_view OUT) {
  const std::size_t name = file_name_start(OUT);
  return std::string(OUT.substr(0, name)) + ascii_upper(DATAFILE(OUT.substr(name)).view());
}

std::string report_name_note(std::string_view OUT, bool replaces, bool folder) {
  const std::string written = report_file_name(OUT);
  if (written == OUT) return {};
  const bool cut = OUT.size() - file_name_start(OUT) > DATAFILE::capacity;
  std::string note = "the report " + in_quotes(OUT) + " is written as " + in_quotes(written) + " (its file name is " +
                     (cut ? "cut to 12 characters and " : "") + "written in capitals)";
  if (replaces) note += "; it replaces the existing file " + in_quotes(written);
  if (folder)
    note += "; " + in_quotes(OUT) + " is a folder: to write the report into it name a file there, such as " +
            in_quotes(std::string(OUT) + "/run.txt");
  return note + ".";
}

std::string report_name_warning(const ProgramRun& s) {
  const std::string given = s.H.str();
  const std::string written = report_file_name(given);
  if (written == given) return {};
  std::error_code error;
  const bool replaces = std::filesystem::is_regular_file(written, error) && !is_an_input(s, written);
  const bool folder = std::filesystem::is_directory(given, error);
  return report_name_note(given, replaces, folder);
}

std::string written_file(const ProgramRun& s) {
  if (s.plan.FTW != 0) return s.settings.GFNO.str();
  if (s.plan.NU != 0) return report_file_name(s.H.view());
  return {};
}

std::string derived_file_name(const ProgramRun& s, const std::string& base, std::string_view extension) {
  const std::size_t dot = base.rfind('.');
  std::string name = dot != std::string::npos && dot > file_name_start(base) ? base.substr(0, dot) : base;
  name += extension;
  if (!name_taken(s, base, name)) return name;
  name = base + std::string(extension);
  while (name_taken(s, base, name)) name += extension;
  return name;
}

std::string picture_file_name(const ProgramRun& s) {
  const std::string written = written_file(s);
  if (written.empty()) return std::string(kPictureWithoutFileName);
  return derived_file_name(s, written, ".svg");
}

std::string results_file_name(const ProgramRun& s) {
  std::string base = written_file(s);
  if (base.empty()) base = report_file_name(s.settings.GFNO.view());
  return derived_file_name(s, base, ".json");
}

#include "report/output_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "common/run_error.h"
#include "common/program_run.h"
#include "report/output_names.h"

namespace {

bool same_file(const std::string& a, const std::string& b) {
  struct stat sa {};
  struct stat sb {};
  if (stat(a.c_str(), &sa) != 0 || stat(b.c_str(), &sb) != 0) return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

[[noreturn]] void refuse(const std::string& role, const std::string& path, const std::string& what,
                         const std::string& other_role, const std::string& other_path, const std::string& lost) {
  throw RunError(kOutputIsInput, "the " + role + " \"" + path + "\" " + what + " the " + other_role + " \"" +
                                     other_path + "\"; writing it would overwrite " + lost +
                                     ", so nothing was written. Choose another output name.");
}

constexpr const char* kCaseOnly = "has, but for the case of its letters, the name of";

// The folder of a path that cannot be created, when that folder is missing.
std::string missing_folder(const std::string& path) {
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  std::error_code error;
  if (folder.empty() || std::filesystem::is_directory(folder, error)) return {};
  return folder.string();
}

}  // namespace

TextWriter create_output_file(ProgramRun& s, const std::string& path, const std::string& role, OutputName name) {
  for (const auto& [input_role, input_path] : s.inputs) {
    if (same_file(path, input_path)) refuse(role, path, "is", input_role, input_path, "the input");
    if (name == OutputName::chosen && same_name_without_case(path, input_path))
      refuse(role, path, kCaseOnly, input_role, input_path, "the input on a disk that does not tell upper from lower case");
  }
  if (name == OutputName::chosen)
    for (const auto& [output_role, output_path] : s.outputs)
      if (same_name_without_case(path, output_path))
        refuse(role, path, kCaseOnly, output_role, output_path,
               "it on a disk that does not tell upper from lower case");
  try {
    TextWriter file = TextWriter::create(path, role);
    s.outputs.emplace_back(role, path);
    return file;
  } catch (const RunError& e) {
    const std::string folder = e.number() == ENOENT ? missing_folder(path) : std::string();
    if (folder.empty()) throw;
    throw RunError(e.number(), "cannot create " + role + " \"" + path + "\": the folder \"" + folder +
                                   "\" does not exist, so nothing was written there.");
  }
}

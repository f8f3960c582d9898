#include "report/output_file.h"

#include <sys/stat.h>

#include "common/run_error.h"
#include "common/run_state.h"

namespace {

bool same_file(const std::string& a, const std::string& b) {
  struct stat sa {};
  struct stat sb {};
  if (stat(a.c_str(), &sa) != 0 || stat(b.c_str(), &sb) != 0) return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

}  // namespace

TextWriter create_output_file(const RunState& s, const std::string& path, const std::string& role) {
  for (const auto& [input_role, input_path] : s.inputs) {
    if (same_file(path, input_path))
      throw RunError(kOutputIsInput, "the " + role + " \"" + path + "\" is the " + input_role + " \"" +
                                         input_path + "\"; writing it would overwrite the input, so "
                                         "nothing was written. Choose another output name.");
  }
  return TextWriter::create(path, role);
}

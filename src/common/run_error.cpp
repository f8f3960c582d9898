#include "common/run_error.h"

#include <cstring>

std::string RunError::report_line() const {
  if (kind_ == Kind::data) return "Error: " + std::string(what());
  return "Runtime error " + std::to_string(number_) + ": " + what();
}

std::string describe_file_failure(int error_number, const std::string& action,
                                  const std::string& role, const std::string& path) {
  std::string reason = error_number == 2 ? "the file does not exist"
                                         : std::string(std::strerror(error_number));
  return "cannot " + action + " " + role + " \"" + path + "\": " + reason + ".";
}

void throw_file_error(int error_number, const std::string& action, const std::string& role,
                      const std::string& path) {
  if (error_number == 0) error_number = 5;  // EIO when the C library left no reason
  throw RunError(error_number, describe_file_failure(error_number, action, role, path));
}

std::string beyond_real(const std::string& subject) { return subject + " would exceed 1.19E+4932"; }

void throw_overflow(const std::string& what, const std::string& detail, const std::string& advice) {
  throw RunError(kOverflow, what + " the range of the 80-bit type (" + detail + "); " + advice + ".",
                 RunError::Kind::data);
}

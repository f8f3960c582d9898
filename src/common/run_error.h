#pragma once

#include <stdexcept>
#include <string>

// The single way a run stops early. A failed file operation carries its
// run-time error number (2: file does not exist, 106: bad number, 203: no
// memory, otherwise the system's errno); main prints the explanation and
// exits with that number.
class RunError : public std::runtime_error {
 public:
  enum class Kind { runtime, data };

  RunError(int number, const std::string& explanation, Kind kind = Kind::runtime)
      : std::runtime_error(explanation), number_(number), kind_(kind) {}

  int number() const { return number_; }
  Kind kind() const { return kind_; }

  // The whole line main writes: "Runtime error N: explanation" for failed
  // file operations, "Error: explanation" for data that cannot be analysed.
  std::string report_line() const;

 private:
  int number_;
  Kind kind_;
};

// The run-time error numbers of failed file operations that the program
// names itself (the others are the system's errno).
inline constexpr int kFileNotFound = 2;   // as ENOENT: no such file, or none named
inline constexpr int kBadNumber = 106;    // a token of the data that is not a number
inline constexpr int kNoMemory = 203;     // not enough memory for the run

// Exit status for a data file or selection that leaves nothing to analyse.
inline constexpr int kNothingToAnalyse = 65;
// Exit status for a setting the run cannot honour (a selection list too long
// for its 255 characters, a histogram with too many classes).
inline constexpr int kSettingOutOfRange = 64;

// A run stopped by the caller of the library (Ctrl-C in Python), as a
// shell reports a program ended by SIGINT.
inline constexpr int kStoppedByCaller = 130;

// Exit status for numbers that overflow the range of REAL during the analysis.
inline constexpr int kOverflow = 67;

// The usual detail of an overflow: "<subject> would exceed 1.19E+4932".
std::string beyond_real(const std::string& subject);

// Stops an analysis whose numbers overflowed: "<what> the range of the 80-bit
// type (<detail>); <advice>." what carries its verb ("the product matrix
// overflows"), advice says what the user can change ("scale the data down").
[[noreturn]] void throw_overflow(const std::string& what, const std::string& detail,
                                 const std::string& advice);

// Explanation of a failed file operation: "cannot <action> <role> "<path>": <reason>".
std::string describe_file_failure(int error_number, const std::string& action,
                                  const std::string& role, const std::string& path);

// Throws the RunError for errno after a failed open/read/write/close.
[[noreturn]] void throw_file_error(int error_number, const std::string& action,
                                   const std::string& role, const std::string& path);

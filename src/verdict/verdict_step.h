#pragma once

#include <string>

#include "common/run_error.h"

// Every stop of the verdict says that it was the verdict's arithmetic that
// overflowed, as the analysis may have run without trouble.
inline constexpr const char* kInTheVerdict = "for the rank verdict, ";

[[noreturn]] inline void verdict_overflow(const std::string& what, const std::string& advice) {
  throw_overflow(kInTheVerdict + what, beyond_real("a value"), advice);
}

// A stage the verdict shares with the analysis.
template <typename Stage>
void as_verdict_step(Stage stage) {
  try {
    stage();
  } catch (const RunError& e) {
    throw RunError(e.number(), kInTheVerdict + std::string(e.what()), e.kind());
  }
}

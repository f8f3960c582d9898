#pragma once

// What the fuzz targets share: a console that swallows output and whose
// input is at its end (so every pause passes), the check that stops a target
// on a broken rule, and an independent reading of the whole-number rule.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string_view>

#include "common/console.h"

namespace fuzz_support {

inline Console& quiet_console() {
  static std::FILE* out = std::fopen("/dev/null", "w");
  static std::FILE* in = std::fopen("/dev/null", "r");
  static Console console(out, in, false);
  return console;
}

inline void require(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "fuzz check failed: %s\n", what);
  std::abort();
}

inline bool low_code(char c) { return static_cast<unsigned char>(c) <= 32; }

// Optional blanks or tabs, optional sign, decimal digits and nothing else,
// within lo..hi; anything else is no whole number.
inline std::optional<std::int64_t> whole(std::string_view t, std::int64_t lo, std::int64_t hi) {
  std::size_t i = 0;
  while (i < t.size() && (t[i] == ' ' || t[i] == '\t')) ++i;
  bool negative = false;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) negative = t[i++] == '-';
  if (i == t.size()) return std::nullopt;
  std::int64_t v = 0;
  for (; i < t.size(); ++i) {
    if (t[i] < '0' || t[i] > '9') return std::nullopt;
    v = v * 10 + (t[i] - '0');
    if (v > hi + 1) return std::nullopt;
  }
  if (negative) v = -v;
  if (v < lo || v > hi) return std::nullopt;
  return v;
}

}  // namespace fuzz_support

// NEEDCALC against a plain second reading of the list rules: brackets first
// and last, blanks and control characters dropped, comma-separated items cut
// to 20 characters, a whole number or a range a..b of 32-bit whole numbers.
// Input: byte 0 picks how NP is formed, then 4 bytes of NP, then the list.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "input/selection.h"
#include "fuzz_support.h"

namespace {

using fuzz_support::whole;

bool reference(std::string_view list, std::int32_t np) {
  if (list.empty() || list.front() != '[' || list.back() != ']' || list.size() < 2) return false;
  std::string text;
  for (char c : list.substr(1, list.size() - 2))
    if (static_cast<unsigned char>(c) > 32) text += c;
  bool named = false;
  do {
    std::string item;
    const std::size_t comma = text.find(',');
    if (comma != std::string::npos) {
      item = text.substr(0, comma);
      text.erase(0, comma + 1);
    } else {
      item = text;
      text.clear();
    }
    item = item.substr(0, 20);
    if (const auto n = whole(item, INT32_MIN, INT32_MAX)) {
      if (*n == np) named = true;
    } else if (const std::size_t dots = item.find(".."); dots != std::string::npos) {
      const auto lo = whole(std::string_view(item).substr(0, dots), INT32_MIN, INT32_MAX);
      const auto hi = whole(std::string_view(item).substr(dots + 2), INT32_MIN, INT32_MAX);
      if (lo && hi && *lo <= np && np <= *hi) named = true;
    }
  } while (!text.empty());
  return named;
}

void check(std::string_view list, std::int32_t np) {
  const bool got = NEEDCALC(list, np);
  const bool want = reference(list, np);
  if (got == want) return;
  std::fprintf(stderr, "NEEDCALC(\"%.*s\", %d) = %d, the list rules give %d\n", static_cast<int>(list.size()),
               list.data(), np, got, want);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 5 || size > 5 + 255) return 0;
  std::int32_t raw = 0;
  std::memcpy(&raw, data + 1, 4);
  const std::string_view list(reinterpret_cast<const char*>(data + 5), size - 5);
  check(list, raw);
  check(list, static_cast<std::int8_t>(data[0]));
  for (std::int32_t np : {-1, 0, 1, 2, 3, 5, 7, 10, 32767, 32768, 65536, INT32_MIN, INT32_MAX}) check(list, np);
  return 0;
}

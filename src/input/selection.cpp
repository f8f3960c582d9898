#include "input/selection.h"

#include <string>

#include "input/setting_numbers.h"

namespace {

constexpr std::size_t kMaxItem = 20;

bool item_names(std::string_view item, std::int32_t NP) {
  item = item.substr(0, kMaxItem);
  if (const auto n = read_whole_number32(item)) return *n == NP;
  const std::size_t dots = item.find("..");
  if (dots == std::string_view::npos) return false;
  const auto low = read_whole_number32(item.substr(0, dots));
  const auto high = read_whole_number32(item.substr(dots + 2));
  return low && high && *low <= NP && NP <= *high;
}

}  // namespace

bool NEEDCALC(std::string_view SNO, std::int32_t NP) {
  if (SNO.empty() || SNO.front() != '[' || SNO.back() != ']') return false;
  std::string text;
  text.reserve(SNO.size());
  for (char c : SNO.substr(1, SNO.size() - 2))
    if (static_cast<unsigned char>(c) > 32) text.push_back(c);
  bool named = false;
  std::string_view rest = text;
  do {
    const std::size_t comma = rest.find(',');
    std::string_view item = rest.substr(0, comma);
    rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
    if (item_names(item, NP)) named = true;
  } while (!rest.empty());
  return named;
}

#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "common/real.h"

// The text-to-number rules of the run settings and the selection lists. None
// of them writes a message: a text that is not a number yields nothing and
// the caller falls back to its stated value.

// Whole number: after optional blanks or tabs, an optional sign and decimal
// digits, nothing else. Values beyond 2^40 are held at that size (far beyond
// every setting's range); the 16- and 32-bit forms yield nothing outside their range.
std::optional<std::int64_t> read_whole_number(std::string_view text);
std::optional<std::int16_t> read_whole_number16(std::string_view text);
std::optional<std::int32_t> read_whole_number32(std::string_view text);
// Real number: after optional blanks or tabs, the data file's number rules on
// the whole rest of the text; nothing when it is not one or lies beyond REAL.
std::optional<REAL> read_real_number(std::string_view text);
// The text up to its first blank or control character.
std::string_view first_word(std::string_view text);
// Position of the first blank or control character (or comma, when asked), or the size.
std::size_t first_control_or_blank(std::string_view text, bool comma_too);

// The number writer against the number reader. Byte 0 picks the part:
//   0: a REAL from the next 10 bytes (its 80-bit pattern), then width and
//      decimal bytes: the scientific, fixed, RS and integer texts must have
//      their documented forms, and the 17-digit scientific text and every
//      fixed text read back within the rounding they were written with;
//   1: a REAL built from a 64-bit significand and a small binary exponent
//      (moderate values, where the fixed form shows most digits), same checks;
//   2: the rest is one token for TextReader::parse_number, checked against the
//      token rules and strtold;
//   3: a TextReader over the rest, driven by the next 8 bytes as a sequence
//      of reads and moves;
//   4: the same with a separator (comma, semicolon or tab, the decimal comma
//      with the last two), titles and quoted fields among the reads;
//   5: the rest is one token: a number in double quotes, or after a
//      byte-order mark, reads as the bare token does; made longer than 255
//      characters it is refused whole, with its length, never read in parts.
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "common/real.h"
#include "common/run_error.h"
#include "common/number_text.h"
#include "input/text_reader.h"

namespace {

[[noreturn]] void fail(const char* what, std::string_view text, REAL v) {
  unsigned char bytes[10];
  std::memcpy(bytes, &v, 10);
  std::fprintf(stderr, "number check failed: %s; text \"%.*s\"; value %.21Lg; bytes", what,
               static_cast<int>(text.size()), text.data(), v);
  for (unsigned char b : bytes) std::fprintf(stderr, " %02x", b);
  std::fprintf(stderr, "\n");
  std::abort();
}

bool digit(char c) { return c >= '0' && c <= '9'; }

// Only bit patterns that arithmetic can produce: the explicit integer bit
// set exactly when the exponent field is not zero.
REAL from_pattern(const std::uint8_t* p) {
  unsigned char bytes[16] = {};
  std::memcpy(bytes, p, 10);
  const bool exponent_zero = bytes[8] == 0 && (bytes[9] & 0x7f) == 0;
  if (exponent_zero)
    bytes[7] &= 0x7f;
  else
    bytes[7] |= 0x80;
  REAL v;
  std::memcpy(&v, bytes, sizeof v);
  return v;
}

int significant_digits(int width) {
  if (width < 0 || width >= 25) return 17;
  if (width < 10) return 2;
  return width - 8;
}

// The scientific form; returns the decimal exponent.
long check_scientific_form(std::string_view t, REAL v, int width) {
  const int p = significant_digits(width);
  if (t.size() < 1 || t[0] != (std::signbit(v) ? '-' : ' ')) fail("scientific sign", t, v);
  std::size_t i = 1;
  if (i >= t.size() || !digit(t[i])) fail("scientific first digit", t, v);
  ++i;
  if (i >= t.size() || t[i] != '.') fail("scientific point", t, v);
  ++i;
  std::size_t fraction = 0;
  while (i < t.size() && digit(t[i])) ++i, ++fraction;
  const bool carried = fraction == static_cast<std::size_t>(p);
  if (fraction != static_cast<std::size_t>(p - 1) && !carried) fail("scientific digit count", t, v);
  if (carried && t.substr(1, 2) != "1." ) fail("scientific extra digit without a carry", t, v);
  if (i >= t.size() || t[i] != 'E') fail("scientific E", t, v);
  ++i;
  if (i >= t.size() || (t[i] != '+' && t[i] != '-')) fail("scientific exponent sign", t, v);
  const bool negative = t[i] == '-';
  ++i;
  const std::size_t first = i;
  long e = 0;
  while (i < t.size() && digit(t[i])) e = e * 10 + (t[i++] - '0');
  if (i != t.size() || i - first < 4) fail("scientific exponent digits", t, v);
  if (t.size() != static_cast<std::size_t>(p + 8 + (carried ? 1 : 0))) fail("scientific length", t, v);
  if (v == 0 && (t.substr(1, 1) != "0" || e != 0 || negative)) fail("scientific zero", t, v);
  return negative ? -e : e;
}

// The text is V rounded half-up at its last digit, where |V| lies between
// |v| and |v| (1 + 2^-63): read back, its magnitude lies within half a unit
// of that digit below |v| and within half a unit plus the increase above,
// give or take the reader's own rounding (half a place of r).
void check_reads_back(std::string_view t, REAL v, REAL unit) {
  REAL r = 0;
  std::string_view token = t;
  while (!token.empty() && token.front() == ' ') token.remove_prefix(1);
  if (!TextReader::parse_number(token.data(), token.data() + token.size(), r)) {
    fail("text does not read back", t, v);
  }
  if (r != 0 && std::signbit(r) != std::signbit(v)) fail("text reads back with the other sign", t, v);
  const REAL half = unit * 0.5L * (1 + 1e-6L);
  const REAL slack = std::fabs(r) * std::ldexp(1.0L, -64) + 4 * std::numeric_limits<REAL>::denorm_min();
  const REAL above = std::fabs(r) - std::fabs(v);
  if (!(above >= -(half + slack))) fail("text reads back too far below the value", t, v);
  if (!(above <= half + std::fabs(v) * std::ldexp(1.0L, -63) + slack))
    fail("text reads back too far above the value", t, v);
}

void check_scientific(REAL v, int width) {
  const number_text::Text text = number_text::scientific(v, width);
  const std::string_view t = text.view();
  const std::string padded = scientific_text(v, width);
  if (!std::isfinite(v)) {
    const std::string_view want = std::isnan(v) ? "Nan" : (v > 0 ? "+Inf" : "-Inf");
    if (t != want) fail("special value text", t, v);
    return;
  }
  const long e = check_scientific_form(t, v, width);
  if (padded.size() != std::max<std::size_t>(t.size(), width < 0 ? 0 : static_cast<std::size_t>(width)) ||
      padded.substr(padded.size() - t.size()) != t)
    fail("scientific padding", padded, v);
  if (significant_digits(width) == 17) check_reads_back(t, v, std::pow(10.0L, static_cast<REAL>(e - 16)));
}

void check_fixed(REAL v, int decimals) {
  const number_text::Text text = number_text::fixed(v, decimals);
  const std::string_view t = text.view();
  if (!std::isfinite(v)) return;
  const int d = decimals > 17 ? 17 : (decimals < 0 ? 0 : decimals);
  if (t.find('E') != std::string_view::npos) {
    if (std::fabs(v) < 9.99e35L) fail("fixed text of a value below 10^36 is scientific", t, v);
    const long e = check_scientific_form(t, v, -1);
    check_reads_back(t, v, std::pow(10.0L, static_cast<REAL>(e - 16)));
    return;
  }
  if (std::fabs(v) > 1.001e36L) fail("fixed text of a value above 10^36", t, v);
  std::size_t i = 0;
  if (std::signbit(v) != (!t.empty() && t[0] == '-')) fail("fixed sign", t, v);
  if (!t.empty() && t[0] == '-') ++i;
  const std::size_t int_start = i;
  while (i < t.size() && digit(t[i])) ++i;
  const std::size_t int_digits = i - int_start;
  if (int_digits == 0 || (int_digits > 1 && t[int_start] == '0')) fail("fixed integer digits", t, v);
  if (d > 0) {
    if (i >= t.size() || t[i] != '.') fail("fixed point", t, v);
    ++i;
    const std::size_t frac_start = i;
    while (i < t.size() && digit(t[i])) ++i;
    if (i - frac_start != static_cast<std::size_t>(d)) fail("fixed decimal count", t, v);
  }
  if (i != t.size()) fail("fixed trailing characters", t, v);
  const bool below_one = int_digits == 1 && t[int_start] == '0';
  const long last = below_one ? -d : std::max<long>(-d, static_cast<long>(int_digits) - 17);
  check_reads_back(t, v, std::pow(10.0L, static_cast<REAL>(last)));
}

void check_rs(REAL v, int w) {
  const NUMOUT rs = RS(v, w);
  const std::string_view t = rs.view();
  if (t.size() > 30) fail("RS longer than 30", t, v);
  if (!std::isfinite(v) || w > 28 || w < -2) return;
  const number_text::Text scientific = number_text::scientific(v, w + 2);
  const std::string_view bare = scientific.view();
  const long e = std::labs(check_scientific_form(bare, v, w + 2));
  if (e >= 100) return;  // three or more exponent digits are all kept
  // The text in width w + 2 less two exponent digits.
  const std::size_t want = std::max<std::size_t>(static_cast<std::size_t>(w + 2), bare.size()) - 2;
  if (t.size() != want) fail("RS length", t, v);
  if (t.substr(t.size() - 4, 2) != bare.substr(bare.size() - 6, 2) ||
      t.substr(t.size() - 2) != bare.substr(bare.size() - 2))
    fail("RS exponent", t, v);
}

void check_value(REAL v, const std::uint8_t* extra, std::size_t n) {
  const int width = n > 0 ? static_cast<std::int8_t>(extra[0]) : 14;
  const int decimals = n > 1 ? static_cast<std::int8_t>(extra[1]) % 24 : 3;
  check_scientific(v, -1);
  check_scientific(v, 25);
  check_scientific(v, width);
  check_scientific(v, 14);
  check_fixed(v, decimals);
  check_fixed(v, 17);
  check_fixed(v, 0);
  check_rs(v, width % 40);
  check_rs(v, 8);
  if (std::isfinite(v)) {
    const std::string padded = fixed_text(v, width, decimals);
    const std::string bare(number_text::fixed(v, decimals).view());
    if (padded.size() < bare.size() || padded.substr(padded.size() - bare.size()) != bare) fail("fixed padding", padded, v);
  }
  std::int64_t whole = 0;
  std::memcpy(&whole, extra, std::min<std::size_t>(n, sizeof whole));
  const std::string it = integer_text(whole, width);
  if (std::strtoll(it.c_str(), nullptr, 10) != whole) fail("integer text", it, v);
}

bool token_rules(std::string_view t) {
  std::size_t i = 0;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
  std::size_t digits = 0;
  while (i < t.size() && digit(t[i])) ++i, ++digits;
  if (i < t.size() && t[i] == '.') {
    ++i;
    while (i < t.size() && digit(t[i])) ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
    ++i;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
    std::size_t exp_digits = 0;
    while (i < t.size() && digit(t[i])) ++i, ++exp_digits;
    if (exp_digits == 0) return false;
  }
  return i == t.size();
}

void check_token(std::string_view t) {
  REAL r = 0;
  const bool got = TextReader::parse_number(t.data(), t.data() + t.size(), r);
  if (!token_rules(t)) {
    if (got) fail("a token against the rules reads as a number", t, r);
    return;
  }
  const std::string copy(t);
  errno = 0;
  const REAL x = std::strtold(copy.c_str(), nullptr);
  const bool range_error = errno == ERANGE;
  if (std::isinf(x)) {
    // Only up to the 17-digit text of the largest REAL, which reads as that value.
    const REAL largest = std::numeric_limits<REAL>::max();
    if (got && std::fabs(r) != largest) fail("a token beyond the largest REAL reads as another number", t, r);
    return;
  }
  if (range_error || (x != 0 && std::fabs(x) < std::numeric_limits<REAL>::min())) return;  // tiny values: either way
  if (!got) fail("a valid token does not read", t, x);
  if (!(r == x) || std::signbit(r) != std::signbit(x)) fail("token read differs from strtold", t, r);
}

void drive_reader(const std::uint8_t* ops, std::string text) {
  TextReader reader(std::move(text), "fuzz.txt", "data file");
  std::int64_t line = reader.line();
  try {
    for (int step = 0; step < 4000; ++step) {
      const std::uint8_t op = ops[step % 8];
      switch (op % 10) {
        case 0: reader.read_number(); break;
        case 1: reader.rest_of_line_blank(); break;
        case 2: reader.rest_of_file_blank(); break;
        case 3: reader.next_line(); break;
        case 4: reader.skip_blanks_and_line_ends(); break;
        case 5: reader.read_line_text(op / 10); break;
        case 6: reader.skip_to_token(); break;
        case 7: reader.skip_blank_lines(); break;
        case 8: reader.read_number(); break;
        case 9:
          if (step == 100) {
            reader.rewind();
            line = reader.line();
          }
          break;
      }
      if (reader.line() < line) fail("line number went back", "", 0);
      line = reader.line();
      if (reader.at_end() && step > 16) break;
    }
  } catch (const RunError&) {
  }
}

void drive_fields_reader(const std::uint8_t* ops, std::string text) {
  static constexpr char kSeparators[] = {',', ';', '\t'};
  const char separator = kSeparators[ops[0] % 3];
  TextReader reader(std::move(text), "fuzz.csv", "data file");
  reader.set_field_rules({separator, separator != ',' && (ops[0] & 4) != 0});
  std::int64_t line = reader.line();
  try {
    for (int step = 0; step < 4000; ++step) {
      const std::uint8_t op = ops[1 + step % 7];
      switch (op % 9) {
        case 0: reader.read_number(); break;
        case 1: reader.rest_of_line_blank(); break;
        case 2: reader.rest_of_file_blank(); break;
        case 3: reader.next_line(); break;
        case 4: reader.skip_blank_lines(); break;
        case 5: reader.allow_empty_corner(); break;
        case 6: {
          const TextReader::Title t = reader.read_title();
          if (t.text.size() > TextReader::kMaxToken) fail("a title longer than 255 characters", t.text, 0);
          if (t.field < 1) fail("a title without its field", t.text, 0);
          REAL v = 0;
          if (!t.text.empty() && t.number != reader.field_value(t.text, v)) fail("a title read as number and text", t.text, v);
          if (t.number && !t.text.empty() && !(v == t.value)) fail("a title's number differs from its text's", t.text, t.value);
          break;
        }
        case 7: reader.read_number(); break;
        case 8:
          if (step == 100) {
            reader.rewind();
            line = reader.line();
          }
          break;
      }
      if (reader.line() < line) fail("line number went back", "", 0);
      line = reader.line();
      if (reader.at_end() && step > 16) break;
    }
  } catch (const RunError& e) {
    if (e.number() != 106) fail("a reading stop other than 106", e.what(), 0);
  }
}

REAL read_one(const std::string& text, TextReader::FieldRules rules) {
  TextReader reader(text, "fuzz.csv", "data file");
  reader.set_field_rules(rules);
  return reader.read_number();
}

void check_quoted_and_long(std::string_view t, std::uint8_t extra) {
  REAL bare = 0;
  if (token_rules(t) && TextReader::parse_number(t.data(), t.data() + t.size(), bare)) {
    const std::string token(t);
    std::vector<REAL> read{read_one("\"" + token + "\",1\n", {',', false}), read_one("\xef\xbb\xbf" + token + ";1", {';', false})};
    // The blanks inside the quotes are part of the field and count towards its 255 characters.
    if (token.size() + 2 <= TextReader::kMaxToken) read.push_back(read_one(" \" " + token + " \"\t", {'\t', false}));
    for (const REAL v : read)
      if (!(v == bare) || std::signbit(v) != std::signbit(bare)) fail("a quoted number reads otherwise", t, v);
  }
  // Digits in front make any token longer than 255 characters.
  const std::size_t length = TextReader::kMaxToken + 1 + extra % 64 + t.size();
  const std::string text = std::string(length - t.size(), '1') + std::string(t) + " 2";
  if (std::any_of(t.begin(), t.end(), [](char c) { return static_cast<unsigned char>(c) <= 32; }))
    return;  // the token would end early
  try {
    read_one(text, {});
  } catch (const RunError& e) {
    const std::string said = std::string(" is ") + std::to_string(length) + " characters long";
    if (e.number() != 106 || std::string(e.what()).find(said) == std::string::npos)
      fail("a long token refused otherwise", e.what(), 0);
    return;
  }
  fail("a token longer than 255 characters was read", text, 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1 || size > 4096) return 0;
  const std::uint8_t part = data[0] % 6;
  const std::uint8_t* rest = data + 1;
  const std::size_t n = size - 1;
  switch (part) {
    case 0:
      if (n < 10) return 0;
      check_value(from_pattern(rest), rest + 10, std::min<std::size_t>(n - 10, 8));
      break;
    case 1: {
      if (n < 10) return 0;
      std::uint64_t m = 0;
      std::memcpy(&m, rest, 8);
      const int e = static_cast<std::int8_t>(rest[8]) - 63;
      REAL v = std::ldexp(static_cast<REAL>(m), e);
      if (rest[9] & 1) v = -v;
      check_value(v, rest + 10, std::min<std::size_t>(n - 10, 8));
      break;
    }
    case 2:
      if (n > 255) return 0;
      check_token(std::string_view(reinterpret_cast<const char*>(rest), n));
      break;
    case 3:
      if (n < 8) return 0;
      drive_reader(rest, std::string(reinterpret_cast<const char*>(rest + 8), n - 8));
      break;
    case 4:
      if (n < 8) return 0;
      drive_fields_reader(rest, std::string(reinterpret_cast<const char*>(rest + 8), n - 8));
      break;
    case 5:
      if (n < 1 || n > 256) return 0;
      check_quoted_and_long(std::string_view(reinterpret_cast<const char*>(rest + 1), n - 1), rest[0]);
      break;
  }
  return 0;
}

#include "common/number_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "common/text_writer.h"
#include "test_support.h"

namespace {

const REAL kNan = std::numeric_limits<REAL>::quiet_NaN();
const REAL kInf = std::numeric_limits<REAL>::infinity();

TEST(NumberTextScientific, Examples) {
  const REAL pi = 3.14159265358979323846L;
  const struct {
    REAL value;
    int width;
    std::string text;
  } cases[] = {
      {1234.5678L, 14, " 1.23457E+0003"}, {-0.00012345L, 14, "-1.23450E-0004"}, {0.5L, 9, " 5.0E-0001"},
      {0.0L, 12, " 0.000E+0000"}, {9.999L, 10, " 1.00E+0001"}, {99999.95L, 14, " 1.000000E+0005"},
      {-0.0L, 10, "-0.0E+0000"},
      // The width decides the digits and the padding.
      {pi, -1, " 3.1415926535897932E+0000"}, {pi, 0, " 3.1E+0000"}, {pi, 9, " 3.1E+0000"}, {pi, 10, " 3.1E+0000"},
      {pi, 24, " 3.141592653589793E+0000"}, {pi, 25, " 3.1415926535897932E+0000"},
      {pi, 40, std::string(15, ' ') + " 3.1415926535897932E+0000"},
      // A carry through all digits adds one digit.
      {9.96L, 10, " 1.00E+0001"}, {-9.99999999999999999L, -1, "-1.00000000000000000E+0001"},
      {0.000995L, 0, " 1.00E-0003"}, {9.94L, 10, " 9.9E+0000"},
      // Powers of ten stored below keep their digit count.
      {0.01L, 10, " 1.0E-0002"}, {0.001L, -1, " 1.0000000000000000E-0003"}, {1e-5L, 14, " 1.00000E-0005"},
      {0.1L, 25, " 1.0000000000000000E-0001"},
      // Extreme magnitudes are exact.
      {LDBL_MAX, -1, " 1.1897314953572318E+4932"}, {-LDBL_TRUE_MIN, -1, "-3.6451995318824746E-4951"},
      {LDBL_MIN, 14, " 3.36210E-4932"}, {std::ldexp(1.0L, 64), 25, " 1.8446744073709552E+0019"},
      // Half up on the exact binary value: 0.125 and 2.25 are exact halves; one
      // unit in the last place below 0.125 is lifted by the 2^-63 increase;
      // well below the half-way point it stays down.
      {0.125L, 0, " 1.3E-0001"}, {2.25L, 0, " 2.3E+0000"}, {std::nextafter(0.125L, 0.0L), 0, " 1.3E-0001"},
      {0.125L - 1e-15L, 0, " 1.2E-0001"},
      // The increase is exact, never rounded to REAL: 0xa.fc7ae147ae147aep-2
      // lies 1.7e-20 below 2.7465625 and f * 2^-63 = 8.1e-20 lifts it over;
      // one place lower (2.3e-19 below) it stays below. Likewise 30.89995 -
      // 4.4e-20 (lifted by 9.8e-20) and 1206.904335 - 3.6e-20 (by 9.8e-20).
      {0xa.fc7ae147ae147aep-2L, 15, " 2.746563E+0000"}, {0xa.fc7ae147ae147adp-2L, 15, " 2.746562E+0000"},
      {0xf73318fc504816f0p-59L, 14, " 3.09000E+0001"}, {-0x96dcf04ff43419e3p-53L, 17, "-1.20690434E+0003"},
      // Below a power of ten, V decides between the carry through every digit
      // and the next exponent: two places below 0.1, V = 0.1 - 0.2 units of m;
      // one place below, V = 0.1 + 0.8 units. 1 - 2^-63 gives V = 1 - 2^-126,
      // 1 - 2^-64 gives V = 1 + 2^-64 - 2^-127.
      {0xcccccccccccccccbp-67L, 0, " 1.00E-0001"}, {0xccccccccccccccccp-67L, 0, " 1.0E-0001"},
      {0xfffffffffffffffep-64L, 12, " 1.0000E+0000"}, {0xffffffffffffffffp-64L, 12, " 1.000E+0000"},
      {kNan, 6, "   Nan"}, {kInf, -1, "+Inf"}, {-kInf, 0, "-Inf"},
  };
  for (const auto& c : cases) EXPECT_EQ(scientific_text(c.value, c.width), c.text) << c.width;
  EXPECT_EQ(number_text::scientific(-pi, 40).view(), "-3.1415926535897932E+0000");
  for (int w = 10; w <= 25; ++w) EXPECT_EQ(scientific_text(-pi, w).size(), static_cast<std::size_t>(w));
}

TEST(NumberTextFixed, Examples) {
  const struct {
    REAL value;
    int width, decimals;
    const char* text;
  } cases[] = {
      {0.25L, 10, 7, " 0.2500000"}, {-1.23456L, 7, 3, " -1.235"}, {2.5L, 3, 0, "  3"}, {0.0005L, 5, 3, "0.001"},
      {-0.0004L, 6, 3, "-0.000"}, {123456789012345678901.0L, 0, 0, "123456789012345680000"},
      {1234.123456789012345678L, 0, 17, "1234.12345678901230000"}, {9.9996L, 7, 3, " 10.000"},
      {1.5e40L, 0, 2, " 1.5000000000000000E+0040"},
      // Sign, zero and the decimal count.
      {-0.0L, 0, 2, "-0.00"}, {0.0L, 4, 0, "   0"}, {-0.4L, 0, 0, "-0"}, {0.5L, 0, 0, "1"},
      {1.0L / 3, 0, 20, "0.33333333333333333"}, {2.0L / 3, 0, 17, "0.66666666666666667"}, {12.5L, 0, -3, "13"},
      {0.01L, 0, 2, "0.01"}, {0.001L, 0, 17, "0.00100000000000000"}, {LDBL_TRUE_MIN, 0, 17, "0.00000000000000000"},
      {-LDBL_TRUE_MIN, 0, 3, "-0.000"}, {5e-18L, 0, 17, "0.00000000000000001"},
      // Seventeen digits, then zeros.
      {123456789.123456789L, 0, 10, "123456789.1234567900"}, {99999999999999999.5L, 0, 1, "100000000000000000.0"},
      {1e35L, 0, 0, "100000000000000000000000000000000000"},
      // The scientific form from 1e36 on. 1e36 is stored just below 10^36 and
      // rounds up to it at the 17th digit: written in the scientific form,
      // whose rounding carries through every digit.
      {std::nextafter(1e36L, kInf), 0, 2, " 1.0000000000000000E+0036"},
      {-2e300L, 30, 0, "     -2.0000000000000000E+0300"}, {1e36L, 0, 1, " 1.00000000000000000E+0036"},
      {999999999999999940000000000000000000.0L, 0, 1, "999999999999999940000000000000000000.0"},
      // The exact increase (see the scientific examples).
      {0xa.fc7ae147ae147aep-2L, 0, 6, "2.746563"}, {0xa.fc7ae147ae147adp-2L, 0, 6, "2.746562"},
      {0xf73318fc504816f0p-59L, 0, 4, "30.9000"}, {-0x96dcf04ff43419e3p-53L, 12, 5, " -1206.90434"},
      {-kNan, 5, 2, "  Nan"}, {kInf, 5, 2, " +Inf"}, {-kInf, 2, 2, "-Inf"},
  };
  for (const auto& c : cases) EXPECT_EQ(fixed_text(c.value, c.width, c.decimals), c.text) << c.text;
}

TEST(NumberTextInteger, DigitsSignAndWidth) {
  EXPECT_EQ(integer_text(0, 3), "  0");
  EXPECT_EQ(integer_text(-42, 5), "  -42");
  EXPECT_EQ(integer_text(123456, 2), "123456");
  EXPECT_EQ(integer_text(INT64_MIN, 0), "-9223372036854775808");
  EXPECT_EQ(integer_text(INT64_MAX, -1), "9223372036854775807");
}

TEST(NumberTextWriters, WritePaddedTexts) {
  qor_test::CapturedConsole c;
  TextWriter& out = c.console().out();
  write_scientific(out, 0.5L, 12);
  write_fixed(out, -1.25L, 8, 1);
  write_integer(out, 7, 3);
  write_fixed(out, 1e-3L, -1, 3);
  write_scientific(out, kNan, 5);
  EXPECT_EQ(out.column(), 12 + 8 + 3 + 5 + 5);
  EXPECT_EQ(c.text(), " 5.000E-0001    -1.3  70.001  Nan");
}

// A number that does not fit its column keeps one blank before it; one that
// fits keeps its bytes. A text fits when it is shorter than the width, or as
// wide and begins with the sign position's blank or a minus sign.
TEST(NumberTextColumns, BlanksBeforeANumber) {
  const struct {
    const char* text;
    int width;
    bool after_blank;
    int blanks;
  } cases[] = {
      // Shorter than the width: right-aligned, whatever stands before it.
      {"12", 5, false, 3}, {"434114", 7, false, 1}, {"-5", 3, true, 1},
      // As wide as the width, beginning with a digit: a seven-digit count
      // in width 7, a fixed text that fills its width.
      {"3123166", 7, false, 1}, {"0.001", 5, false, 1}, {"123.456", 7, false, 1},
      // ... but after a blank or at the start of a line it is apart already.
      {"3123166", 7, true, 0}, {"123.456", 7, true, 0},
      // The sign position holds a blank or a minus sign: fits, bytes as always.
      {" 1.2E+03", 8, false, 0}, {"-1.2E+03", 8, false, 0}, {"-0.000", 6, false, 0}, {"-Inf", 4, false, 0},
      // Wider than the width: a minus sign or a digit first gets a blank ...
      {"-1.5E-123", 8, false, 1}, {"-1.0E-4931", 8, false, 1}, {"-1.00E+0001", 10, false, 1},
      {"12345678", 7, false, 1}, {"-1.0000000000000000E+4932", 7, false, 1}, {"+Inf", 4, false, 1},
      {"Nan", 2, false, 1},
      // ... a text with a blank of its own, or after one, needs none.
      {" 1.5E-123", 8, false, 0}, {" 1.0000000000000000E+4932", 7, false, 0}, {"-1.5E-123", 8, true, 0},
      // Width 0 or below asks for the bare text.
      {"123", 0, false, 0}, {"-1.5E-123", -1, false, 0}, {"", 0, false, 0}, {"", 2, false, 2},
  };
  for (const auto& c : cases)
    EXPECT_EQ(blanks_before_number(c.text, c.width, c.after_blank), c.blanks)
        << '"' << c.text << "\" in " << c.width << (c.after_blank ? " after a blank" : "");
}

// The line of the issue: an eigenvalue's standard deviation and its three
// counts of residuals, the first of seven digits in width 7; then counts
// and texts that fit, which keep their bytes.
TEST(NumberTextColumns, WritersKeepNumbersApart) {
  qor_test::CapturedConsole c;
  TextWriter& out = c.console().out();
  out.write("\xF1");
  write_number_text(out, RS(15.96872L, 10).view(), 10);
  write_integer(out, 3123166, 7);
  write_integer(out, 434114, 7);
  write_integer(out, 24666, 7);
  write_number_text(out, RS(9.8e6L, 10).view(), 10);
  out.write("=>");
  write_number_text(out, RS(-2e-300L, 10).view(), 10);
  out.line_end();
  // At the start of a line, after a label that ends in a blank, beside a
  // negative number that fills its width exactly: as always.
  write_integer(out, 1234567, 7);
  out.write(" D: ");
  write_fixed(out, 123.456L, 7, 3);
  write_fixed(out, -12.345L, 7, 3);
  write_scientific(out, -1.5L, 10);
  // A number of the fixed form too large for any width, and digits beyond a
  // user's width.
  write_fixed(out, -1.5e40L, 7, 3);
  write_number(out, 0.25L, 3, 2);
  write_number(out, 0.5L, 3, 2);
  EXPECT_EQ(c.text(),
            "\xF1 1.597E+01 3123166 434114  24666 9.800E+06=> -2.000E-300\r\n"
            "1234567 D: 123.456-12.345-1.5E+0000 -1.5000000000000000E+0040 0.25 0.50");
}

TEST(NumberTextRS, Examples) {
  const struct {
    REAL value;
    int width;
    const char* text;
  } cases[] = {
      {1234.5678L, 8, " 1.2E+03"}, {1234.5678L, 7, " 1.2E+03"}, {-0.0L, 8, "-0.0E+00"}, {9.999L, 8, " 1.00E+01"},
      {0.015625L, 12, " 1.56250E-02"}, {-1.5L, 23, "-1.5000000000000000E+00"},
      {1.5L, 28, "      1.5000000000000000E+00"},
      // Long exponents keep every digit.
      {1.5e-123L, 8, " 1.5E-123"}, {2e300L, 10, " 2.000E+300"}, {-1e-4931L, 8, "-1.0E-4931"},
      {LDBL_MAX, 8, " 1.2E+4932"},
      // Digits of the exactly increased value (see the scientific examples).
      {0xa.fc7ae147ae147aep-2L, 13, " 2.746563E+00"}, {-0x96dcf04ff43419e3p-53L, 15, "-1.20690434E+03"},
      {0xcccccccccccccccbp-67L, 8, " 1.00E-01"}, {0xfffffffffffffffep-64L, 10, " 1.0000E+00"},
      // Wide fields are not cut, but the result holds at most 30 characters.
      {1.5L, 29, "       1.5000000000000000E+00"}, {-1.5L, 30, "       -1.5000000000000000E+00"},
      {1.5L, 200, "        1.5000000000000000E+00"},
      // Special values stay whole.
      {kNan, 8, "     Nan"}, {-kInf, 3, "    -Inf"}, {kInf, 12, "        +Inf"},
  };
  for (const auto& c : cases) EXPECT_EQ(RS(c.value, c.width), c.text) << c.width;
  EXPECT_EQ(RS(1.5L, 28).size(), 28u);
}

// ---------------------------------------------------------------------------
// Independent check: the texts of random values against the exact decimal
// expansion of the written magnitude V = x + f * 2^-63 (x = |value|, f its
// fractional part, for x < 1 x itself), computed here with plain schoolbook
// arithmetic. Each binary term m * 2^e is the integer m * 2^e, or m * 5^-e
// scaled by 10^e; the two terms are added as decimal fixed-point numbers.

using Decimal = std::vector<std::uint32_t>;  // little-endian base 10^9
constexpr std::uint64_t kBase = 1000000000;

Decimal times(const Decimal& a, std::uint64_t f) {
  Decimal r(a.size() + 3, 0);
  for (std::size_t shift = 0; f != 0; ++shift, f /= kBase) {
    std::uint64_t carry = 0;
    for (std::size_t i = 0; i + shift < r.size(); ++i) {
      const std::uint64_t t = r[i + shift] + (i < a.size() ? a[i] * (f % kBase) : 0) + carry;
      r[i + shift] = static_cast<std::uint32_t>(t % kBase);
      carry = t / kBase;
    }
  }
  while (r.size() > 1 && r.back() == 0) r.pop_back();
  return r;
}

Decimal plus(const Decimal& a, const Decimal& b) {
  Decimal r(std::max(a.size(), b.size()) + 1, 0);
  std::uint64_t carry = 0;
  for (std::size_t i = 0; i < r.size(); ++i) {
    const std::uint64_t t = (i < a.size() ? a[i] : 0) + (i < b.size() ? b[i] : 0) + carry;
    r[i] = static_cast<std::uint32_t>(t % kBase);
    carry = t / kBase;
  }
  while (r.size() > 1 && r.back() == 0) r.pop_back();
  return r;
}

// a * 10^k.
Decimal shifted(Decimal a, int k) {
  a.insert(a.begin(), static_cast<std::size_t>(k / 9), 0);
  std::uint64_t f = 1;
  for (int i = 0; i < k % 9; ++i) f *= 10;
  return times(a, f);
}

// base^k (base 2 or 5), from a table of every 64th power.
Decimal power(std::uint64_t base, int k) {
  static std::vector<Decimal> tables[6];  // by base
  std::vector<Decimal>& table = tables[base];
  const auto raise = [base](Decimal a, int by) {
    for (; by > 0; by -= 27) {  // 5^27 < 2^64
      std::uint64_t f = 1;
      for (int i = 0; i < std::min(by, 27); ++i) f *= base;
      a = times(a, f);
    }
    return a;
  };
  if (table.empty()) table.push_back({1});
  while (static_cast<int>(table.size()) <= k / 64) table.push_back(raise(table.back(), 64));
  return raise(table[static_cast<std::size_t>(k / 64)], k % 64);
}

// The number n * 10^-scale.
struct DecimalFixed {
  Decimal n;
  int scale;
};

DecimalFixed exact(std::uint64_t m, int e) {
  if (e >= 0) return {times(power(2, e), m), 0};
  return {times(power(5, -e), m), -e};
}

DecimalFixed sum(const DecimalFixed& a, const DecimalFixed& b) {
  const int scale = std::max(a.scale, b.scale);
  return {plus(shifted(a.n, scale - a.scale), shifted(b.n, scale - b.scale)), scale};
}

// At least 19 leading decimal digits of a value > 0, truncated, and the
// exponent of the first of them.
struct Expansion {
  std::string digits;
  int exponent;
};

Expansion digits_of(const DecimalFixed& x) {
  const Decimal& n = x.n;
  std::string digits = std::to_string(n.back());
  const auto length = static_cast<int>(digits.size() + 9 * (n.size() - 1));
  char limb[16];
  for (std::size_t i = n.size() - 1; i-- > 0 && digits.size() < 19;) {
    std::snprintf(limb, sizeof limb, "%09u", static_cast<unsigned>(n[i]));
    digits += limb;
  }
  digits.resize(std::max<std::size_t>(digits.size(), 19), '0');  // only when n had no more digits
  return {digits, length - 1 - x.scale};
}

// x = m * 2^e with a 64-bit m (0 < x).
DecimalFixed exact(REAL x) {
  int ex = 0;
  const REAL fraction = std::frexp(x, &ex);
  return exact(static_cast<std::uint64_t>(std::ldexp(fraction, 64)), ex - 64);
}

// The written magnitude of a value != 0: x plus f * 2^-63, f = x - trunc(x)
// (exact in REAL), the second term taken exactly from f's own bits.
Expansion written(REAL value) {
  const REAL x = std::fabs(value);
  const REAL f = x - std::trunc(x);
  if (f == 0) return digits_of(exact(x));
  int ef = 0;
  const REAL ff = std::frexp(f, &ef);
  return digits_of(sum(exact(x), exact(static_cast<std::uint64_t>(std::ldexp(ff, 64)), ef - 64 - 63)));
}

// Decimal digits by place: index 0 is 10^low.
struct Places {
  int low;
  std::vector<int> d;
  int& at(int place) { return d[static_cast<std::size_t>(place - low)]; }
};

// The expansion cut at place p and rounded half-up there, over places
// p..high (high above every digit, so a carry has room).
Places rounded_at(const Expansion& x, int p, int high) {
  const auto digit = [&](int place) {
    if (place > x.exponent) return 0;
    const int i = x.exponent - place;
    if (i >= static_cast<int>(x.digits.size())) {
      ADD_FAILURE() << "digit beyond the expansion";
      return 0;
    }
    return x.digits[static_cast<std::size_t>(i)] - '0';
  };
  Places r{p, std::vector<int>(static_cast<std::size_t>(high - p + 1), 0)};
  for (int place = p; place <= high; ++place) r.at(place) = digit(place);
  if (digit(p - 1) >= 5) {
    int place = p;
    while (r.at(place) == 9) r.at(place++) = 0;
    ++r.at(place);
  }
  return r;
}

std::string expected_scientific(REAL value, int width) {
  const int digits = (width >= 0 && width < 10) ? 2 : (width >= 10 && width <= 24) ? width - 8 : 17;
  const std::string sign = std::signbit(value) ? "-" : " ";
  const Expansion x = written(value);
  const int p = x.exponent - digits + 1;
  Places r = rounded_at(x, p, x.exponent + 1);
  const int first = r.at(x.exponent + 1) != 0 ? x.exponent + 1 : x.exponent;
  std::string mantissa;
  for (int place = first; place >= p; --place) mantissa += static_cast<char>('0' + r.at(place));
  char exponent[16];
  std::snprintf(exponent, sizeof exponent, "%c%04d", first < 0 ? '-' : '+', std::abs(first));
  return sign + mantissa.substr(0, 1) + "." + mantissa.substr(1) + "E" + exponent;
}

std::string expected_fixed(REAL value, int decimals) {
  const int d = std::clamp(decimals, 0, 17);
  const Expansion x = written(value);
  const int p = x.exponent >= 0 ? std::max(-d, x.exponent - 16) : -d;
  const int high = std::max(x.exponent, 0) + 1;
  Places r = rounded_at(x, p, high);
  const auto digit = [&](int place) { return place >= p ? r.at(place) : 0; };
  for (int place = 36; place <= high; ++place)
    if (digit(place) != 0) return expected_scientific(value, -1);
  std::string text = std::signbit(value) ? "-" : "";
  std::string whole;
  for (int place = high; place >= 0; --place)
    if (!whole.empty() || digit(place) != 0) whole += static_cast<char>('0' + digit(place));
  text += whole.empty() ? "0" : whole;
  if (d > 0) {
    text += '.';
    for (int place = -1; place >= -d; --place) text += static_cast<char>('0' + digit(place));
  }
  return text;
}

int uniform(std::mt19937_64& rng, int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }

// Random 80-bit values: random significand bits with exponents across the
// whole range (subnormals included), moderate magnitudes, and short binary
// fractions that land exactly on half-way points.
REAL random_value(std::mt19937_64& rng) {
  const int k = uniform(rng, 0, 9);
  std::uint64_t bits = rng();
  REAL v = 0;
  if (k < 5) {
    const int biased = uniform(rng, 0, 32766);
    if (biased == 0)
      v = std::ldexp(static_cast<REAL>(bits >> 1), -16445);
    else
      v = std::ldexp(static_cast<REAL>(bits | (1ULL << 63)), biased - 16383 - 63);
  } else if (k < 8) {
    v = std::ldexp(static_cast<REAL>(bits | (1ULL << 63)), uniform(rng, -200, 60) - 63);
  } else {
    v = std::ldexp(static_cast<REAL>(bits >> 40), -uniform(rng, 0, 30));
  }
  return (rng() & 1) != 0 ? -v : v;
}

// The REAL nearest to a decimal text, moved `steps` places toward zero (a
// negative count: away from it), with a random sign. Random values almost
// never lie this close to a rounding boundary.
REAL near(std::mt19937_64& rng, const std::string& decimal, int steps) {
  REAL v = std::strtold(decimal.c_str(), nullptr);
  for (int i = 0; i < steps; ++i) v = std::nextafter(v, 0.0L);
  for (int i = 0; i > steps; --i) v = std::nextafter(v, kInf);
  return (rng() & 1) != 0 ? -v : v;
}

// A number of `count` digits, the first not zero.
std::string random_digits(std::mt19937_64& rng, int count) {
  std::string s(1, static_cast<char>('1' + uniform(rng, 0, 8)));
  while (static_cast<int>(s.size()) < count) s += static_cast<char>('0' + uniform(rng, 0, 9));
  return s;
}

// A width whose scientific text has `digits` digits.
int width_for(std::mt19937_64& rng, int digits) {
  if (digits <= 2) return uniform(rng, 0, 10);
  if (digits <= 16) return digits + 8;
  return (rng() & 1) != 0 ? -1 : uniform(rng, 25, 30);
}

TEST(NumberTextExactness, RandomValuesMatchTheirExactExpansion) {
  std::mt19937_64 rng(20240611);
  int failures = 0;
  const auto check = [&](REAL v, int width, int decimals) {
    if (v == 0 || !std::isfinite(v) || failures >= 20) return;
    const std::string sci(number_text::scientific(v, width).view());
    const std::string fix(number_text::fixed(v, decimals).view());
    const std::string want_sci = expected_scientific(v, width);
    const std::string want_fix = expected_fixed(v, decimals);
    if (sci != want_sci || fix != want_fix) {
      ++failures;
      char hex[64];
      std::snprintf(hex, sizeof hex, "%La", v);
      ADD_FAILURE() << hex << " width " << width << ": " << sci << " expected " << want_sci << "; decimals "
                    << decimals << ": " << fix << " expected " << want_fix;
    }
  };
  for (int i = 0; i < 30000; ++i) check(random_value(rng), uniform(rng, -1, 30), uniform(rng, 0, 20));
  // Fixed half-way points (D + 1/2) * 10^-d, D of 1..17 digits (so the
  // 17-digit limit does not cut them), with the scientific text of as many
  // digits.
  for (int i = 0; i < 8000; ++i) {
    const int count = uniform(rng, 1, 17);
    const int d = uniform(rng, 0, 17);
    const REAL v = near(rng, random_digits(rng, count) + "5e-" + std::to_string(d + 1), uniform(rng, -1, 4));
    check(v, width_for(rng, count), d);
  }
  // Scientific half-way points of 2..17 digits at any magnitude.
  for (int i = 0; i < 8000; ++i) {
    const int count = uniform(rng, 2, 17);
    const int exponent = uniform(rng, -4940, 4931) - count;  // of the last digit, the 5
    const REAL v = near(rng, random_digits(rng, count) + "5e" + std::to_string(exponent), uniform(rng, -1, 4));
    check(v, width_for(rng, count), uniform(rng, 0, 20));
  }
  // Powers of ten: the exponent of the scientific form changes there.
  for (int j = -4950; j <= 4931; ++j)
    check(near(rng, "1e" + std::to_string(j), uniform(rng, -1, 4)), uniform(rng, -1, 30), uniform(rng, 0, 20));
  EXPECT_EQ(failures, 0);
}

}  // namespace

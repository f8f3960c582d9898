#include "report/number_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "report/text_writer.h"

namespace {

const REAL kNan = std::numeric_limits<REAL>::quiet_NaN();
const REAL kInf = std::numeric_limits<REAL>::infinity();

struct SciCase {
  REAL value;
  int width;
  const char* text;
};

struct FixedCase {
  REAL value;
  int width;
  int decimals;
  const char* text;
};

TEST(NumberTextScientific, DocumentedExamples) {
  const SciCase cases[] = {
      {1234.5678L, 14, " 1.23457E+0003"}, {-0.00012345L, 14, "-1.23450E-0004"}, {0.5L, 9, " 5.0E-0001"},
      {0.0L, 12, " 0.000E+0000"},         {9.999L, 10, " 1.00E+0001"},          {99999.95L, 14, " 1.000000E+0005"},
      {-0.0L, 10, "-0.0E+0000"},
  };
  for (const auto& c : cases) EXPECT_EQ(scientific_text(c.value, c.width), c.text) << c.width;
}

TEST(NumberTextScientific, WidthDecidesDigitsAndPadding) {
  const REAL v = 3.14159265358979323846L;
  EXPECT_EQ(scientific_text(v, -1), " 3.1415926535897932E+0000");
  EXPECT_EQ(scientific_text(v, 0), " 3.1E+0000");
  EXPECT_EQ(scientific_text(v, 9), " 3.1E+0000");
  EXPECT_EQ(scientific_text(v, 10), " 3.1E+0000");
  EXPECT_EQ(scientific_text(v, 24), " 3.141592653589793E+0000");
  EXPECT_EQ(scientific_text(v, 25), " 3.1415926535897932E+0000");
  EXPECT_EQ(scientific_text(v, 40), std::string(15, ' ') + " 3.1415926535897932E+0000");
  EXPECT_EQ(number_text::scientific(-v, 40).view(), "-3.1415926535897932E+0000");
  for (int w = 10; w <= 25; ++w) EXPECT_EQ(scientific_text(-v, w).size(), static_cast<std::size_t>(w));
}

TEST(NumberTextScientific, CarryThroughAllDigitsAddsOneDigit) {
  EXPECT_EQ(scientific_text(9.96L, 10), " 1.00E+0001");
  EXPECT_EQ(scientific_text(-9.99999999999999999L, -1), "-1.00000000000000000E+0001");
  EXPECT_EQ(scientific_text(0.000995L, 0), " 1.00E-0003");
  EXPECT_EQ(scientific_text(9.94L, 10), " 9.9E+0000");
}

TEST(NumberTextScientific, PowersOfTenStoredBelowKeepTheirDigitCount) {
  EXPECT_EQ(scientific_text(0.01L, 10), " 1.0E-0002");
  EXPECT_EQ(scientific_text(0.001L, -1), " 1.0000000000000000E-0003");
  EXPECT_EQ(scientific_text(1e-5L, 14), " 1.00000E-0005");
  EXPECT_EQ(scientific_text(0.1L, 25), " 1.0000000000000000E-0001");
}

TEST(NumberTextScientific, ExtremeMagnitudesAreExact) {
  EXPECT_EQ(scientific_text(LDBL_MAX, -1), " 1.1897314953572318E+4932");
  EXPECT_EQ(scientific_text(-LDBL_TRUE_MIN, -1), "-3.6451995318824746E-4951");
  EXPECT_EQ(scientific_text(LDBL_MIN, 14), " 3.36210E-4932");
  EXPECT_EQ(scientific_text(std::ldexp(1.0L, 64), 25), " 1.8446744073709552E+0019");
}

TEST(NumberTextScientific, HalfUpOnTheExactBinaryValue) {
  // 0.125 and 2.5 are exact halves: they round up.
  EXPECT_EQ(scientific_text(0.125L, 0), " 1.3E-0001");
  EXPECT_EQ(scientific_text(2.25L, 0), " 2.3E+0000");
  // One unit in the last place below 0.125: the 2^-63 increase lifts it.
  EXPECT_EQ(scientific_text(std::nextafter(0.125L, 0.0L), 0), " 1.3E-0001");
  // Well below the half-way point it stays down.
  EXPECT_EQ(scientific_text(0.125L - 1e-15L, 0), " 1.2E-0001");
}

TEST(NumberTextFixed, DocumentedExamples) {
  const FixedCase cases[] = {
      {0.25L, 10, 7, " 0.2500000"},
      {-1.23456L, 7, 3, " -1.235"},
      {2.5L, 3, 0, "  3"},
      {0.0005L, 5, 3, "0.001"},
      {-0.0004L, 6, 3, "-0.000"},
      {123456789012345678901.0L, 0, 0, "123456789012345680000"},
      {1234.123456789012345678L, 0, 17, "1234.12345678901230000"},
      {9.9996L, 7, 3, " 10.000"},
      {1.5e40L, 0, 2, " 1.5000000000000000E+0040"},
  };
  for (const auto& c : cases) EXPECT_EQ(fixed_text(c.value, c.width, c.decimals), c.text) << c.text;
}

TEST(NumberTextFixed, SignZeroAndDecimalCount) {
  EXPECT_EQ(fixed_text(-0.0L, 0, 2), "-0.00");
  EXPECT_EQ(fixed_text(0.0L, 4, 0), "   0");
  EXPECT_EQ(fixed_text(-0.4L, 0, 0), "-0");
  EXPECT_EQ(fixed_text(0.5L, 0, 0), "1");
  EXPECT_EQ(fixed_text(1.0L / 3, 0, 20), "0.33333333333333333");
  EXPECT_EQ(fixed_text(2.0L / 3, 0, 17), "0.66666666666666667");
  EXPECT_EQ(fixed_text(12.5L, 0, -3), "13");
  EXPECT_EQ(fixed_text(0.01L, 0, 2), "0.01");
  EXPECT_EQ(fixed_text(0.001L, 0, 17), "0.00100000000000000");
  EXPECT_EQ(fixed_text(LDBL_TRUE_MIN, 0, 17), "0.00000000000000000");
  EXPECT_EQ(fixed_text(-LDBL_TRUE_MIN, 0, 3), "-0.000");
  EXPECT_EQ(fixed_text(5e-18L, 0, 17), "0.00000000000000001");
}

TEST(NumberTextFixed, SeventeenDigitsThenZeros) {
  EXPECT_EQ(fixed_text(123456789.123456789L, 0, 10), "123456789.1234567900");
  EXPECT_EQ(fixed_text(99999999999999999.5L, 0, 1), "100000000000000000.0");
  EXPECT_EQ(fixed_text(1e35L, 0, 0), "100000000000000000000000000000000000");
}

TEST(NumberTextFixed, SwitchesToScientificFrom1e36) {
  EXPECT_EQ(fixed_text(std::nextafter(1e36L, kInf), 0, 2), " 1.0000000000000000E+0036");
  EXPECT_EQ(fixed_text(-2e300L, 30, 0), "     -2.0000000000000000E+0300");
  // 1e36 is stored just below 10^36 and rounds up to it at the 17th digit:
  // written in the scientific form, whose rounding carries through every digit.
  EXPECT_EQ(fixed_text(1e36L, 0, 1), " 1.00000000000000000E+0036");
  EXPECT_EQ(fixed_text(999999999999999940000000000000000000.0L, 0, 1),
            "999999999999999940000000000000000000.0");
}

TEST(NumberTextSpecial, NanAndInfinitiesInBothForms) {
  EXPECT_EQ(scientific_text(kNan, 6), "   Nan");
  EXPECT_EQ(scientific_text(kInf, -1), "+Inf");
  EXPECT_EQ(scientific_text(-kInf, 0), "-Inf");
  EXPECT_EQ(fixed_text(-kNan, 5, 2), "  Nan");
  EXPECT_EQ(fixed_text(kInf, 5, 2), " +Inf");
  EXPECT_EQ(fixed_text(-kInf, 2, 2), "-Inf");
}

TEST(NumberTextInteger, DigitsSignAndWidth) {
  EXPECT_EQ(integer_text(0, 3), "  0");
  EXPECT_EQ(integer_text(-42, 5), "  -42");
  EXPECT_EQ(integer_text(123456, 2), "123456");
  EXPECT_EQ(integer_text(INT64_MIN, 0), "-9223372036854775808");
  EXPECT_EQ(integer_text(INT64_MAX, -1), "9223372036854775807");
}

TEST(NumberTextWriters, WritePaddedTexts) {
  char* buffer = nullptr;
  std::size_t size = 0;
  std::FILE* f = open_memstream(&buffer, &size);
  ASSERT_NE(f, nullptr);
  {
    TextWriter out(f, "memory", "test output");
    write_scientific(out, 0.5L, 12);
    write_fixed(out, -1.25L, 8, 1);
    write_integer(out, 7, 3);
    write_fixed(out, 1e-3L, -1, 3);
    write_scientific(out, kNan, 5);
    EXPECT_EQ(out.column(), 12 + 8 + 3 + 5 + 5);
    out.flush();
  }
  std::fclose(f);
  EXPECT_EQ(std::string(buffer, size), " 5.000E-0001    -1.3  70.001  Nan");
  std::free(buffer);
}

TEST(NumberTextRS, ShortensTheExponent) {
  EXPECT_EQ(RS(1234.5678L, 8), " 1.2E+03");
  EXPECT_EQ(RS(1234.5678L, 7), " 1.2E+03");
  EXPECT_EQ(RS(-0.0L, 8), "-0.0E+00");
  EXPECT_EQ(RS(9.999L, 8), " 1.00E+01");
  EXPECT_EQ(RS(0.015625L, 12), " 1.56250E-02");
  EXPECT_EQ(RS(-1.5L, 23), "-1.5000000000000000E+00");
  EXPECT_EQ(RS(1.5L, 28), "      1.5000000000000000E+00");
  EXPECT_EQ(RS(1.5L, 28).size(), 28u);
}

TEST(NumberTextRS, KeepsEveryDigitOfLongExponents) {
  EXPECT_EQ(RS(1.5e-123L, 8), " 1.5E-123");
  EXPECT_EQ(RS(2e300L, 10), " 2.000E+300");
  EXPECT_EQ(RS(-1e-4931L, 8), "-1.0E-4931");
  EXPECT_EQ(RS(LDBL_MAX, 8), " 1.2E+4932");
}

TEST(NumberTextRS, WideFieldsAreNotCut) {
  EXPECT_EQ(RS(1.5L, 29), "       1.5000000000000000E+00");
  EXPECT_EQ(RS(-1.5L, 30), "       -1.5000000000000000E+00");
  // The result holds at most 30 characters: wider fields stay at 30.
  EXPECT_EQ(RS(1.5L, 200), "        1.5000000000000000E+00");
}

TEST(NumberTextRS, SpecialValuesStayWhole) {
  EXPECT_EQ(RS(kNan, 8), "     Nan");
  EXPECT_EQ(RS(-kInf, 3), "    -Inf");
  EXPECT_EQ(RS(kInf, 12), "        +Inf");
}

// ---------------------------------------------------------------------------
// Independent check: the texts of random values against their exact decimal
// expansion, computed here with plain schoolbook arithmetic.

using Nat = std::vector<std::uint32_t>;  // little-endian base 2^32, no top zeros

void trim(Nat& a) {
  while (!a.empty() && a.back() == 0) a.pop_back();
}

Nat nat(std::uint64_t v) {
  Nat a{static_cast<std::uint32_t>(v), static_cast<std::uint32_t>(v >> 32)};
  trim(a);
  return a;
}

void mul_small(Nat& a, std::uint32_t f) {
  std::uint64_t carry = 0;
  for (auto& limb : a) {
    const std::uint64_t t = static_cast<std::uint64_t>(limb) * f + carry;
    limb = static_cast<std::uint32_t>(t);
    carry = t >> 32;
  }
  if (carry != 0) a.push_back(static_cast<std::uint32_t>(carry));
  trim(a);
}

void add(Nat& a, const Nat& b) {
  if (a.size() < b.size()) a.resize(b.size(), 0);
  std::uint64_t carry = 0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const std::uint64_t t = static_cast<std::uint64_t>(a[i]) + (i < b.size() ? b[i] : 0) + carry;
    a[i] = static_cast<std::uint32_t>(t);
    carry = t >> 32;
  }
  if (carry != 0) a.push_back(static_cast<std::uint32_t>(carry));
}

void shift_left(Nat& a, int bits) {
  if (a.empty()) return;
  a.insert(a.begin(), static_cast<std::size_t>(bits / 32), 0);
  for (int i = 0; i < bits % 32; ++i) mul_small(a, 2);
}

Nat times(const Nat& a, std::uint64_t f) {
  Nat low = a;
  mul_small(low, static_cast<std::uint32_t>(f));
  Nat high = a;
  mul_small(high, static_cast<std::uint32_t>(f >> 32));
  if (!high.empty()) high.insert(high.begin(), 0);
  add(low, high);
  trim(low);
  return low;
}

int compare(const Nat& a, const Nat& b) {
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  for (std::size_t i = a.size(); i-- > 0;)
    if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
  return 0;
}

const Nat& pow5(int k) {
  static std::vector<Nat> table{nat(1)};
  while (static_cast<int>(table.size()) <= k) {
    Nat next = table.back();
    mul_small(next, 5);
    table.push_back(std::move(next));
  }
  return table[static_cast<std::size_t>(k)];
}

// a as mantissa * 2^exponent, roughly, for estimates only.
REAL approximate(const Nat& a, int& exponent) {
  REAL v = 0;
  const std::size_t top = a.size() > 3 ? a.size() - 3 : 0;
  for (std::size_t i = a.size(); i-- > top;) v = v * 4294967296.0L + a[i];
  exponent = static_cast<int>(top) * 32;
  return v;
}

// x = m * 2^e against 10^j as the integers num / den.
void ratio(std::uint64_t m, int e, int j, Nat& num, Nat& den) {
  num = nat(m);
  den = nat(1);
  if (j >= 0)
    den = pow5(j);
  else
    num = times(pow5(-j), m);
  if (e - j >= 0)
    shift_left(num, e - j);
  else
    shift_left(den, j - e);
}

// The 19 leading decimal digits of x > 0, truncated, and the exponent of
// the first of them.
struct Expansion {
  std::string digits;
  int exponent;
};

Expansion expand(REAL x) {
  int ex = 0;
  const REAL fraction = std::frexp(x, &ex);
  const auto m = static_cast<std::uint64_t>(std::ldexp(fraction, 64));
  const int e = ex - 64;
  Nat num;
  Nat den;
  const auto at_least = [&](int j) {
    ratio(m, e, j, num, den);
    return compare(num, den) >= 0;
  };
  int exponent = static_cast<int>(std::floor(std::log10(x)));
  while (!at_least(exponent)) --exponent;
  while (at_least(exponent + 1)) ++exponent;

  ratio(m, e, exponent - 18, num, den);
  int num_exp = 0;
  int den_exp = 0;
  const REAL top_num = approximate(num, num_exp);
  const REAL top_den = approximate(den, den_exp);
  const REAL estimate = std::ldexp(top_num / top_den, num_exp - den_exp);
  auto t = static_cast<std::uint64_t>(std::clamp(estimate, 1e18L, 9999999999999999999.0L));
  while (compare(times(den, t + 1), num) <= 0) ++t;
  while (compare(times(den, t), num) > 0) --t;
  EXPECT_TRUE(t >= 1000000000000000000ULL && t <= 9999999999999999999ULL);
  return {std::to_string(t), exponent};
}

REAL increased(REAL x) {
  if (x < 1) return x + std::ldexp(x, -63);
  const REAL whole = std::trunc(x);
  REAL f = x - whole;
  f = f + std::ldexp(f, -63);
  return whole + f;
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
  const Expansion x = expand(increased(std::fabs(value)));
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
  const Expansion x = expand(increased(std::fabs(value)));
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

// Random 80-bit values: random significand bits with exponents across the
// whole range (subnormals included), moderate magnitudes, and short binary
// fractions that land exactly on half-way points.
REAL random_value(std::mt19937_64& rng) {
  std::uniform_int_distribution<int> kind(0, 9);
  const int k = kind(rng);
  std::uint64_t bits = rng();
  REAL v = 0;
  if (k < 5) {
    const int biased = std::uniform_int_distribution<int>(0, 32766)(rng);
    if (biased == 0)
      v = std::ldexp(static_cast<REAL>(bits >> 1), -16445);
    else
      v = std::ldexp(static_cast<REAL>(bits | (1ULL << 63)), biased - 16383 - 63);
  } else if (k < 8) {
    v = std::ldexp(static_cast<REAL>(bits | (1ULL << 63)), std::uniform_int_distribution<int>(-200, 60)(rng) - 63);
  } else {
    v = std::ldexp(static_cast<REAL>(bits >> 40), -std::uniform_int_distribution<int>(0, 30)(rng));
  }
  return (rng() & 1) != 0 ? -v : v;
}

TEST(NumberTextExactness, RandomValuesMatchTheirExactExpansion) {
  std::mt19937_64 rng(20240611);
  constexpr int kValues = 100000;
  int failures = 0;
  for (int i = 0; i < kValues && failures < 20; ++i) {
    const REAL v = random_value(rng);
    if (v == 0) continue;
    const int width = std::uniform_int_distribution<int>(-1, 30)(rng);
    const int decimals = std::uniform_int_distribution<int>(0, 20)(rng);
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
  }
  EXPECT_EQ(failures, 0);
}

}  // namespace

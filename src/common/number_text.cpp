#include "common/number_text.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cassert>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "common/text_writer.h"

// How the digits are found. For x = |value| = m * 2^e (m the 64-bit
// significand) with fractional part f (for x < 1, f = x), the digits are
// those of the exact value V = int(x) + f * (1 + 2^-63), rounded half-up;
// neither the increase nor the sum is rounded to REAL. With F the bits of m
// below the binary point (all of m for x < 1), f = F * 2^e and
// V = (m * 2^63 + F) * 2^(e - 63), a significand of up to 127 bits.
//
// The increase F * 2^(e-63) is at most x * 2^-63: below two units of m, and
// about a hundredth of a unit of the last digit at most (no text has more
// than 17 digits). The paths that divide by a power of two carry it as the
// whole number of their smallest unit it makes: every rounding threshold (a
// multiple of the digit unit, or half of one) is a whole number of that
// unit, so the rest of it never decides. Where the last digit's unit is 10 or
// more, every threshold is a whole number, which V reaches only if x does.
// Otherwise the big-number path takes V's 127-bit significand as it is.
// The decimal exponent of V is that of x, except when x < 1 lies within two
// units of m below a power of ten; that case is settled exactly.

namespace number_text {
namespace {

__extension__ typedef unsigned __int128 u128;
using u64 = std::uint64_t;

// The decomposition below reads the x87 extended layout directly: 64-bit
// significand with an explicit integer bit, then sign and 15-bit exponent.
static_assert(std::numeric_limits<REAL>::max_exponent == 16384);
static_assert(std::endian::native == std::endian::little);

constexpr int kExponentBias = 16383;
constexpr int kSignificandBits = 64;
constexpr int kMaxDigits = 17;      // significant digits ever computed
constexpr int kFixedLimitPower = 36;  // fixed texts from 10^36 on are scientific

// 5^k fits 64 bits up to k = 27, so the fast paths work within |q| <= 27.
constexpr int kSmallPow5 = 27;

constexpr std::array<u64, kSmallPow5 + 1> make_pow5() {
  std::array<u64, kSmallPow5 + 1> p{};
  p[0] = 1;
  for (int k = 1; k <= kSmallPow5; ++k) p[k] = p[k - 1] * 5;
  return p;
}
constexpr auto kPow5 = make_pow5();

constexpr std::array<u64, 20> make_pow10() {
  std::array<u64, 20> p{};
  p[0] = 1;
  for (int k = 1; k < 20; ++k) p[k] = p[k - 1] * 10;
  return p;
}
constexpr auto kPow10 = make_pow10();

// ---------------------------------------------------------------------------
// Exact arithmetic for the values the 128-bit paths cannot hold: the largest
// and smallest magnitudes. Sizes: the biggest operand is below 2^16510.

constexpr int kBigLimbs = 264;

// 5^(128 j) for j = 0..39, built at compile time, so 5^k for any k this
// type's range needs costs one copy and at most five short multiplications.
constexpr int kPow5Step = 128;
constexpr int kPow5Entries = 40;
constexpr int kPow5TableLimbs = 3700;

struct Pow5Table {
  std::array<u64, kPow5TableLimbs> limbs{};
  std::array<int, kPow5Entries + 1> offset{};
};

constexpr Pow5Table make_pow5_table() {
  Pow5Table t{};
  std::array<u64, 200> cur{};
  int n = 1;
  cur[0] = 1;
  int pos = 0;
  for (int j = 0; j < kPow5Entries; ++j) {
    t.offset[j] = pos;
    for (int i = 0; i < n; ++i) t.limbs[pos++] = cur[i];
    for (int step : {27, 27, 27, 27, 20}) {
      u64 carry = 0;
      for (int i = 0; i < n; ++i) {
        const u128 v = static_cast<u128>(cur[i]) * kPow5[step] + carry;
        cur[i] = static_cast<u64>(v);
        carry = static_cast<u64>(v >> 64);
      }
      if (carry != 0) cur[n++] = carry;
    }
  }
  t.offset[kPow5Entries] = pos;
  return t;
}
constexpr Pow5Table kPow5Table = make_pow5_table();

struct Big {
  u64 w[kBigLimbs];
  int n = 0;  // limbs in use; w[n-1] != 0 unless n == 0

  void set(u64 v) {
    w[0] = v;
    n = v != 0 ? 1 : 0;
  }

  void set(u128 v) {
    w[0] = static_cast<u64>(v);
    w[1] = static_cast<u64>(v >> 64);
    n = w[1] != 0 ? 2 : (w[0] != 0 ? 1 : 0);
  }

  void mul(u64 f) {
    u64 carry = 0;
    for (int i = 0; i < n; ++i) {
      const u128 v = static_cast<u128>(w[i]) * f + carry;
      w[i] = static_cast<u64>(v);
      carry = static_cast<u64>(v >> 64);
    }
    if (carry != 0) w[n++] = carry;
    assert(n <= kBigLimbs);
  }

  // One pass with a two-limb factor: limb i of each partial product goes to
  // limbs i, i+1 and i+2.
  void mul(u128 f) {
    const u64 lo = static_cast<u64>(f);
    const u64 hi = static_cast<u64>(f >> 64);
    if (hi == 0) {
      mul(lo);
      return;
    }
    if (n == 0) return;
    assert(n + 2 <= kBigLimbs);
    u128 due = 0;   // owed to limb i; past 64 bits it carries on
    u64 later = 0;  // owed to limb i + 1 by the previous high product
    for (int i = 0; i < n; ++i) {
      const u128 pl = static_cast<u128>(w[i]) * lo;
      const u128 ph = static_cast<u128>(w[i]) * hi;
      due += static_cast<u64>(pl);
      w[i] = static_cast<u64>(due);
      due = (due >> 64) + (pl >> 64) + static_cast<u64>(ph) + later;
      later = static_cast<u64>(ph >> 64);
    }
    w[n] = static_cast<u64>(due);
    w[n + 1] = static_cast<u64>(due >> 64) + later;
    n += 2;
    trim();
  }

  void set_pow5(int k) {
    const int j = k / kPow5Step;
    assert(j < kPow5Entries);
    const int begin = kPow5Table.offset[j];
    n = kPow5Table.offset[j + 1] - begin;
    std::copy_n(kPow5Table.limbs.begin() + begin, n, w);
    for (int r = k % kPow5Step; r > 0; r -= kSmallPow5) mul(kPow5[std::min(r, kSmallPow5)]);
  }

  void shl(int bits) {
    if (n == 0 || bits == 0) return;
    const int limbs = bits / 64;
    const int b = bits % 64;
    assert(n + limbs + 1 <= kBigLimbs);
    if (b == 0) {
      for (int i = n - 1; i >= 0; --i) w[i + limbs] = w[i];
      w[n + limbs] = 0;
    } else {
      w[n + limbs] = w[n - 1] >> (64 - b);
      for (int i = n - 1; i > 0; --i) w[i + limbs] = (w[i] << b) | (w[i - 1] >> (64 - b));
      w[limbs] = w[0] << b;
    }
    std::fill_n(w, limbs, u64{0});
    n += limbs + 1;
    trim();
  }

  void trim() {
    while (n > 0 && w[n - 1] == 0) --n;
  }

  int bit_length() const { return n == 0 ? 0 : (n - 1) * 64 + std::bit_width(w[n - 1]); }

  // (value >> shift) cut to its low 128 bits.
  u128 bits_from(int shift) const {
    const int limb = shift / 64;
    const int b = shift % 64;
    const auto at = [&](int k) { return k < n ? w[k] : u64{0}; };
    const u128 low = (static_cast<u128>(at(limb + 1)) << 64) | at(limb);
    if (b == 0) return low;
    return (low >> b) | (static_cast<u128>(at(limb + 2)) << (128 - b));
  }
};

int compare(const Big& a, const Big& b) {
  if (a.n != b.n) return a.n < b.n ? -1 : 1;
  for (int i = a.n - 1; i >= 0; --i)
    if (a.w[i] != b.w[i]) return a.w[i] < b.w[i] ? -1 : 1;
  return 0;
}

// a -= b where a >= b.
void subtract(Big& a, const Big& b) {
  u64 borrow = 0;
  for (int i = 0; i < a.n; ++i) {
    const u64 bi = i < b.n ? b.w[i] : 0;
    const u64 d = a.w[i] - bi - borrow;
    borrow = (a.w[i] < bi || (a.w[i] == bi && borrow != 0)) ? 1 : 0;
    a.w[i] = d;
  }
  a.trim();
}

// v = m * 2^e compared with 10^q as the integer ratio num / den.
void make_ratio(u128 m, int e, int q, Big& num, Big& den) {
  if (q <= 0) {
    num.set_pow5(-q);
    num.mul(m);
    den.set(u64{1});
  } else {
    num.set(m);
    den.set_pow5(q);
  }
  const int a = e - q;
  if (a >= 0)
    num.shl(a);
  else
    den.shl(-a);
}

// floor(x / 10^q), and whether the remainder is at least half of 10^q.
struct Scaled {
  u64 floor = 0;
  bool half_up = false;
};

// Division whose quotient is known to fit 64 bits: estimate the quotient
// from the leading bits (never above the true one, at most a few below),
// then settle it exactly.
Scaled divide(const Big& num, const Big& den) {
  const int den_bits = den.bit_length();
  if (num.bit_length() <= den_bits - 2) return {};  // num < den / 2
  const int shift = std::max(den_bits - 64, 0);
  const u128 top_num = num.bits_from(shift);
  const u64 top_den = static_cast<u64>(den.bits_from(shift));
  u64 quotient = static_cast<u64>(shift == 0 ? top_num / top_den : top_num / (static_cast<u128>(top_den) + 1));
  Big rem = num;
  if (quotient != 0) {
    Big product = den;
    product.mul(quotient);
    subtract(rem, product);
  }
  while (compare(rem, den) >= 0) {
    subtract(rem, den);
    ++quotient;
  }
  rem.shl(1);
  return {quotient, compare(rem, den) >= 0};
}

Scaled scale_exact(u128 m, int e, int q) {
  Big num;
  Big den;
  make_ratio(m, e, q, num, den);
  return divide(num, den);
}

// x = |value| = m * 2^e, and the bits of m below the binary point.
struct Magnitude {
  u64 m;  // 0 only for a zero value
  int e;
  u64 fraction;  // all of m when x < 1, 0 for whole numbers
  bool below_one() const { return fraction == m && m != 0; }
  // V = significand() * 2^(e - 63).
  u128 significand() const { return (static_cast<u128>(m) << 63) + fraction; }
};

Magnitude magnitude_of(REAL value) {
  unsigned char bytes[sizeof(REAL)];
  std::memcpy(bytes, &value, sizeof(REAL));
  Magnitude v{};
  std::memcpy(&v.m, bytes, sizeof(u64));
  std::uint16_t sign_exponent = 0;
  std::memcpy(&sign_exponent, bytes + sizeof(u64), sizeof(sign_exponent));
  const int biased = sign_exponent & 0x7fff;  // the sign is not part of it
  v.e = std::max(biased, 1) - kExponentBias - (kSignificandBits - 1);
  if (v.e < 0) v.fraction = v.e <= -64 ? v.m : v.m & ((u64{1} << -v.e) - 1);
  return v;
}

// The 128-bit paths: x / 10^q = m * 5^-q * 2^(e-q), with one of the powers
// in the denominator when negative; V / 10^q adds fraction / 2^63 to m.
// Returns false when they cannot hold it.
bool scale_fast(const Magnitude& v, int q, Scaled& out) {
  const u64 m = v.m;
  const int a = v.e - q;
  if (q <= 0) {
    if (q < -kSmallPow5) return false;
    const u64 p5 = kPow5[-q];
    const u128 p = static_cast<u128>(m) * p5;  // below 2^126.7
    if (a >= 0) {
      // x / 10^q is a whole number here; with fraction bits it would be at
      // least m * 2^(e-q) * 5^-q >= 2^63 for a normal m, more digits than
      // any text has. Such cases go to the exact path.
      if (v.fraction != 0 || a >= 64 || (p >> (64 - a)) != 0) return false;
      out = {static_cast<u64>(p << a), false};
      return true;
    }
    // In units of 2^-s, x / 10^q is p and V / 10^q is p + fraction * 5^-q
    // / 2^63, below p + 2^64: whole units decide.
    const int s = -a;
    const u128 n = p + ((static_cast<u128>(v.fraction) * p5) >> 63);  // below 2^127
    if (s >= 128) {
      out = {};
      return true;
    }
    const u128 f = n >> s;
    if ((f >> 64) != 0) return false;
    const u128 r = n - (f << s);
    out = {static_cast<u64>(f), r >= (static_cast<u128>(1) << (s - 1))};
    return true;
  }
  // From here on q > 0, and every threshold (a multiple of 10^q / 2) is a
  // whole number of at least 5. A value with fraction bits is below 2^63, so
  // the whole numbers above it are REALs, and V, below the REAL after x (and
  // below 2 for x < 1), reaches none of them that x does not: V rounds as x
  // does, and the fraction bits play no part.
  if (q > kSmallPow5) return false;
  const u64 d5 = kPow5[q];
  if (a >= 0) {
    if (a > 63) return false;
    const u128 n = static_cast<u128>(m) << a;
    const u128 f = n / d5;
    if ((f >> 64) != 0) return false;
    const u64 r = static_cast<u64>(n - f * d5);
    out = {static_cast<u64>(f), 2 * static_cast<u128>(r) >= d5};
    return true;
  }
  const int s = -a;
  // Denominator d5 * 2^s; from 2^64 on it exceeds m, so the quotient is 0.
  if (s >= 64 || ((static_cast<u128>(d5) << s) >> 64) != 0) {
    const u128 den = s >= 64 ? 0 : static_cast<u128>(d5) << s;
    out = {0, s < 64 && 2 * static_cast<u128>(m) >= den};
    return true;
  }
  const u64 den = d5 << s;
  const u64 f = m / den;
  const u64 r = m - f * den;
  out = {f, 2 * static_cast<u128>(r) >= den};
  return true;
}

// floor(V / 10^q) and whether the rest is at least one half, exactly.
Scaled scale(const Magnitude& v, int q) {
  Scaled s;
  if (scale_fast(v, q, s)) return s;
  if (v.fraction == 0 || q > 0) return scale_exact(v.m, v.e, q);
  return scale_exact(v.significand(), v.e - 63, q);
}

// Whether m * 2^e >= 10^j, exactly.
bool at_least_pow10(u64 m, int e, int j) {
  const int a = e - j;
  if (j >= 0 && j <= kSmallPow5) {  // m * 2^a >= 5^j
    if (a >= 0) return a >= 64 || (static_cast<u128>(m) << a) >= kPow5[j];
    const int s = -a;
    if (s >= 64) return false;
    return static_cast<u128>(m) >= (static_cast<u128>(kPow5[j]) << s);
  }
  if (j < 0 && j >= -kSmallPow5) {  // m * 5^-j * 2^a >= 1
    if (a >= 0) return true;
    const u128 p = static_cast<u128>(m) * kPow5[-j];
    const int s = -a;
    return s < 128 && (p >> s) != 0;
  }
  Big num;
  Big den;
  make_ratio(m, e, j, num, den);
  return compare(num, den) >= 0;
}

// floor(log10(V)) for V != 0.
int decimal_exponent(const Magnitude& v) {
  // An upper bound of V: x itself when x >= 1, as V is then below the REAL
  // after x, and no power of ten lies between (x < 2^64, 10^20 is a REAL).
  // Below 1, V = x (1 + 2^-63) < (m + 2) * 2^e.
  u64 m_up = v.m;
  int e_up = v.e;
  if (v.below_one()) {
    if (v.m <= std::numeric_limits<u64>::max() - 2) {
      m_up = v.m + 2;
    } else {
      m_up = (u64{1} << 63) + 1;  // (2^64 + 2) * 2^e
      e_up = v.e + 1;
    }
  }
  const int lg2 = v.e + 63 - std::countl_zero(v.m);
  // The estimate is at most one off; the exact tests settle it.
  int exponent = static_cast<int>(std::floor(lg2 * 0.30102999566398119521));
  while (!at_least_pow10(v.m, v.e, exponent)) --exponent;  // V >= x
  for (;; ++exponent) {
    if (!at_least_pow10(m_up, e_up, exponent + 1)) return exponent;
    if (!at_least_pow10(v.m, v.e, exponent + 1)) break;
  }
  // x < 10^(exponent+1) <= the bound: x lies just below a power of ten.
  Big num;
  Big den;
  make_ratio(v.significand(), v.e - 63, exponent + 1, num, den);
  return compare(num, den) >= 0 ? exponent + 1 : exponent;
}

constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Exactly count digits of v (leading zeros included), ending at out + count.
void put_digits(char* out, u64 v, int count) {
  char* p = out + count;
  while (count >= 2) {
    p -= 2;
    std::memcpy(p, &kDigitPairs[(v % 100) * 2], 2);
    v /= 100;
    count -= 2;
  }
  if (count != 0) *--p = static_cast<char>('0' + v % 10);
}

int digit_count(u64 v) {
  int c = 1;
  while (c < 20 && v >= kPow10[c]) ++c;
  return c;
}

int scientific_digits(int width) {
  if (width >= 0 && width < 10) return 2;
  if (width >= 10 && width <= 24) return width - 8;
  return kMaxDigits;
}

bool special_text(REAL value, Text& t) {
  const char* s = nullptr;
  if (std::isnan(value))
    s = "Nan";
  else if (std::isinf(value))
    s = value < 0 ? "-Inf" : "+Inf";
  else
    return false;
  t.length = static_cast<int>(std::strlen(s));
  std::memcpy(t.chars, s, static_cast<std::size_t>(t.length));
  return true;
}

// Sign, digits as d.ddd (count of them), 'E', exponent sign, four digits.
Text scientific_from(bool negative, u64 digits, int count, int exponent) {
  Text t;
  char* p = t.chars;
  *p++ = negative ? '-' : ' ';
  char buf[24];
  put_digits(buf, digits, count);
  *p++ = buf[0];
  *p++ = '.';
  std::memcpy(p, buf + 1, static_cast<std::size_t>(count - 1));
  p += count - 1;
  *p++ = 'E';
  *p++ = exponent < 0 ? '-' : '+';
  put_digits(p, static_cast<u64>(exponent < 0 ? -exponent : exponent), 4);
  p += 4;
  t.length = static_cast<int>(p - t.chars);
  return t;
}

}  // namespace

Text scientific(REAL value, int width) {
  Text t;
  if (special_text(value, t)) return t;
  const bool negative = std::signbit(value);
  const int digits = scientific_digits(width);
  const Magnitude v = magnitude_of(value);
  if (v.m == 0) return scientific_from(negative, 0, digits, 0);
  const int exponent = decimal_exponent(v);
  const Scaled s = scale(v, exponent - digits + 1);
  assert(s.floor >= kPow10[digits - 1] && s.floor < kPow10[digits]);
  const u64 rounded = s.floor + (s.half_up ? 1 : 0);
  // A carry through every digit keeps the extra digit: 9.96 -> 1.00E+0001.
  if (rounded == kPow10[digits]) return scientific_from(negative, rounded, digits + 1, exponent + 1);
  return scientific_from(negative, rounded, digits, exponent);
}

Text fixed(REAL value, int decimals) {
  Text t;
  if (special_text(value, t)) return t;
  const int d = std::clamp(decimals, 0, kMaxDigits);
  const bool negative = std::signbit(value);
  const Magnitude v = magnitude_of(value);

  // The rounded value is rounded * 10^q; q = -d unless the 17 digits counted
  // from the first integer digit end before the d-th decimal. For x < 1, V
  // may reach 1 only below 1 + 2^-64, which rounds to 1.000... at 16 or 17
  // decimals alike, so q = -d holds for all x < 1.
  u64 rounded = 0;
  int q = -d;
  if (v.m != 0) {
    int exponent = -1;
    if (!v.below_one()) {
      exponent = decimal_exponent(v);
      if (exponent >= kFixedLimitPower) return scientific(value, -1);
      q = std::max(q, exponent - (kMaxDigits - 1));
    }
    const Scaled s = scale(v, q);
    rounded = s.floor + (s.half_up ? 1 : 0);
    // Only a carry through all 17 digits of a value below 10^36 reaches it.
    if (exponent == kFixedLimitPower - 1 && rounded == kPow10[kMaxDigits]) return scientific(value, -1);
  }

  char* p = t.chars;
  if (negative) *p++ = '-';
  const int frac_digits = q < 0 ? -q : 0;
  const u64 whole = rounded / kPow10[frac_digits];
  const u64 part = rounded % kPow10[frac_digits];
  const int whole_digits = digit_count(whole);
  put_digits(p, whole, whole_digits);
  p += whole_digits;
  if (whole != 0 && q > 0) {
    std::memset(p, '0', static_cast<std::size_t>(q));
    p += q;
  }
  if (d > 0) {
    *p++ = '.';
    put_digits(p, part, frac_digits);
    p += frac_digits;
    std::memset(p, '0', static_cast<std::size_t>(d - frac_digits));
    p += d - frac_digits;
  }
  t.length = static_cast<int>(p - t.chars);
  return t;
}

}  // namespace number_text

namespace {

std::string right_aligned(std::string_view text, int width) {
  std::string s;
  const int pad = width - static_cast<int>(text.size());
  if (pad > 0) s.assign(static_cast<std::size_t>(pad), ' ');
  s.append(text);
  return s;
}

struct IntegerText {
  char chars[24];
  int length;
  std::string_view view() const { return std::string_view(chars, static_cast<std::size_t>(length)); }
};

IntegerText integer_chars(std::int64_t value) {
  IntegerText t{};
  const auto r = std::to_chars(t.chars, t.chars + sizeof(t.chars), value);
  t.length = static_cast<int>(r.ptr - t.chars);
  return t;
}

}  // namespace

int blanks_before_number(std::string_view text, int width, bool after_blank) {
  if (width <= 0) return 0;
  const auto length = static_cast<std::int64_t>(text.size());
  if (length < width) return width - static_cast<int>(length);
  const bool fits = length == width && (text[0] == ' ' || text[0] == '-');
  return fits || after_blank || text[0] == ' ' ? 0 : 1;
}

void write_number_text(TextWriter& out, std::string_view text, int width) {
  out.write_blanks(blanks_before_number(text, width, out.after_blank()));
  out.write(text);
}

std::string scientific_text(REAL value, int width) {
  return right_aligned(number_text::scientific(value, width).view(), width);
}

std::string fixed_text(REAL value, int width, int decimals) {
  return right_aligned(number_text::fixed(value, decimals).view(), width);
}

std::string integer_text(std::int64_t value, int width) { return right_aligned(integer_chars(value).view(), width); }

void write_scientific(TextWriter& out, REAL value, int width) {
  write_number_text(out, number_text::scientific(value, width).view(), width);
}

void write_fixed(TextWriter& out, REAL value, int width, int decimals) {
  write_number_text(out, number_text::fixed(value, decimals).view(), width);
}

void write_integer(TextWriter& out, std::int64_t value, int width) {
  write_number_text(out, integer_chars(value).view(), width);
}

bool is_whole_label(REAL v, REAL within) { return std::fabs(v - std::trunc(v)) < within; }

NUMOUT RS(REAL R, int W) {
  constexpr int kWidest = 28;
  constexpr int kMinimum = 8;
  const int capacity = static_cast<int>(NUMOUT::capacity);
  if (!std::isfinite(R)) {
    // Cutting exponent digits out of "Nan" or "+Inf" would mangle them.
    return NUMOUT(scientific_text(R, std::clamp(W, kMinimum, capacity)));
  }
  std::string s = scientific_text(R, std::min(W, kWidest) + 2);
  // The exponent is the last four characters; drop its leading zeros, but
  // never more than the first two of its digits.
  const std::size_t exponent = s.size() - 4;
  if (s[exponent] == '0') s.erase(exponent, s[exponent + 1] == '0' ? 2 : 1);
  // Wider fields are not cut: the text is right-aligned in them instead.
  if (W > kWidest) s = right_aligned(s, std::min(W, capacity));
  return NUMOUT(s);
}

void write_number(TextWriter& out, REAL value, int width, int decimals) {
  if (decimals < 0) {
    write_scientific(out, value, width);
  } else {
    write_fixed(out, value, width, decimals);
  }
}

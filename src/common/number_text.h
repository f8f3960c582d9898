#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/bounded_string.h"
#include "common/real.h"

class TextWriter;

// The report's number texts. "Scientific, width w" and "fixed, width w,
// d decimals" are produced exactly by these rules: for x = |value| with
// fractional part f (for x < 1, f = x itself), the digits are those of the
// exact value V = int(x) + f * (1 + 2^-63), rounded half-up to the digits the
// form asks for. Neither the increase nor the sum is rounded to REAL, so a
// value within a unit of the last place of its 64-bit significand below a
// half-way point also rounds up. Everything derived from the digits follows
// V: the exponent of the scientific form, the 17-digit limit of the fixed
// form and its switch to the scientific form at 10^36.
namespace number_text {

inline constexpr int kMaxText = 72;

// An unpadded number text; the width only decides how many digits it has.
struct Text {
  char chars[kMaxText];
  int length = 0;
  std::string_view view() const { return std::string_view(chars, static_cast<std::size_t>(length)); }
};

// Scientific form: sign character ('-' or blank), d.ddd, 'E', exponent sign,
// at least four exponent digits. Digits: 2 for 0 <= width < 10, width - 8 for
// 10..24, 17 for width >= 25 or negative.
Text scientific(REAL value, int width);
// Fixed form with d decimals (d above 17 taken as 17, below 0 as 0).
Text fixed(REAL value, int decimals);

}  // namespace number_text

// Padded forms: right-aligned in width, never cut.
std::string scientific_text(REAL value, int width);
std::string fixed_text(REAL value, int width, int decimals);
std::string integer_text(std::int64_t value, int width);

// The blanks in front of a number text placed in a column of `width`. A
// text that fits is right-aligned, as always; one that does not is still
// kept apart from what stands before it on the line by one blank. The
// column's first position is the one that keeps it apart, so a text fits
// when it is shorter than the width, or exactly as wide and begins with a
// blank or a minus sign: the sign position of the scientific forms holds one
// of them, and a negative number that fills its width is written as it
// always was, its sign where the blank would be. A text that does not fit (a
// seven-digit count in width 7, an exponent of three or four digits, a
// width too small for any number) gets one blank in front, unless it begins
// with one or follows one (`after_blank`: at the start of a line or after a
// blank). Width 0 or less asks for the bare text.
int blanks_before_number(std::string_view text, int width, bool after_blank);

// The writers: every number placed in a column of a report, table or the
// console goes through blanks_before_number. The *_text forms above only
// right-align, for numbers inside a message or a note.
void write_scientific(TextWriter& out, REAL value, int width);
void write_fixed(TextWriter& out, REAL value, int width, int decimals);
void write_integer(TextWriter& out, std::int64_t value, int width);
// The report's number form: scientific when decimals is negative, else fixed.
void write_number(TextWriter& out, REAL value, int width, int decimals);
// A number text made beforehand (an RS text) placed in a column of width.
void write_number_text(TextWriter& out, std::string_view text, int width);

// Labels (row and column titles or numbers) are written as whole numbers when
// their fractional part is below a tolerance: 0.0005 for the row labels of the
// step listing and every label of the result report, 0.005 for the column
// labels of the step listing and for choosing its label width.
inline constexpr REAL kRowLabelWholeWithin = 0.0005L;
inline constexpr REAL kColumnLabelWholeWithin = 0.005L;
bool is_whole_label(REAL v, REAL within);

// RS: the scientific text in width W+2 with its exponent shortened to two
// digits ("E+03"). An exponent of three or more digits keeps all of them
// ("E+123", "E-4931"), so no digit is ever lost.
using NUMOUT = BoundedString<30>;
NUMOUT RS(REAL R, int W);

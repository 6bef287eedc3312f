// Number formatting and parsing for files and settings. These never go
// through the process locale: under a Polish locale printf would write a
// comma, and every file we exchange needs a decimal point.
#pragma once

#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

namespace pelmora {

// printf into a std::string under the "C" locale.
std::string cformat(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string vcformat(const char* fmt, va_list args);

// Fast equivalents of printf's "%*.*f" and "%*d" (right-aligned in width),
// for files with many thousands of lines. Same digits as printf.
void AppendFixed(std::string& out, double value, int width, int precision);
void AppendInt(std::string& out, long value, int width);

// The same written straight into a buffer, which must have room for
// kMaxNumberChars characters; each returns the end of what it wrote. For
// widths up to 32 and precisions up to 9.
inline constexpr int kMaxNumberChars = 400;
char* FixedToChars(char* out, double value, int width, int precision);
char* IntToChars(char* out, long value, int width);

namespace number_detail {
// "00" to "99": the digits of a number two at a time.
inline constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// The decimal digits of n written backwards ending before p, at least
// `digits` of them (leading zeros); returns where they start.
inline char* DigitsBefore(char* p, std::uint64_t n, int digits) {
  for (; n >= 100 || digits > 2; digits -= 2) {
    const unsigned two = static_cast<unsigned>(n % 100);
    n /= 100;
    p -= 2;
    std::memcpy(p, kDigitPairs + 2 * two, 2);
  }
  if (n >= 10 || digits == 2) {
    p -= 2;
    std::memcpy(p, kDigitPairs + 2 * n, 2);
  } else {
    *--p = static_cast<char>('0' + n);
  }
  return p;
}

// Exactly `Digits` decimal digits of n < 10^Digits written backwards ending
// before p (leading zeros); returns where they start.
template <int Digits>
inline char* ExactDigitsBefore(char* p, std::uint64_t n) {
  for (int i = 0; i + 2 <= Digits; i += 2) {
    p -= 2;
    std::memcpy(p, kDigitPairs + 2 * (n % 100), 2);
    n /= 100;
  }
  if constexpr (Digits % 2 == 1) *--p = static_cast<char>('0' + n);
  return p;
}

inline int DecimalDigits(std::uint64_t n) {
  int d = 1;
  for (; n >= 10000; n /= 10000) d += 4;
  return d + (n >= 10) + (n >= 100) + (n >= 1000);
}

constexpr std::uint64_t Pow10(int n) { return n == 0 ? 1 : 10 * Pow10(n - 1); }

// |value| * scale rounded to the nearest integer as printf rounds it, for
// the common case: the product well inside the integers a double holds
// exactly and its fraction clearly away from one half, so that the one
// rounding of the product cannot change which way it rounds. False (also
// for NaN and infinities) leaves the value to the exact conversion.
inline bool RoundedScaled(double value, double scale, std::uint64_t& n) {
  const double y = std::fabs(value) * scale;
  if (!(y < 1e15)) return false;
  // Truncation is the floor here: y is not negative.
  const std::uint64_t whole = static_cast<std::uint64_t>(y);
  const double frac = y - static_cast<double>(whole);
  if (std::fabs(frac - 0.5) <= y * 0x1p-51) return false;
  n = whole + (frac > 0.5 ? 1 : 0);
  return true;
}

// The end of a right-aligned field of Width characters at out, filled with
// blanks, for a number whose whole part is `whole`, followed by Tail more
// characters (point and decimals) and preceded by its sign: the field's own
// end unless the number is wider. Only a number that may not fit has its
// digits counted.
template <int Width, int Tail>
inline char* BlankField(char* out, std::uint64_t whole, bool negative) {
  constexpr int kRoom = Width - Tail;
  constexpr std::uint64_t kFits = kRoom >= 1 && kRoom <= 19 ? Pow10(kRoom) : 0;
  constexpr std::uint64_t kFitsSigned = kRoom >= 2 && kRoom <= 20 ? Pow10(kRoom - 1) : 0;
  std::memset(out, ' ', Width);
  if (whole < (negative ? kFitsSigned : kFits)) return out + Width;
  const int len = DecimalDigits(whole) + Tail + (negative ? 1 : 0);
  return out + (len > Width ? len : Width);
}
}  // namespace number_detail

// FixedToChars and IntToChars for a width and precision fixed when
// compiling, for the columns of long lists: the same text, written in place
// with the scaling's divisions by constants.
template <int Width, int Precision>
inline char* FixedFieldToChars(char* out, double value) {
  static_assert(Precision >= 0 && Precision <= 9 && Width >= 1 && Width <= 32);
  using namespace number_detail;
  constexpr std::uint64_t kScale = Pow10(Precision);
  std::uint64_t n;
  if (!RoundedScaled(value, static_cast<double>(kScale), n)) return FixedToChars(out, value, Width, Precision);
  const std::uint64_t units = n / kScale;
  const bool negative = std::signbit(value);
  char* const end = BlankField<Width, (Precision > 0 ? Precision + 1 : 0)>(out, units, negative);
  char* p = end;
  if constexpr (Precision > 0) {
    p = ExactDigitsBefore<Precision>(p, n % kScale);
    *--p = '.';
  }
  p = DigitsBefore(p, units, 1);
  if (negative) *--p = '-';
  return end;
}

template <int Width>
inline char* IntFieldToChars(char* out, long value) {
  static_assert(Width >= 1 && Width <= 32);
  using namespace number_detail;
  // The magnitude as unsigned: -LONG_MIN does not fit a long.
  const std::uint64_t magnitude = value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  char* const end = BlankField<Width, 0>(out, magnitude, value < 0);
  char* p = DigitsBefore(end, magnitude, 1);
  if (value < 0) *--p = '-';
  return end;
}

// A number in fixed notation with at least minDecimals decimals, or with as
// many more as it needs to read back as the same double. Files that round
// short decimals to fractions (a CIF's 0.2083 is 5/24) then leave it alone.
std::string FixedAtLeast(double value, int minDecimals);

// strtod under the "C" locale: leading blanks skipped, trailing text ignored.
// Returns nothing when the text does not start with a number.
std::optional<double> parseDouble(std::string_view text);

// strtod-like value with the fallback 0 that the file readers use for text
// that holds no number.
double parseDoubleOr(std::string_view text, double fallback);

// A number typed by a person into a field: the whole text (blanks around it
// aside) must be one number, with a decimal point or a decimal comma, as
// Polish users write them. Nothing for anything else, never a silent 0.
std::optional<double> ParseUserNumber(std::string_view text);

// strtol-like decimal integer, trailing text ignored.
std::optional<long> parseLong(std::string_view text);

// A value with its standard uncertainty as crystallographers write it:
// 0.1879(2), the esd's last digits 2 to 19; the value alone without an esd.
std::string WithEsd(double value, double esd);

}  // namespace pelmora

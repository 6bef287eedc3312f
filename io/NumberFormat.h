// Number formatting and parsing for files and settings. These never go
// through the process locale: under a Polish locale printf would write a
// comma, and every file we exchange needs a decimal point.
#pragma once

#include <cstdarg>
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

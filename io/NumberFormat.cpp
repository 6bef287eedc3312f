#include "io/NumberFormat.h"

#include <locale.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <charconv>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace pelmora {
namespace {

locale_t cLocale() {
  static const locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return loc;
}

// Switches this thread to the "C" locale for the lifetime of the object.
class LocaleScope {
 public:
  LocaleScope() : old_(uselocale(cLocale())) {}
  ~LocaleScope() { uselocale(old_); }
  LocaleScope(const LocaleScope&) = delete;
  LocaleScope& operator=(const LocaleScope&) = delete;

 private:
  locale_t old_;
};

}  // namespace

std::string vcformat(const char* fmt, va_list args) {
  LocaleScope scope;
  char small[256];
  va_list copy;
  va_copy(copy, args);
  const int n = std::vsnprintf(small, sizeof small, fmt, copy);
  va_end(copy);
  if (n < 0) return {};
  if (static_cast<size_t>(n) < sizeof small) return std::string(small, static_cast<size_t>(n));
  std::string out(static_cast<size_t>(n) + 1, '\0');
  std::vsnprintf(out.data(), out.size(), fmt, args);
  out.resize(static_cast<size_t>(n));
  return out;
}

std::string cformat(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  std::string s = vcformat(fmt, args);
  va_end(args);
  return s;
}

namespace {
// The characters [begin, end) right-aligned in width.
char* CopyPadded(char* out, const char* begin, const char* end, int width) {
  const int len = static_cast<int>(end - begin);
  for (int i = len; i < width; ++i) *out++ = ' ';
  std::memcpy(out, begin, static_cast<size_t>(len));
  return out + len;
}

// printf's digits without printf where RoundedScaled decides them; null
// leaves the value to the exact conversion.
char* FixedDigitsFast(char* p, char* last, double value, int precision) {
  static constexpr double kPow10[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};
  static constexpr std::uint64_t kIntPow10[] = {1,      10,      100,      1000,      10000,
                                                100000, 1000000, 10000000, 100000000, 1000000000};
  std::uint64_t n;
  if (precision < 0 || precision > 9 || !number_detail::RoundedScaled(value, kPow10[precision], n)) return nullptr;
  if (std::signbit(value)) *p++ = '-';
  p = std::to_chars(p, last, n / kIntPow10[precision]).ptr;
  if (precision > 0) {
    *p++ = '.';
    std::uint64_t f = n % kIntPow10[precision];
    for (int i = precision - 1; i >= 0; --i, f /= 10) p[i] = static_cast<char>('0' + f % 10);
    p += precision;
  }
  return p;
}

// The digits of "%.*f" into buf[0, kMaxNumberChars); false when they do not fit.
bool FixedDigits(char* buf, double value, int precision, char*& end) {
  end = FixedDigitsFast(buf, buf + kMaxNumberChars, value, precision);
  if (end) return true;
  const auto res = std::to_chars(buf, buf + kMaxNumberChars, value, std::chars_format::fixed, precision);
  end = res.ptr;
  return res.ec == std::errc();
}
}  // namespace

void AppendFixed(std::string& out, double value, int width, int precision) {
  char buf[kMaxNumberChars];
  char* end = nullptr;
  if (!FixedDigits(buf, value, precision, end)) {
    out += cformat("%*.*f", width, precision, value);
    return;
  }
  if (end - buf < width) out.append(static_cast<size_t>(width - (end - buf)), ' ');
  out.append(buf, end);
}

void AppendInt(std::string& out, long value, int width) {
  char buf[32];
  const auto res = std::to_chars(buf, buf + sizeof buf, value);
  if (res.ptr - buf < width) out.append(static_cast<size_t>(width - (res.ptr - buf)), ' ');
  out.append(buf, res.ptr);
}

namespace {
using number_detail::DigitsBefore;

// [begin, end) right-aligned in width at out; short texts only, so byte
// loops beat the library calls a variable length would bring.
char* PutPadded(char* out, const char* begin, const char* end, int width) {
  for (int pad = width - static_cast<int>(end - begin); pad > 0; --pad) *out++ = ' ';
  while (begin != end) *out++ = *begin++;
  return out;
}
}  // namespace

char* FixedToChars(char* out, double value, int width, int precision) {
  char buf[kMaxNumberChars];
  char* end = nullptr;
  if (!FixedDigits(buf, value, precision, end)) {
    const std::string s = cformat("%*.*f", width, precision, value);
    const size_t n = std::min(s.size(), static_cast<size_t>(kMaxNumberChars));
    std::memcpy(out, s.data(), n);
    return out + n;
  }
  return CopyPadded(out, buf, end, width);
}

char* IntToChars(char* out, long value, int width) {
  char buf[32];
  char* const end = buf + sizeof buf;
  // The magnitude as unsigned: -LONG_MIN does not fit a long.
  const std::uint64_t magnitude = value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  char* p = DigitsBefore(end, magnitude, 1);
  if (value < 0) *--p = '-';
  return PutPadded(out, p, end, width);
}

std::string FixedAtLeast(double value, int minDecimals) {
  char buffer[kMaxNumberChars];
  const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
  if (ec == std::errc()) {
    const std::string shortest(buffer, end);
    const size_t point = shortest.find('.');
    if (point != std::string::npos && shortest.size() - point - 1 > static_cast<size_t>(minDecimals)) return shortest;
  }
  return cformat("%.*f", minDecimals, value);
}

std::optional<double> parseDouble(std::string_view text) {
  // The plain decimals that files hold are read in place, as exactly as
  // strtod reads them; the rest (leading blanks, a plus sign, hexadecimal,
  // a value out of range) the way strtod reads it.
  if (!text.empty() && (std::isdigit(static_cast<unsigned char>(text[0])) || text[0] == '-' || text[0] == '.')) {
    double v;
    const char* const last = text.data() + text.size();
    const auto [end, ec] = std::from_chars(text.data(), last, v);
    if (ec == std::errc() && !(end != last && (*end == 'x' || *end == 'X'))) return v;
  }
  const std::string s(text);
  char* end = nullptr;
  const double v = strtod_l(s.c_str(), &end, cLocale());
  if (end == s.c_str()) return std::nullopt;
  return v;
}

std::optional<double> ParseUserNumber(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
  if (text.empty()) return std::nullopt;
  std::string s(text);
  // One decimal separator: a comma counts as the point; a text with both, or
  // with two commas, is not one number.
  const auto comma = s.find(',');
  if (comma != std::string::npos) {
    if (s.find(',', comma + 1) != std::string::npos || s.find('.') != std::string::npos) return std::nullopt;
    s[comma] = '.';
  }
  // strtod would also take "inf", "nan" and hexadecimal forms: none of them
  // is a value a person means in these fields.
  for (char ch : s)
    if (!(std::isdigit(static_cast<unsigned char>(ch)) || ch == '.' || ch == '+' || ch == '-' || ch == 'e' ||
          ch == 'E'))
      return std::nullopt;
  char* end = nullptr;
  const double v = strtod_l(s.c_str(), &end, cLocale());
  if (end == s.c_str() || *end != '\0' || !std::isfinite(v)) return std::nullopt;
  return v;
}

double parseDoubleOr(std::string_view text, double fallback) {
  return parseDouble(text).value_or(fallback);
}

std::optional<long> parseLong(std::string_view text) {
  const std::string s(text);
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(s.c_str(), &end, 10);
  if (end == s.c_str()) return std::nullopt;
  return v;
}

std::string WithEsd(double value, double esd) {
  if (!std::isfinite(esd) || esd <= 0.0) return cformat("%.6g", value);
  // Digits enough that the esd shows as 2 to 19 in the last ones.
  int decimals = 0;
  while (esd * std::pow(10.0, decimals) < 1.95 && decimals < 12) ++decimals;
  if (decimals == 0) return cformat("%.0f(%.0f)", value, esd);
  return cformat("%.*f(%.0f)", decimals, value, std::round(esd * std::pow(10.0, decimals)));
}

}  // namespace pelmora

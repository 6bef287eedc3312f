#include "engine/NumberFormat.h"

#include <locale.h>

#include <cctype>
#include <cerrno>
#include <cmath>
#include <charconv>
#include <cstdio>
#include <cstdlib>

namespace pelmora {
namespace {

locale_t cLocale() {
  static const locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return loc;
}

// Switches this thread to the "C" locale for the lifetime of the object.
class CLocaleScope {
 public:
  CLocaleScope() : old_(uselocale(cLocale())) {}
  ~CLocaleScope() { uselocale(old_); }
  CLocaleScope(const CLocaleScope&) = delete;
  CLocaleScope& operator=(const CLocaleScope&) = delete;

 private:
  locale_t old_;
};

}  // namespace

std::string vcformat(const char* fmt, va_list args) {
  CLocaleScope scope;
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
void AppendPadded(std::string& out, const char* begin, const char* end, int width) {
  const int len = static_cast<int>(end - begin);
  if (len < width) out.append(static_cast<size_t>(width - len), ' ');
  out.append(begin, end);
}
}  // namespace

void AppendFixed(std::string& out, double value, int width, int precision) {
  char buf[400];
  const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, precision);
  if (res.ec != std::errc()) {
    out += cformat("%*.*f", width, precision, value);
    return;
  }
  AppendPadded(out, buf, res.ptr, width);
}

void AppendInt(std::string& out, long value, int width) {
  char buf[32];
  const auto res = std::to_chars(buf, buf + sizeof buf, value);
  AppendPadded(out, buf, res.ptr, width);
}

std::optional<double> parseDouble(std::string_view text) {
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

}  // namespace pelmora

#include "io/CoordinateFormat.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "io/NumberFormat.h"

namespace pelmora {

std::string FixedNear(double value, int minDecimals) {
  // Twelve decimals always come within half of 1e-12; the margin keeps a
  // twelve-decimal text's own neighbours, 1e-12 away, from winning when it
  // is read and written again. Below 16 the doubles' own spacing is well
  // inside that margin.
  static constexpr int kMostDecimals = 12;
  static constexpr double kWithin = 0.99e-12;
  if (!std::isfinite(value) || std::fabs(value) >= 16.0) return FixedAtLeast(value, minDecimals);
  for (int decimals = std::max(minDecimals, 0); decimals <= kMostDecimals; ++decimals) {
    char buffer[64];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    if (ec != std::errc()) break;
    std::string text(buffer, end);
    double back = 0.0;
    std::from_chars(text.data(), text.data() + text.size(), back);
    if (std::fabs(back - value) >= kWithin) continue;
    if (back == 0.0 && text.front() == '-') text.erase(0, 1);
    return text;
  }
  return FixedAtLeast(value, minDecimals);
}

}  // namespace pelmora

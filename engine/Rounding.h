// The program's rounding of a double: halves go down.
#pragma once

#include <cmath>

namespace pelmora {

// floor(x) unless x - floor(x) > 0.5, then ceil(x): 2.5 -> 2, 2.5000001 -> 3.
// Kept as a double so that callers can range-check before converting.
inline double RoundHalfDownValue(double x) {
  const double f = std::floor(x);
  return (x - f > 0.5) ? std::ceil(x) : f;
}

}  // namespace pelmora

// The program's conversion of a double to an integer: halves go down.
#pragma once

#include <cmath>

namespace pelmora {

// floor(x) unless x - floor(x) > 0.5, then ceil(x).
inline double RoundHalfDownValue(double x) {
  const double f = std::floor(x);
  return (x - f > 0.5) ? std::ceil(x) : f;
}

inline long RoundHalfDown(double x) { return static_cast<long>(RoundHalfDownValue(x)); }

}  // namespace pelmora

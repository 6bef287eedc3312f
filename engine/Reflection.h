// One reflection as found, grouped and shown.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "engine/Angles.h"

namespace pelmora {

struct LabelRect {
  std::int32_t left = 0, top = 0, right = 0, bottom = 0;
};

struct Reflection {
  std::int32_t h = 0, k = 0, l = 0;
  std::int32_t multiplicity = 1;
  double d = 0.0;
  double f2 = 0.0;        // |F|^2
  double sinTheta = 0.0;  // lambda / (2d) of the reflection's own wavelength
  double theta = 0.0;     // Bragg angle in radians
  double intensity = 0.0;
  double reF = 0.0, imF = 0.0;
  double fwhm = 0.0;
  // The small fields together, so that no double leaves a gap before it: a
  // long list is half a million of these.
  std::int32_t nonZero = 0;  // 1 when f2 printed with "%.4f" is above zero
  std::uint8_t line = 0;  // 1 = first wavelength, 2 = second (merged list only)
  LabelRect labelRect;
};

inline double TwoThetaDegrees(const Reflection& r) { return TwoThetaDegrees(r.theta); }

// (first, last) indices of the entries of an angle-sorted list with 2-theta
// in [from, to] degrees, ends included; (-1, -1) when none. Found by
// bisection on 2-theta, then each end checked once more against theta.
std::pair<int, int> ReflectionRange(const std::vector<Reflection>& list, double from, double to);

// Angle order of the lists: by theta, then larger h, k, l first.
inline bool ReflectionBefore(const Reflection& a, const Reflection& b) {
  if (a.theta != b.theta) return a.theta < b.theta;
  if (a.h != b.h) return a.h > b.h;
  if (a.k != b.k) return a.k > b.k;
  return a.l > b.l;
}

}  // namespace pelmora

// A fractional coordinate reduced into the cell, [0, 1), for every list of
// cell atoms and every image that is compared or written as one.
#pragma once

#include <cmath>

namespace pelmora {

// A coordinate this close to a whole number is on the cell's face: the
// structure file writes it as the whole number (it keeps coordinates to
// this much), and a site merged onto a special position lands a rounding
// error beside it (-7e-18, or 1 - 1e-16 after the wrap), which must not
// put the atom outside [0, 1) or on the far face.
inline constexpr double kCellFaceSnap = 1e-12;

// v - floor(v), but 0 (never -0) for anything within kCellFaceSnap of a
// whole number; NaN and infinities stay as they are.
inline double IntoCell(double v) {
  if (!std::isfinite(v)) return v;
  const double r = v - std::floor(v);
  if (r < kCellFaceSnap || r > 1.0 - kCellFaceSnap) return 0.0;
  return r;
}

// A coordinate outside the reduction (a site's own position, which stays in
// the cell the file gives it), cleared of the same rounding errors: the
// whole number itself (+0, never -0) when within kCellFaceSnap of one,
// else v unchanged.
inline double OffFaceError(double v) {
  const double whole = std::round(v);
  if (!(std::fabs(v - whole) < kCellFaceSnap)) return v;
  return whole == 0.0 ? 0.0 : whole;
}

}  // namespace pelmora

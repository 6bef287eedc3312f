// The angle constants and conversions of the whole program. Every 2-theta a
// list shows, a search keeps or a chart draws goes through these, so that a
// reflection on the edge of a range is inside for all of them or for none.
#pragma once

namespace pelmora {

// The program's pi, to the digits its results were always computed with.
inline constexpr double kPi = 3.14159265358979;
inline constexpr double kTwoPi = 6.28318530717958;  // 2 kPi, exactly
// Radians to degrees: 180 / pi.
inline constexpr double kRadToDeg = 57.29577951308238;

// Bragg angle theta (radians) to 2-theta in degrees, and back.
inline double TwoThetaDegrees(double theta) { return theta * 360.0 / kPi; }
inline double ThetaOfTwoTheta(double twoThetaDeg) { return twoThetaDeg * kPi / 360.0; }
// An angle in degrees to radians, and back.
inline double DegreesToRadians(double deg) { return deg * kPi / 180.0; }
inline double RadiansToDegrees(double rad) { return rad * 180.0 / kPi; }

}  // namespace pelmora

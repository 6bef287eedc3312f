// The physics of one reflection: form factors, the angle factors and the
// constants of the integrated intensity.
#pragma once

#include <cmath>

#include "engine/Angles.h"
#include "engine/AtomSite.h"

namespace pelmora {

inline constexpr double kElectronRadius = 2.817938e-15;  // m
inline constexpr double kSixteenPi = 50.26548245743664;
inline constexpr double kNeutronConstant = 1.989436788648694e-32;  // 1e-30 / 16 pi
inline constexpr double kArcMinute = 0.0002908882086657213;        // pi / 10800

// Cromer-Mann f0 at s = sin(theta) / lambda.
double AtomicFormFactor(const ScatteringFactors& atom, double theta, double lambda);
inline double FormFactorAt(const ScatteringFactors& f, double s2);  // s2 = s^2
double LorentzFactor(double theta);
double PolarisationFactor(double theta, int radiation);
// B is applied only when isDW is 1.
double DebyeWallerFactor(double theta, double lambda, double B, int isDW);

inline double FormFactorAt(const ScatteringFactors& f, double s2) {
  double f0 = f.a1 * std::exp(-f.b1 * s2);
  f0 += f.a2 * std::exp(-f.b2 * s2);
  f0 += f.a3 * std::exp(-f.b3 * s2);
  f0 += f.a4 * std::exp(-f.b4 * s2);
  return f0 + f.c;
}

}  // namespace pelmora

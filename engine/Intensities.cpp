#include "engine/Intensities.h"

#include <algorithm>
#include <cmath>

#include "engine/Komorka.h"

namespace pelmora {

double AtomicFormFactor(const ScatteringFactors& atom, double theta, double lambda) {
  const double s = std::sin(theta) / lambda;
  return FormFactorAt(atom, s * s);
}

double LorentzFactor(double theta) {
  const double s = std::sin(theta);
  return 1.0 / (s * s * 2.0 * std::cos(theta));
}

double PolarisationFactor(double theta, int radiation) {
  if (radiation == 1) return 1.0;
  const double c2 = std::cos(2.0 * theta);
  return (1.0 + c2 * c2) * 0.5;
}

double DebyeWallerFactor(double theta, double lambda, double B, int isDW) {
  if (isDW != 1) return 1.0;
  const double s = std::sin(theta) / lambda;
  return std::exp(-2.0 * B * (s * s));
}

// The plain sum over the cell atoms. The search uses a faster kernel with the
// same result; this one is its reference.
double CKomorka::StructureFactor(int h, int k, int l, double theta, double lambda, double& reF, double& imF) const {
  double re = 0.0, im = 0.0;
  const double hd = h, kd = k, ld = l;
  const double defaultB = SiteDefaultB();
  const double st = std::sin(theta) / lambda;
  for (const AtomSite& at : crystal.cellAtoms) {
    const double phi = (hd * at.x + kd * at.y + ld * at.z) * kTwoPi;
    // occ exp(-B s^2); a whole atom without displacement is left as it is.
    const double B = at.biso.value_or(defaultB);
    const bool weighted = at.occupancy != 1.0 || B != 0.0;
    const double w = B == 0.0 ? at.occupancy : at.occupancy * std::exp(-B * (st * st));
    if (experiment.radiation == 0) {
      double f = AtomicFormFactor(at, theta, lambda) + at.fprim, fb = at.fbis;
      if (weighted) f *= w, fb *= w;
      re += f * std::cos(phi) + fb * std::sin(phi);
      im += fb * std::cos(phi) - f * std::sin(phi);
    } else if (experiment.radiation == 1) {
      const double b = weighted ? at.s * w : at.s;
      re += b * std::cos(phi);
      im += b * std::sin(phi);
    }
  }
  const double g = experiment.solvent.Factor(st * st);
  reF = re * g;
  imF = im * g;
  return reF * reF + imF * imF;
}

double CKomorka::SiteDefaultB() const {
  return crystal.HasSiteDisplacements() && experiment.IsDW == 1 ? experiment.dwfactor : 0.0;
}

CKomorka::LineFactors CKomorka::LineIntensityFactors(int line) const {
  const bool neutrons = experiment.radiation == 1;
  const double lambda = line == 2 ? experiment.lambda2 : experiment.lambda1;
  const double K = neutrons ? kNeutronConstant : kElectronRadius * kElectronRadius / kSixteenPi;
  const double lm = lambda * 1e-10;
  // The leading factors of the numerator, multiplied in the order the whole
  // product takes them.
  const double numerator = lm * lm * lm * 1000000.0 * K * (experiment.beamarea * 1e-06) * (experiment.detslit * 1e-06);
  const double R = experiment.difradius * 0.001;
  const double Vm = cell.CellVolume() * 1e-30;
  const double den = R * R * (Vm * Vm) * (experiment.measurespeed * kArcMinute) * (2.0 * experiment.absorption * 100.0);
  return {lambda, numerator, den, crystal.HasSiteDisplacements()};
}

double CKomorka::GroupIntensity(const Reflection& g, int line) const {
  return GroupIntensity(g, line, LineIntensityFactors(line));
}

double CKomorka::GroupIntensity(const Reflection& g, int line, const LineFactors& factors) const {
  return GroupIntensity(g, line, factors, AngleIntensityFactors(g.theta, factors));
}

CKomorka::AngleFactors CKomorka::AngleIntensityFactors(double theta, const LineFactors& factors) const {
  // With displacements per site, |F|^2 holds them all already.
  const double D =
      factors.perSiteB ? 1.0 : DebyeWallerFactor(theta, factors.lambda, experiment.dwfactor, experiment.IsDW);
  return {theta, D, LorentzFactor(theta), PolarisationFactor(theta, experiment.radiation)};
}

double CKomorka::GroupIntensity(const Reflection& g, int line, const LineFactors& factors,
                                const AngleFactors& angle) const {
  double num = factors.numerator * g.f2 * angle.D * angle.L * angle.P * static_cast<double>(g.multiplicity);
  if (line == 2) num *= experiment.ratio;
  return num / factors.denominator;
}

}  // namespace pelmora

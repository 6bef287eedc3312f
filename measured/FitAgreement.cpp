// What every refinement shares: the words of what to refine, the points'
// weights, the agreement factors, the background's Chebyshev terms and the
// cell's mass for the weight fractions.
#include "engine/Xraylib.h"

#include <cmath>
#include <sstream>

#include "measured/PatternFit.h"

namespace pelmora {

double FitWeight(double y, double sigma) {
  if (sigma > 0.0) return 1.0 / (sigma * sigma);
  return y > 0.0 ? 1.0 / y : 1.0;
}

Agreement AgreementOf(const std::vector<double>& observed, const std::vector<double>& calculated,
                      const std::vector<double>& weight, int parameters) {
  double sumAbs = 0.0, sumObs = 0.0, sumW2 = 0.0, sumWObs2 = 0.0;
  for (size_t i = 0; i < observed.size(); ++i) {
    const double d = observed[i] - calculated[i];
    sumAbs += std::fabs(d);
    sumObs += observed[i];
    sumW2 += weight[i] * d * d;
    sumWObs2 += weight[i] * observed[i] * observed[i];
  }
  Agreement a;
  const double freedom = static_cast<double>(observed.size()) - parameters;
  a.rp = sumObs > 0.0 ? 100.0 * sumAbs / sumObs : NAN;
  a.rwp = sumWObs2 > 0.0 ? 100.0 * std::sqrt(sumW2 / sumWObs2) : NAN;
  a.rexp = sumWObs2 > 0.0 && freedom > 0.0 ? 100.0 * std::sqrt(freedom / sumWObs2) : NAN;
  a.chi2 = (a.rwp / a.rexp) * (a.rwp / a.rexp);
  return a;
}

bool ParseFitWhat(const std::string& list, unsigned& what, std::string* bad) {
  what = 0;
  std::istringstream in(list);
  for (std::string word; std::getline(in, word, ',');) {
    word.erase(0, word.find_first_not_of(" \t"));
    word.erase(word.find_last_not_of(" \t") + 1);
    if (word == "scale") what |= kFitScale;
    else if (word == "zero") what |= kFitZero;
    else if (word == "background") what |= kFitBackground;
    else if (word == "uvw") what |= kFitWidths;
    else if (word == "cell") what |= kFitCell;
    else if (word == "size") what |= kFitSize;
    else if (word == "positions") what |= kFitPositions;
    else if (word == "occupancy") what |= kFitOccupancy;
    else if (word == "biso") what |= kFitBiso;
    else if (word == "orientation") what |= kFitOrientation;
    else if (word == "asymmetry") what |= kFitAsymmetry;
    else if (word == "displacement") what |= kFitDisplacement;
    else if (word == "transparency") what |= kFitTransparency;
    else if (word == "strain") what |= kFitStrain;
    else if (word == "xy") what |= kFitLorentz;
    else if (word == "wavelength") what |= kFitWavelength;
    else if (!word.empty()) {
      if (bad) *bad = word;
      return false;
    }
  }
  return true;
}

void Chebyshev(double x, int n, double* out) {
  if (n <= 0) return;
  out[0] = 1.0;
  if (n > 1) out[1] = x;
  for (int k = 2; k < n; ++k) out[k] = 2.0 * x * out[k - 1] - out[k - 2];
}

double CellContentsMass(const Crystal& crystal) {
  double mass = 0.0;
  for (const AtomSite& at : crystal.cellAtoms) {
    if (at.nr < 1 || at.nr > 118) return 0.0;
    const std::optional<double> m = xraylib::AtomicWeight(at.nr);
    if (!m) return 0.0;
    mass += *m;
  }
  return mass;
}

}  // namespace pelmora

// The phases' cell masses and their weight fractions in a mixture.
#include <xraylib.h>

#include <cmath>

#include "measured/PatternFit.h"

namespace pelmora {

double CellContentsMass(const Crystal& crystal) {
  double mass = 0.0;
  for (const AtomSite& at : crystal.cellAtoms) {
    if (at.nr < 1 || at.nr > 118) return 0.0;
    xrl_error* err = nullptr;
    const double m = AtomicWeight(at.nr, &err);
    if (err) {
      xrl_error_free(err);
      return 0.0;
    }
    mass += m;
  }
  return mass;
}

std::vector<double> WeightFractions(const std::vector<double>& scale, const std::vector<double>& cellMass,
                                    const std::vector<double>& volume) {
  std::vector<double> w(scale.size(), NAN);
  double sum = 0.0;
  for (size_t p = 0; p < scale.size(); ++p) {
    if (!(cellMass[p] > 0.0) || !(volume[p] > 0.0)) return w;
    w[p] = scale[p] * cellMass[p] / volume[p];
    sum += w[p];
  }
  if (!(sum > 0.0)) return std::vector<double>(scale.size(), NAN);
  for (double& x : w) x /= sum;
  return w;
}

}  // namespace pelmora

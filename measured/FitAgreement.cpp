// How well a model agrees with the measurement: the points' weights and
// the agreement factors.
#include <cmath>

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

}  // namespace pelmora

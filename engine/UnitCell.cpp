#include "engine/UnitCell.h"

#include <cmath>

#include "engine/Angles.h"

namespace pelmora {

void UnitCell::RefreshCellMetric() {
  const auto set = [](double angle, double& s, double& c) {
    if (angle == 90.0) {
      s = 1.0;
      c = 0.0;
      return;
    }
    const double r = DegreesToRadians(angle);
    s = std::sin(r);
    c = std::cos(r);
  };
  set(alfa, sinAlfa, cosAlfa);
  set(beta, sinBeta, cosBeta);
  set(gamma, sinGamma, cosGamma);
}

double UnitCell::CellVolume() const {
  return a * b * c *
         std::sqrt(1.0 - cosAlfa * cosAlfa - cosBeta * cosBeta - cosGamma * cosGamma +
                   2.0 * cosAlfa * cosBeta * cosGamma);
}

double UnitCell::DSpacing(int h, int k, int l) const {
  const double V = CellVolume();
  return std::sqrt(V * V / MetricSum(h, k, l));
}

}  // namespace pelmora

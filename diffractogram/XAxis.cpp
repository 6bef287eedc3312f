#include "diffractogram/XAxis.h"

#include <cmath>
#include <limits>

#include "engine/Angles.h"

namespace pelmora {

double XAxisValue(XAxisUnit unit, double twoThetaDeg, double lambda) {
  if (unit == XAxisUnit::TwoTheta) return twoThetaDeg;
  const double s = std::sin(ThetaOfTwoTheta(twoThetaDeg));
  if (unit == XAxisUnit::Q) return 4.0 * kPi * s / lambda;
  return s > 0.0 ? lambda / (2.0 * s) : std::numeric_limits<double>::infinity();
}

}  // namespace pelmora

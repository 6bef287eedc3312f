// The unit cell: constants in angstrom and degrees, and the metric derived
// from them for volumes and d-spacings.
#pragma once

namespace pelmora {

struct UnitCell {
  double gamma = 90.0, beta = 90.0, alfa = 90.0, c = 1.0, b = 1.0, a = 1.0;
  // Cached by RefreshCellMetric(); read by CellVolume and DSpacing.
  double sinAlfa = 1.0, sinBeta = 1.0, sinGamma = 1.0;
  double cosAlfa = 0.0, cosBeta = 0.0, cosGamma = 0.0;

  void RefreshCellMetric();
  double CellVolume() const;
  double DSpacing(int h, int k, int l) const;
  // V^2 / d^2 of the plane (h k l): d = sqrt(V^2 / MetricSum). Inline, for the
  // search's inner loop.
  double MetricSum(double h, double k, double l) const {
    return h * h * b * b * c * c * sinAlfa * sinAlfa + k * k * a * a * c * c * sinBeta * sinBeta +
           l * l * a * a * b * b * sinGamma * sinGamma + 2.0 * h * l * a * b * b * c * (cosGamma * cosAlfa - cosBeta) +
           2.0 * h * k * a * b * c * c * (cosAlfa * cosBeta - cosGamma) +
           2.0 * k * l * a * a * b * c * (cosGamma * cosBeta - cosAlfa);
  }
  // The six constants alone (the metric follows from them).
  bool SameConstants(const UnitCell& o) const {
    return a == o.a && b == o.b && c == o.c && alfa == o.alfa && beta == o.beta && gamma == o.gamma;
  }
  bool operator==(const UnitCell&) const = default;
  // A copy whose metric is fresh, for reading the volume of constants that
  // may have changed since the last refresh.
  UnitCell WithFreshMetric() const {
    UnitCell u = *this;
    u.RefreshCellMetric();
    return u;
  }
};

}  // namespace pelmora

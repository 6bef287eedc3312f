#include "measured/Overlay.h"

#include "measured/Refinement.h"

#include <Eigen/Dense>

#include <cmath>

namespace pelmora {

double GridValueAt(const PatternGrid& grid, double twoTheta) {
  const double f = twoTheta / kPatternStep;
  const double i0 = std::floor(f);
  if (!(i0 >= 0.0) || i0 + 1 >= PatternGrid::size()) return 0.0;
  const int i = static_cast<int>(i0);
  const double r = f - i0;
  return grid[i].intensity * (1.0 - r) + grid[i + 1].intensity * r;
}

double OverlayModel::Background(double t) const {
  if (background.empty()) return 0.0;
  const double span = bgMax - bgMin;
  const double x = span > 0.0 ? 2.0 * (t - bgMin) / span - 1.0 : 0.0;
  std::vector<double> T(background.size());
  Chebyshev(x, static_cast<int>(T.size()), T.data());
  double b = 0.0;
  for (size_t k = 0; k < T.size(); ++k) b += background[k] * T[k];
  return b;
}

double OverlayModel::Calculated(const PatternGrid& grid, double t) const {
  return scale * GridValueAt(grid, t - zero) + Background(t);
}

OverlayModel StartingOverlay(const PatternGrid& grid, const MeasuredPattern& m) {
  OverlayModel model;
  if (m.empty()) return model;
  model.bgMin = m.twoTheta.front();
  model.bgMax = m.twoTheta.back();
  const auto n = static_cast<Eigen::Index>(m.size());
  Eigen::MatrixXd A(n, 2);
  Eigen::VectorXd b(n);
  bool any = false;
  for (Eigen::Index i = 0; i < n; ++i) {
    const auto k = static_cast<size_t>(i);
    const double sw = std::sqrt(FitWeight(m.counts[k], m.hasSigma() ? m.sigma[k] : 0.0));
    const double I = GridValueAt(grid, m.twoTheta[k]);
    any = any || I > 0.0;
    A(i, 0) = sw * I;
    A(i, 1) = sw;
    b[i] = sw * m.counts[k];
  }
  if (!any) return model;
  const Eigen::VectorXd x = A.colPivHouseholderQr().solve(b);
  if (std::isfinite(x[0]) && x[0] > 0.0 && std::isfinite(x[1])) {
    model.scale = x[0];
    model.background = {x[1]};
  }
  return model;
}

OverlayModel OverlayFromRefinement(const RefinementOutcome& r) {
  OverlayModel model;
  model.fitted = true;
  if (r.patterns.empty()) return model;
  const RefinedPatternFigures& p = r.patterns.front();
  model.refinedTwoTheta = p.twoTheta;
  model.refinedCalculated = p.calculated;
  model.refinedTicks = p.ticks;
  model.keepRefined = 1;
  if (!r.phases.empty() && !r.phases.front().scale.empty()) model.scale = r.phases.front().scale.front();
  return model;
}

}  // namespace pelmora

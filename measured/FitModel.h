// The model a fit evaluates: the fitted points, each phase's pattern
// calculated through the one calculation path on a private copy of its
// document, y_calc for a state of the model, and the weighted residuals
// and their derivatives that Levenberg-Marquardt asks for.
#pragma once

#include <Eigen/Core>

#include <array>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "diffractogram/PatternSynthesis.h"
#include "engine/Komorka.h"
#include "measured/FitParameters.h"
#include "measured/PatternFit.h"

namespace pelmora::fitting {

// One phase: a private copy of its document, and its last two patterns
// (the accepted point and the trial one) so that a rejected step costs no
// recalculation.
struct PhaseCalc {
  std::unique_ptr<CKomorka> doc;
  LatticeType type = kCubic;
  char uniqueAxis = 'b';  // a monoclinic cell's free angle
  double ownSize = 0.0;
  struct Slot {
    std::unique_ptr<PatternGrid> grid = std::make_unique<PatternGrid>();
    std::vector<double> key;
    unsigned long used = 0;
  };
  std::array<Slot, 2> slots;
  std::unique_ptr<PatternGrid> scratch = std::make_unique<PatternGrid>();
  int refused = 0;  // peaks the last calculation left out for want of a width
};

class FitModel {
 public:
  FitModel(const FitOptions& o) : opt_(o) {}

  std::string error;
  bool cancelled = false;
  int calculations = 0;

  std::vector<PhaseCalc> phases;
  std::vector<double> t, yo, sw, w;     // fitted points, sqrt of weight, weight
  std::vector<double> chebyshev;        // point-major, K values per point
  int K = 0;
  ModelState state;
  std::vector<Param> params;

  // The pattern of phase p for the state's values: cached, or calculated
  // into a slot (or into `into` when given, uncached). Null on failure.
  const PatternGrid* Pattern(size_t p, const ModelState& s, PatternGrid* into = nullptr);

  static double At(const PatternGrid& g, double angle) {
    const double f = angle / kPatternStep;
    const double i0 = std::floor(f);
    if (i0 < 0.0 || i0 + 1 >= PatternGrid::size()) return 0.0;
    const int i = static_cast<int>(i0);
    const double r = f - i0;
    return g[i].intensity * (1.0 - r) + g[i + 1].intensity * r;
  }

  // y_calc at every point, and each phase's unscaled I_p(t - z) in `phase`.
  bool Evaluate(const ModelState& s, std::vector<double>& yc, std::vector<std::vector<double>>* phase = nullptr);

  bool Stop() const { return cancelled || !error.empty() || (opt_.cancel && opt_.cancel->load()); }

  ModelState StateAt(const Eigen::VectorXd& x) const;

  int Residuals(const Eigen::VectorXd& x, Eigen::VectorXd& f);
  // The residuals' derivatives (FitJacobian.cpp).
  int Jacobian(const Eigen::VectorXd& x, Eigen::MatrixXd& J);

 private:
  const FitOptions& opt_;
  unsigned long clock_ = 0;
  std::vector<double> yc_;
};

// The phase's structure with the first document's experiment; its own
// grain size and temperature factor stay, being the sample's.
std::unique_ptr<CKomorka> PrivateCopy(const CKomorka& phase, const CKomorka& first);

// The standard uncertainties of the refined values at the solution x
// (where the model gives yc), from the curvature there, scaled by the
// reduced chi-square; zeros when the derivatives fail (FitJacobian.cpp).
std::vector<double> StandardUncertainties(FitModel& model, const Eigen::VectorXd& x, const std::vector<double>& yc);

}  // namespace pelmora::fitting

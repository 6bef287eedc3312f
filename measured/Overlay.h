// A measured pattern shown over the calculated one: the model that puts the
// calculated pattern into counts, y_calc(t) = s * I(t - z) + b(t), the same
// model the fit refines. Before a fit the scale and a flat background come
// from a linear least-squares match.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "diffractogram/PatternGrid.h"
#include "measured/MeasuredPattern.h"
#include "measured/PatternFit.h"

namespace pelmora {

// A further phase of a mixture fitted with the chart's own: its pattern as
// the fit calculated it, its scale and its reflections.
struct OverlayPhase {
  std::string name;
  double scale = 0.0;
  std::shared_ptr<const PatternGrid> pattern;
  std::vector<double> reflectionAngles;  // without the zero shift
};

struct OverlayModel {
  double scale = 1.0;
  double zero = 0.0;
  std::vector<double> background;  // Chebyshev coefficients over [bgMin, bgMax]
  double bgMin = 0.0, bgMax = 1.0;
  bool fitted = false;  // from a fit, not the starting match
  std::vector<OverlayPhase> others;  // added to the chart's own phase
  // A refinement's own y_calc at the measured points it fitted and each
  // phase's reflections as it drew them: shown instead of the model above
  // until the pattern is calculated again after the one that follows
  // "Zastosuj" (keepRefined counts those).
  std::vector<double> refinedTwoTheta, refinedCalculated;
  std::vector<std::vector<double>> refinedTicks;
  int keepRefined = 0;
  bool refined() const { return !refinedCalculated.empty(); }

  double Background(double twoTheta) const;
  // y_calc at a measured angle, from the synthesised grid.
  double Calculated(const PatternGrid& grid, double twoTheta) const;
};

// The grid's intensity at any angle, linear between grid points; 0 outside.
double GridValueAt(const PatternGrid& grid, double twoTheta);

// The scale and flat background that best match the grid to the
// measurement (weights as in the fit); scale 1 and no background when the
// grid is empty there.
OverlayModel StartingOverlay(const PatternGrid& grid, const MeasuredPattern& measured);

// The model of a finished fit: its first phase is the chart's own, the
// others come with their patterns (named by `names`, when given).
OverlayModel OverlayFromFit(const FitResult& fit, const std::vector<std::string>& names = {});

// The model of a finished refinement: its first pattern's curve and ticks.
struct RefinementOutcome;
OverlayModel OverlayFromRefinement(const RefinementOutcome& outcome);

}  // namespace pelmora

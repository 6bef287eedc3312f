// A measured pattern shown over the calculated one: the model that puts the
// calculated pattern into counts, y_calc(t) = s * I(t - z) + b(t), its scale
// and a flat background from a linear least-squares match; after a
// refinement, the refinement's own curve.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "diffractogram/PatternGrid.h"
#include "measured/MeasuredPattern.h"
#include "measured/PatternFit.h"

namespace pelmora {

struct OverlayModel {
  double scale = 1.0;
  double zero = 0.0;
  std::vector<double> background;  // Chebyshev coefficients over [bgMin, bgMax]
  double bgMin = 0.0, bgMax = 1.0;
  bool fitted = false;  // from a fit, not the starting match
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

// The model of a finished refinement: its first pattern's curve and ticks.
struct RefinementOutcome;
OverlayModel OverlayFromRefinement(const RefinementOutcome& outcome);

}  // namespace pelmora

// The Rietveld refinement. For each measured pattern
//   y_calc(t) = b(t) + sum_phases s sum_lines K m |F|^2 L P P_PO A(t) Phi(t - 2theta - shift(2theta)),
// with b a Chebyshev series, K the calculation's intensity constants (the
// scale s is that of the calculated pattern), |F|^2 from the sites'
// refined positions, occupancies and B, P_PO March-Dollase averaged over the
// reflections of each line, Phi the calculated pattern's pseudo-Voigt (with
// microstrain beside the grain size) made asymmetric by axial divergence,
// and shift = zero + displacement + transparency. Several patterns (X-rays
// and neutrons, say) share the structures; each has its own instrument,
// zero and background. A phase refined by Le Bail has a free intensity per
// line instead of a structure. Values stay within bounds that keep every
// width positive; esds and correlations come from the normal matrix.
#pragma once

#include <array>
#include <atomic>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/CellTies.h"
#include "engine/Komorka.h"
#include "measured/MeasuredPattern.h"
#include "measured/PatternFit.h"

namespace pelmora {

struct RefinementPattern {
  std::string name;
  MeasuredPattern data;
  // Radiation, wavelengths, U V W X Y, the diffractometer's radius and the
  // fitted range (angleMin, angleMax).
  ExperimentParams experiment;
  std::vector<std::pair<double, double>> excluded;  // 2-theta regions left out
  int backgroundTerms = 6;
  // Points (2-theta) whose heights, interpolated linearly and level beyond
  // the ends, make the background in place of the Chebyshev terms.
  std::vector<double> backgroundPoints;
  // X-rays: the 2-theta of a monochromator crystal in the beam (26.6 for
  // graphite 002 with Cu), whose polarisation the intensities then carry;
  // 0 for none.
  double monochromator = 0.0;
  // Axial divergence: S/L and H/L; the refinement takes their mean for
  // both and refines it as one value, SH/L.
  double sl = 0.0, hl = 0.0;
};

struct RefinementPhase {
  std::string name;
  const CKomorka* doc = nullptr;
  bool leBail = false;                             // free intensities, no structure
  std::optional<std::array<int, 3>> orientation;   // March-Dollase axis [hkl]
};

struct RefinementSetup {
  std::vector<RefinementPattern> patterns;
  std::vector<RefinementPhase> phases;
  unsigned refine = kFitScale | kFitZero | kFitBackground;
  int maxIterations = 100;
  // Scales and background first, then cell and zero, then profile, then
  // the rest, each to convergence: a poor start reaches the right minimum
  // far more often.
  bool staged = true;
  // Runs again from the solution with the structure's values moved at
  // random, keeping the best: shallow minima are left behind.
  int restarts = 0;
  // One B for all the sites of an element (per phase) rather than one per site.
  bool bisoPerElement = false;
  std::atomic<bool>* cancel = nullptr;
  // After every step, on the refinement's thread: the steps so far, the
  // Rwp reached (percent) and y_calc at the first pattern's fitted points.
  std::function<void(int iteration, double rwp, const std::vector<double>& calculated)> progress;
};

enum class RefinedKind {
  Scale, Zero, Displacement, Transparency, Background, U, V, W, X, Y, SL,
  Cell, InverseSize, Strain, Orientation, Shift, Occupancy, Biso, Wavelength  // SL: SH/L, S/L = H/L
};

// One value of the model. Python and the program may change value, refine
// and the bounds between runs.
struct RefinedValue {
  std::string name;  // "Pb x", "scale", "a"; with several phases or patterns prefixed "NAME: "
  RefinedKind kind;
  int pattern = -1, phase = -1;
  int index = 0;     // background term, cell constant, site, or the site's direction
  double value = 0.0;
  double lower = -std::numeric_limits<double>::infinity();
  double upper = std::numeric_limits<double>::infinity();
  bool refine = false;
  double esd = std::numeric_limits<double>::quiet_NaN();  // after a run, for refined values
};

struct RefinedSiteFigures {
  std::string label, element;
  std::array<double, 3> xyz{}, xyzEsd{};  // NaN esd: not refined
  double occupancy = 1.0, occupancyEsd = std::numeric_limits<double>::quiet_NaN();
  double biso = 0.0, bisoEsd = std::numeric_limits<double>::quiet_NaN();
};

struct RefinedPhaseFigures {
  std::string name;
  std::vector<double> scale, scaleEsd;                   // per pattern
  double weightFraction = std::numeric_limits<double>::quiet_NaN(), weightFractionEsd = 0.0;
  CellConstants cell{}, cellEsd{};
  double size = std::numeric_limits<double>::infinity(), sizeEsd = 0.0;  // angstrom
  double strain = 0.0, strainEsd = 0.0;
  std::optional<std::array<int, 3>> orientationAxis;
  double orientation = 1.0, orientationEsd = 0.0;
  std::vector<RefinedSiteFigures> sites;
};

struct RefinedPatternFigures {
  std::string name;
  std::vector<double> backgroundPoints;  // 2-theta; the background values are then their heights
  int points = 0;
  double rp = 0.0, rwp = 0.0, rexp = 0.0, chi2 = 0.0;
  // Neighbouring residuals that go together make the esds too small; by
  // this factor, sqrt((1 + rho) / (1 - rho)) with rho the correlation of
  // each weighted residual with the next (Berar & Lelann, J. Appl. Cryst.
  // 24 (1991) 1).
  double serialCorrelation = 1.0;
  std::vector<double> twoTheta, observed, calculated, background;  // the fitted points
  std::vector<std::vector<double>> phaseCurves;  // each phase's part of calculated
  std::vector<std::vector<double>> ticks;        // each phase's first-line peaks, 2-theta as drawn
};

struct Correlation {
  std::string a, b;
  double r = 0.0;
};

struct RefinementOutcome {
  std::string error;  // refused or failed: nothing else is valid
  bool converged = false, singular = false, cancelled = false;
  int iterations = 0, points = 0, refined = 0;
  double rp = 0.0, rwp = 0.0, rexp = 0.0, chi2 = 0.0;
  std::vector<std::string> warnings;
  std::vector<Correlation> correlations;  // every pair of refined values
  std::vector<RefinedPatternFigures> patterns;
  std::vector<RefinedPhaseFigures> phases;
  std::vector<RefinedValue> values;  // every value of the model at the solution, esds for the refined
};

class Refinement {
 public:
  // Null, with *error, when the setup is refused (no points in range, a
  // structure the calculation refuses, an orientation axis of 0 0 0, ...).
  static std::unique_ptr<Refinement> Create(const RefinementSetup& setup, std::string* error);
  ~Refinement();

  std::vector<RefinedValue>& values();
  RefinedValue* Find(const std::string& name);

  // Refines what is marked, from the values as they stand, and leaves the
  // solution in values().
  RefinementOutcome Run();
  void SetStaged(bool staged) { setup_.staged = staged; }
  // The 2-theta of the points fitted in a pattern (in range, not excluded).
  const std::vector<double>& FittedAngles(size_t pattern) const;

  // The refined structure of a phase into a document: cell, sites, grain
  // size; with `instrument` also the first pattern's U V W X Y.
  void ApplyTo(size_t phase, CKomorka& doc, bool instrument) const;

 private:
  friend struct RefinementInspector;  // the tests' look at the model's derivatives
  struct Model;
  explicit Refinement(std::unique_ptr<Model> model);
  void StartLeBail();
  void LeBailCycle();
  std::unique_ptr<Model> model_;
  RefinementSetup setup_;  // the options; patterns and phases live in the model
};

// The report as JSON (the CLI's --report, Python's dict); `files` names
// the phases' and patterns' files.
std::string RefinementJson(const RefinementOutcome& r, const std::vector<std::string>& phaseFiles,
                           const std::vector<std::string>& patternFiles);

}  // namespace pelmora

// Pattern synthesis: every reflection of the document spread over a peak
// profile and summed on the grid.
//
// Use: after a completed calculation the chart view calls
//   Synthesize(setup, doc, doc.angleMin, doc.angleMax, grid);
// and then draws grid.points() (2-theta, intensity) scaled by grid.maximum.
// The setup names the profile (a built-in one or a plug-in's index in the
// plug-in table) and the window rules of the settings.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "diffractogram/PatternGrid.h"
#include "diffractogram/SynthesisOptions.h"
#include "engine/Komorka.h"
#include "engine/Validation.h"
#include "plugins/PluginTable.h"

namespace pelmora {

using ::PeakParams;
using ::ProfilePoint;

// What the built-in pseudo-Voigt initialisation records for each peak.
struct PseudoVoigtInfo {
  std::int32_t h = 0, k = 0, l = 0;
  double twoThetaRad = 0.0;  // twice the theta received
  double lambda = 0.0;
  double Gs = 0.0, Ls = 0.0;  // Gaussian and Lorentzian size terms
  double H = 0.0;
  double sDeg = 0.0;  // s in degrees (times kRadToDeg)
  double gammaG = 0.0, gammaL = 0.0;
  double eta = 0.0;
  double GsCos = 0.0, LsCos = 0.0;  // size terms times cos(theta)
};

struct SynthesisSetup {
  ProfileId profile = kProfilePseudoVoigt;
  const PluginTable* plugins = nullptr;  // needed for plug-in profiles
  SynthesisOptions options;
  // The application's list; the pseudo-Voigt initialisation appends to it.
  std::vector<PseudoVoigtInfo>* pseudoVoigtInfo = nullptr;
};

struct SynthesisReport {
  // Reflections that added nothing or only part of their peak because the
  // width or a profile value was not a finite number (see RefusedPeaksMessage).
  int refusedPeaks = 0;
  // Reflections whose width is below the grid step: their intensity was put
  // on the two grid points around them (see SubGridPeaksMessage).
  int subGridPeaks = 0;
};

// Rewrites the grid from doc.reflectionsAll between angleMin and angleMax,
// writes each reflection's FWHM (-1.0 where the profile gives none or the
// width was refused), sets grid.maximum and grid.snapshot. Plug-in profiles
// are called on the calling thread. Allocates nothing but info records.
SynthesisReport Synthesize(const SynthesisSetup& setup, CKomorka& doc, double angleMin, double angleMax,
                           PatternGrid& grid, double step = kPatternStep);

// The Thompson-Cox-Hastings pseudo-Voigt: its FWHM (degrees) from the
// Gaussian and Lorentzian FWHMs gG and gL, and its mixing eta.
double TchWidth(double gG, double gL, double* eta);
// The pseudo-Voigt's size broadening per unit of 1 / D (D the grain size in
// angstrom) at theta for lambda: its Gaussian and Lorentzian FWHM parts, in
// degrees, are these times 1 / D.
void TchSizePerInverseSize(double theta, double lambda, double* gauss, double* lorentz);

// Tells the user how many peaks were narrower than the grid step ("" for none).
std::string SubGridPeaksMessage(int subGridPeaks, double step = kPatternStep);
// Tells the user how many reflections were left out ("" for none).
std::string RefusedPeaksMessage(int refusedPeaks);

}  // namespace pelmora

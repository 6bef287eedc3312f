// Fitting calculated patterns to a measured one. The model at a measured
// angle t is
//   y_calc(t) = sum_p s_p * I_p(t - z) + b(t),
// I_p the pattern of phase p exactly as the calculation path synthesises it
// (and the text export writes it at scale 1), linearly interpolated on its
// grid; z the zero shift; b a Chebyshev series over the fitted range. The
// weights are 1 / sigma^2 from the file, else 1 / y_obs (1 where y_obs <= 0).
// Eigen's Levenberg-Marquardt minimises sum w (y_obs - y_calc)^2 over the
// chosen values; the documents themselves are never touched.
#pragma once

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "diffractogram/PatternSynthesis.h"
#include "engine/Komorka.h"
#include "measured/MeasuredPattern.h"

namespace pelmora {

// What may be refined, as bits.
enum FitWhat : unsigned {
  kFitScale = 1,       // each phase's scale
  kFitZero = 2,        // the zero shift
  kFitBackground = 4,  // the Chebyshev coefficients
  kFitWidths = 8,      // the instrument's U, V, W (shared by all phases)
  kFitCell = 16,       // each phase's cell constants its crystal system leaves free
  kFitSize = 32,       // each phase's grain size
  // The refinement's further values (measured/Refinement.h).
  kFitPositions = 64,      // each site's free coordinates
  kFitOccupancy = 128,     // each site's occupancy
  kFitBiso = 256,          // each site's isotropic B
  kFitOrientation = 512,   // March-Dollase r of the phases given an axis
  kFitAsymmetry = 1024,    // the axial divergence's S/L and H/L
  kFitDisplacement = 2048, // the sample's displacement
  kFitTransparency = 4096, // the sample's transparency
  kFitStrain = 8192,       // each phase's microstrain
  kFitLorentz = 16384,     // the instrument's Lorentzian X and Y
  kFitWavelength = 32768,  // each pattern's wavelength but the first's
};
// What the pattern fit (FitPattern) refines; the rest needs the refinement.
inline constexpr unsigned kPatternFitWhat = kFitScale | kFitZero | kFitBackground | kFitWidths | kFitCell | kFitSize;

// "scale,zero,background,uvw,cell,size" and the refinement's "positions,
// occupancy,biso,orientation,asymmetry,displacement,transparency,strain,xy,
// wavelength"
// (any subset, any order) as bits;
// false with *bad set to the first unknown word.
bool ParseFitWhat(const std::string& list, unsigned& what, std::string* bad);

// The Chebyshev background has 0 to kMaxBackgroundTerms terms.
constexpr int kMaxBackgroundTerms = 30;
inline bool BackgroundTermsValid(int terms) { return terms >= 0 && terms <= kMaxBackgroundTerms; }

struct FitOptions {
  unsigned refine = kFitScale | kFitZero | kFitBackground;
  int backgroundTerms = 6;
  // The fitted 2-theta range; NaN: the first document's range. Only
  // measured points inside it count.
  double rangeMin = NAN, rangeMax = NAN;
  SynthesisSetup setup;      // the profile of every phase's pattern
  int maxIterations = 100;   // Levenberg-Marquardt steps
  std::atomic<bool>* cancel = nullptr;  // set from another thread to stop
  // After every step: the step number and the Rwp reached, in percent.
  std::function<void(int step, double rwp)> progress;
};

// Indices into UnitCell order a, b, c, alpha, beta, gamma.
struct FitPhase {
  std::string name;
  double scale = 0.0, scaleEsd = 0.0;
  std::array<double, 6> cell{};     // a, b, c, alpha, beta, gamma
  std::array<double, 6> cellEsd{};  // 0 for constants not refined or tied
  double grainSize = 0.0, grainSizeEsd = 0.0;
  double cellMass = 0.0;            // ZM in g/mol (0 when an atom has no element)
  double volume = 0.0;              // V in cubic angstrom
  double weightFraction = NAN;      // Hill-Howard; NaN when a mass is unknown
  std::vector<double> curve;        // s_p * I_p(t - z) at the fitted points
  // I_p itself at the solution on the whole grid (unscaled, unshifted,
  // with the first document's experiment; flat outside the fitted range
  // and its margin), and the angles of its first-line reflections, so that
  // a chart can draw this phase without calculating it again.
  std::shared_ptr<const PatternGrid> pattern;
  std::vector<double> reflectionAngles;
};

struct FitResult {
  std::string error;   // non-empty: refused or failed, nothing else is valid
  bool cancelled = false;
  int points = 0, parameters = 0, iterations = 0;
  double rp = 0.0, rwp = 0.0, rexp = 0.0, chi2 = 0.0;  // percent, percent, percent, plain
  double zero = 0.0, zeroEsd = 0.0;
  std::vector<double> background, backgroundEsd;       // Chebyshev coefficients
  double u = 0.0, v = 0.0, w = 0.0;
  std::array<double, 3> widthEsd{};
  double rangeMin = 0.0, rangeMax = 0.0;               // the Chebyshev variable's range
  std::vector<FitPhase> phases;
  // The fitted points: angle, observed, calculated, background, weight.
  std::vector<double> twoTheta, observed, calculated, backgroundCurve, weight;
};

// Fits the documents' patterns (the first document's experiment for all) to
// the measurement. Refusals (no points in range, a document the
// calculation refuses, a profile without width for a width, cell or size
// refinement) come back in error.
FitResult FitPattern(const std::vector<const CKomorka*>& docs, const MeasuredPattern& measured,
                     const FitOptions& options);

// The agreement factors of a model, as FitPattern reports them: Rp, Rwp and
// Rexp in percent for `parameters` refined values, chi2 = (Rwp / Rexp)^2.
struct Agreement {
  double rp = 0.0, rwp = 0.0, rexp = 0.0, chi2 = 0.0;
};
Agreement AgreementOf(const std::vector<double>& observed, const std::vector<double>& calculated,
                      const std::vector<double>& weight, int parameters);

// 1 / sigma^2 with sigma, else 1 / y (1 where y <= 0).
double FitWeight(double y, double sigma);

// Chebyshev polynomials T_0 ... T_{n-1} at x in [-1, 1].
void Chebyshev(double x, int n, double* out);

// The values a fit found, into a document: the refined cell (with the
// constants its system ties), the grain size and, when refined, U V W.
void ApplyFitToDocument(const FitResult& fit, size_t phase, unsigned refined, CKomorka& doc);

// The mass of the cell's contents (sum of the standard atomic weights of
// the cell atoms), g/mol; 0 when an atom has no known element.
double CellContentsMass(const Crystal& crystal);

// Hill-Howard weight fractions from scales, cell masses and volumes. The
// calculated intensities already carry 1 / V^2, so W_p is proportional to
// s_p (ZM)_p / V_p. NaN for all when a mass is unknown.
std::vector<double> WeightFractions(const std::vector<double>& scale, const std::vector<double>& cellMass,
                                    const std::vector<double>& volume);

}  // namespace pelmora

// What the refinement is asked and what every fit shares: the words of what
// to refine, the request's options, the points' weights, the agreement
// factors, the background's Chebyshev terms and a cell's mass.
#pragma once

#include <cmath>
#include <string>
#include <vector>

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

// "scale,zero,background,uvw,xy,cell,size,strain,positions,occupancy,biso,
// orientation,asymmetry,displacement,transparency,wavelength" (any subset,
// any order) as bits; false with *bad set to the first unknown word.
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
  int maxIterations = 100;   // Levenberg-Marquardt steps
};

// The agreement factors of a model: Rp, Rwp and
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

// The mass of the cell's contents (sum of the standard atomic weights of
// the cell atoms), g/mol; 0 when an atom has no known element.
double CellContentsMass(const Crystal& crystal);

}  // namespace pelmora

// The peak shape of the refinement: the Thompson-Cox-Hastings pseudo-Voigt
// of the calculated patterns, made asymmetric at low and high angles by the
// axial divergence of Finger, Cox & Jephcoat (J. Appl. Cryst. 27 (1994) 892).
#pragma once

#include <vector>

namespace pelmora::refinement {

// A peak reaches this many FWHM either side of its centre.
inline constexpr double kPeakReach = 25.0;

// The unit-area pseudo-Voigt of FWHM H and mixing eta at an offset x
// (degrees) from its centre, zero beyond kPeakReach H, where its
// Lorentzian part goes smoothly to zero.
double PseudoVoigt(double x, double H, double eta);

// The same with its derivatives by x, by H and by eta.
double PseudoVoigt(double x, double H, double eta, double& dx, double& dH, double& dEta);

// The axial-divergence profile as a weighted sum of shifted copies of the
// symmetric one: offsets from the peak in degrees 2-theta, weights summing
// to 1. S/L and H/L are the sample's and the detector's half heights over
// the diffractometer's radius. One node of offset 0 when the asymmetry is
// below a fiftieth of the width H.
struct DivergenceNode {
  double offset, weight;
};
void AxialDivergence(double twoTheta, double sl, double hl, double H, std::vector<DivergenceNode>& nodes);

// The n Gauss-Legendre nodes and weights on [0, 1].
void GaussLegendre(int n, std::vector<double>& x, std::vector<double>& w);

}  // namespace pelmora::refinement

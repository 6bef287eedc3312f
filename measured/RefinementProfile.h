// The peak shape of the refinement: the Thompson-Cox-Hastings pseudo-Voigt
// of the calculated patterns, made asymmetric at low and high angles by the
// axial divergence of Finger, Cox & Jephcoat (J. Appl. Cryst. 27 (1994) 892).
#pragma once

#include <cmath>
#include <utility>
#include <vector>

namespace pelmora::refinement {

// A peak reaches this many FWHM either side of its centre.
inline constexpr double kPeakReach = 25.0;

// The axial-divergence profile as a weighted sum of shifted copies of the
// symmetric one: offsets from the peak in degrees 2-theta, weights summing
// to 1. S/L and H/L are the sample's and the detector's half heights over
// the diffractometer's radius. One node of offset 0 when the asymmetry is
// below a fiftieth of the width H. With `rates`, each node's offset and
// weight differentiated by S/L and H/L moved together (the refinement's
// SH/L), the count of nodes held.
struct DivergenceNode {
  double offset, weight;
};
void AxialDivergence(double twoTheta, double sl, double hl, double H, std::vector<DivergenceNode>& nodes,
                     std::vector<DivergenceNode>* rates = nullptr);

// The unit-area pseudo-Voigt of FWHM H and mixing eta at an offset x
// (degrees) from its centre, zero beyond kPeakReach H, where its
// Lorentzian part goes smoothly to zero: the Lorentzian is cut there less
// its value at the cut, so that a point does not jump as a width changes,
// and scaled back to unit area. What every point of a peak shares is
// worked out once: a refinement draws millions of points a step.
class PseudoVoigt {
 public:
  PseudoVoigt(double H, double eta)
      : eta_(eta), invH_(1.0 / H), invH2_(1.0 / (H * H)), H_(H),
        lorentz_(eta * kLorentzNorm / (kLorentzArea * H)), lorentzCut_(eta * kLorentzAtReach / (kLorentzArea * H)),
        gauss_((1.0 - eta) * kGaussNorm / H), unitLorentz_(kLorentzNorm / (kLorentzArea * H)),
        unitCut_(kLorentzAtReach / (kLorentzArea * H)), unitGauss_(kGaussNorm / H) {}

  // The profile at the n points t (ascending) of a peak at tth made of the
  // divergence's nodes, into out. Node by node: first the Lorentzian over
  // every point (a loop the compiler runs two points at a time), then the
  // Gaussian over the points within its reach.
  void Draw(const double* t, size_t n, double tth, const std::vector<DivergenceNode>& nodes, double* out) const;
  // With its derivatives by the peak's place, by H, by eta and (given the
  // nodes' rates) by SH/L, into the arrays named so; dAxial may be null.
  // The nodes add their unit Lorentzian's and Gaussian's parts apart; the
  // mixing and the width act once per point.
  void DrawWithDerivatives(const double* t, size_t n, double tth, const std::vector<DivergenceNode>& nodes,
                           const std::vector<DivergenceNode>* rates, double* profile, double* dPos, double* dH,
                           double* dEta, double* dAxial) const;

 private:
  static constexpr double kGaussNorm = 0.939437278699651;    // 2 sqrt(ln 2 / pi)
  static constexpr double kGaussExp = 2.77258872223978;      // 4 ln 2
  static constexpr double kLorentzNorm = 0.636619772367581;  // 2 / pi
  // Beyond 4 FWHM the Gaussian is below 1e-19 of its top: not worth an exp.
  static constexpr double kGaussReach = 16.0;
  static constexpr double kReach2 = kPeakReach * kPeakReach;
  // L(R) H at the cut, and the cut one's area (2 / pi) atan(2 R) - 2 R L(R) H.
  static constexpr double kLorentzAtReach = kLorentzNorm / (1.0 + 4.0 * kPeakReach * kPeakReach);
  static constexpr double kLorentzArea = 0.97454199727251256;

  // The points [first, end) within the Gaussian's reach of a node at centre.
  std::pair<size_t, size_t> GaussRange(const double* t, size_t n, double centre) const;

  double eta_, invH_, invH2_, H_, lorentz_, lorentzCut_, gauss_;
  double unitLorentz_, unitCut_, unitGauss_;  // the parts per unit of their share
};

// The n Gauss-Legendre nodes and weights on [0, 1].
void GaussLegendre(int n, std::vector<double>& x, std::vector<double>& w);

}  // namespace pelmora::refinement

// The peak shape of the refinement: the Thompson-Cox-Hastings pseudo-Voigt
// of the calculated patterns, made asymmetric at low and high angles by the
// axial divergence of Finger, Cox & Jephcoat (J. Appl. Cryst. 27 (1994) 892).
#pragma once

#include <cmath>
#include <vector>

namespace pelmora::refinement {

// A peak reaches this many FWHM either side of its centre.
inline constexpr double kPeakReach = 25.0;

// The unit-area pseudo-Voigt of FWHM H and mixing eta at an offset x
// (degrees) from its centre, zero beyond kPeakReach H, where its
// Lorentzian part goes smoothly to zero: the Lorentzian is cut there less
// its value at the cut, so that a point does not jump as a width changes,
// and scaled back to unit area. What every point of a peak shares is
// worked out once: a refinement draws millions of points a step.
class PseudoVoigt {
 public:
  PseudoVoigt(double H, double eta)
      : H_(H), eta_(eta), invH_(1.0 / H), invH2_(1.0 / (H * H)),
        lorentz_(eta * kLorentzNorm / (kLorentzArea * H)), lorentzCut_(eta * kLorentzAtReach / (kLorentzArea * H)),
        gauss_((1.0 - eta) * kGaussNorm / H), unitLorentz_(kLorentzNorm / (kLorentzArea * H)),
        unitCut_(kLorentzAtReach / (kLorentzArea * H)), unitGauss_(kGaussNorm / H) {}

  double operator()(double x) const {
    const double q = x * x * invH2_;
    if (q >= kPeakReach * kPeakReach) return 0.0;
    const double gauss = q < kGaussReach ? gauss_ * std::exp(-kGaussExp * q) : 0.0;
    return lorentz_ / (1.0 + 4.0 * q) - lorentzCut_ + gauss;
  }

  // A point's value and derivatives over the divergence's nodes: each
  // node adds its unit Lorentzian's and Gaussian's parts, weighted (and, for
  // SH/L, by the rates of its weight and place); Point() mixes them once.
  // Beyond 4 FWHM of every node only the Lorentzian's sums grow.
  struct Sums {
    double L = 0, G = 0, Lx = 0, Gx = 0, LH = 0, GH = 0;  // by the nodes' weights
    double rL = 0, rG = 0, rLx = 0, rGx = 0;              // by their rates
  };
  template <bool kRates>
  void Add(double x, double weight, double dWeight, double dOffset, Sums& s) const {
    const double q = x * x * invH2_;
    if (q >= kPeakReach * kPeakReach) return;
    const double r = 1.0 / (1.0 + 4.0 * q);
    const double L = unitLorentz_ * r - unitCut_;
    const double slope = 8.0 * unitLorentz_ * r * r;  // -dL/dx H^2 / x of the uncut Lorentzian
    const double Lx = slope * x;
    s.L += weight * L, s.Lx += weight * Lx, s.LH += weight * (slope * q - L);
    if (kRates) s.rL += dWeight * L, s.rLx += weight * dOffset * Lx;
    if (q >= kGaussReach) return;
    const double G = unitGauss_ * std::exp(-kGaussExp * q), Gx = G * x;
    s.G += weight * G, s.Gx += weight * Gx, s.GH += weight * G * (2.0 * kGaussExp * q - 1.0);
    if (kRates) s.rG += dWeight * G, s.rGx += weight * dOffset * Gx;
  }
  // The value; its derivatives by the peak's place (d/dx the other way),
  // by H, by eta and by SH/L.
  double Point(const Sums& s, double& dPos, double& dH, double& dEta, double& dAxial) const {
    const double mixG = 1.0 - eta_;
    dPos = invH2_ * (eta_ * s.Lx + mixG * 2.0 * kGaussExp * s.Gx);
    dH = invH_ * (eta_ * s.LH + mixG * s.GH);
    dEta = s.L - s.G;
    dAxial = eta_ * s.rL + mixG * s.rG + invH2_ * (eta_ * s.rLx + mixG * 2.0 * kGaussExp * s.rGx);
    return eta_ * s.L + mixG * s.G;
  }

 private:
  static constexpr double kGaussNorm = 0.939437278699651;    // 2 sqrt(ln 2 / pi)
  static constexpr double kGaussExp = 2.77258872223978;      // 4 ln 2
  static constexpr double kLorentzNorm = 0.636619772367581;  // 2 / pi
  // Beyond 4 FWHM the Gaussian is below 1e-19 of its top: not worth an exp.
  static constexpr double kGaussReach = 16.0;
  // L(R) H at the cut, and the cut one's area (2 / pi) atan(2 R) - 2 R L(R) H.
  static constexpr double kLorentzAtReach = kLorentzNorm / (1.0 + 4.0 * kPeakReach * kPeakReach);
  static constexpr double kLorentzArea = 0.97454199727251256;

  double H_, eta_, invH_, invH2_, lorentz_, lorentzCut_, gauss_;
  double unitLorentz_, unitCut_, unitGauss_;  // the parts per unit of their share
};

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

// The n Gauss-Legendre nodes and weights on [0, 1].
void GaussLegendre(int n, std::vector<double>& x, std::vector<double>& w);

}  // namespace pelmora::refinement

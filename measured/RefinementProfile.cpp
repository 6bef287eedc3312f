#include "measured/RefinementProfile.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <mutex>

#include "engine/Angles.h"

namespace pelmora::refinement {

void GaussLegendre(int n, std::vector<double>& x, std::vector<double>& w) {
  x.assign(static_cast<size_t>(n), 0.0);
  w.assign(static_cast<size_t>(n), 0.0);
  for (int i = 0; i < n; ++i) {
    double z = std::cos(kPi * (i + 0.75) / (n + 0.5)), dp = 1.0;
    for (int iter = 0; iter < 100; ++iter) {
      double p0 = 1.0, p1 = z;
      for (int k = 2; k <= n; ++k) {
        const double p2 = ((2.0 * k - 1.0) * z * p1 - (k - 1.0) * p0) / k;
        p0 = p1;
        p1 = p2;
      }
      dp = n * (z * p1 - p0) / (z * z - 1.0);
      const double dz = p1 / dp;
      z -= dz;
      if (std::fabs(dz) < 1e-15) break;
    }
    x[static_cast<size_t>(i)] = 0.5 * (1.0 - z);
    w[static_cast<size_t>(i)] = 1.0 / ((1.0 - z * z) * dp * dp);
  }
}

namespace {

const std::pair<std::vector<double>, std::vector<double>>& NodesOf(int n) {
  static std::mutex lock;
  static std::map<int, std::pair<std::vector<double>, std::vector<double>>> cache;
  std::lock_guard<std::mutex> hold(lock);
  auto it = cache.find(n);
  if (it == cache.end()) {
    std::pair<std::vector<double>, std::vector<double>> xw;
    GaussLegendre(n, xw.first, xw.second);
    it = cache.emplace(n, std::move(xw)).first;
  }
  return it->second;
}

}  // namespace

void AxialDivergence(double twoTheta, double sl, double hl, double H, std::vector<DivergenceNode>& nodes,
                     std::vector<DivergenceNode>* rates) {
  nodes.assign(1, {0.0, 1.0});
  if (rates) rates->assign(1, {0.0, 0.0});
  if (!(sl + hl > 0.0)) return;
  const double t2raw = DegreesToRadians(twoTheta);
  // Above 90 degrees the profile is the mirror image of that at 180 - 2theta.
  const bool low = t2raw < kPi / 2;
  const double t2 = low ? t2raw : kPi - t2raw;
  const double c = std::cos(t2);
  if (c <= 1e-9) return;
  const double root = std::sqrt((hl + sl) * (hl + sl) + 1.0);
  const double cosMin = c * root;
  const double phiMin = cosMin >= 1.0 ? 0.0 : std::acos(cosMin);
  const double cosInfl = c * std::sqrt((hl - sl) * (hl - sl) + 1.0);
  const double phiInfl = cosInfl >= 1.0 ? 0.0 : std::acos(cosInfl);
  const double span = t2 - phiMin;  // radians
  if (span * kRadToDeg < 0.02 * H) return;
  // The rates: S/L and H/L each move by 1, so their sum by 2 and their
  // difference (phiInfl) not at all.
  const double dSpan = cosMin >= 1.0 ? 0.0 : c * 2.0 * (hl + sl) / root / std::sqrt(1.0 - cosMin * cosMin);
  // phi = t2 - span v^2 takes away the 1 / h singularity at the peak.
  const int n = std::clamp(static_cast<int>(std::ceil(span * kRadToDeg / H)), 5, 24);
  const auto& [x, w] = NodesOf(n);
  nodes.clear();
  if (rates) rates->clear();
  double total = 0.0, dTotal = 0.0;
  for (size_t j = 0; j < x.size(); ++j) {
    const double v = x[j], phi = t2 - span * v * v, dPhi = -dSpan * v * v;
    const double cp = std::cos(phi), dCp = -std::sin(phi) * dPhi;
    const double h = std::sqrt(std::max(cp * cp / (c * c) - 1.0, 0.0));
    const double dh = h > 0.0 ? cp * dCp / (c * c) / h : 0.0;
    const bool inner = phi < phiInfl;
    const double W = inner ? hl + sl - h : 2.0 * std::min(hl, sl), dW = inner ? 2.0 - dh : 2.0;
    // W / (h cos phi) dphi with dphi = 2 span v dv: finite as v -> 0.
    double weight, dLogWeight;
    if (h > 1e-12) {
      weight = std::max(W, 0.0) / (h * cp) * 2.0 * span * v * w[j];
      dLogWeight = dW / W - dh / h - dCp / cp + dSpan / span;
    } else {
      weight = std::max(W, 0.0) / cp * 2.0 * std::sqrt(span / (2.0 * std::tan(t2))) * w[j];
      dLogWeight = dW / W - dCp / cp + 0.5 * dSpan / span;
    }
    const double dWeight = W > 0.0 ? weight * dLogWeight : 0.0;
    const double offset = (phi - t2) * kRadToDeg, dOffset = dPhi * kRadToDeg;
    nodes.push_back({low ? offset : -offset, weight});
    if (rates) rates->push_back({low ? dOffset : -dOffset, dWeight});
    total += weight;
    dTotal += dWeight;
  }
  if (!(total > 0.0)) {
    nodes.assign(1, {0.0, 1.0});
    if (rates) rates->assign(1, {0.0, 0.0});
    return;
  }
  for (size_t j = 0; j < nodes.size(); ++j) {
    nodes[j].weight /= total;
    if (rates) (*rates)[j].weight = ((*rates)[j].weight - nodes[j].weight * dTotal) / total;
  }
}

std::pair<size_t, size_t> PseudoVoigt::GaussRange(const double* t, size_t n, double centre) const {
  // A little wider than 4 FWHM: the test of q inside decides.
  const double reach = 4.0001 * H_;
  const auto first = static_cast<size_t>(std::lower_bound(t, t + n, centre - reach) - t);
  const auto end = static_cast<size_t>(std::upper_bound(t, t + n, centre + reach) - t);
  return {first, std::max(first, end)};
}

void PseudoVoigt::Draw(const double* t, size_t n, double tth, const std::vector<DivergenceNode>& nodes,
                       double* out) const {
  std::fill(out, out + n, 0.0);
  for (const DivergenceNode& node : nodes) {
    const double w = node.weight, offset = node.offset;
#pragma omp simd
    for (size_t k = 0; k < n; ++k) {
      const double x = (t[k] - tth) - offset, q = x * x * invH2_;
      // Beyond the reach the node adds nothing: a factor, not a branch.
      const double in = q < kReach2;
      out[k] += in * (w * (lorentz_ / (1.0 + 4.0 * q) - lorentzCut_));
    }
    const auto [first, end] = GaussRange(t, n, tth + offset);
    for (size_t k = first; k < end; ++k) {
      const double x = (t[k] - tth) - offset, q = x * x * invH2_;
      if (q < kGaussReach) out[k] += w * (gauss_ * std::exp(-kGaussExp * q));
    }
  }
}

void PseudoVoigt::DrawWithDerivatives(const double* t, size_t n, double tth, const std::vector<DivergenceNode>& nodes,
                                      const std::vector<DivergenceNode>* rates, double* profile, double* dPos,
                                      double* dH, double* dEta, double* dAxial) const {
  // Per point, by the nodes' weights: the unit Lorentzian, its slope term
  // (-dL/dx H^2), its width term (dL/dH H); the same of the Gaussian; and
  // by the weights' and places' rates the value and the slope terms.
  thread_local std::vector<double> sums;
  sums.assign(10 * n, 0.0);
  double *L = sums.data(), *Lx = L + n, *LH = Lx + n, *rL = LH + n, *rLx = rL + n;
  double *G = rLx + n, *Gx = G + n, *GH = Gx + n, *rG = GH + n, *rGx = rG + n;
  for (size_t j = 0; j < nodes.size(); ++j) {
    const double w = nodes[j].weight, offset = nodes[j].offset;
    const double dw = rates ? (*rates)[j].weight : 0.0, wdo = rates ? w * (*rates)[j].offset : 0.0;
#pragma omp simd
    for (size_t k = 0; k < n; ++k) {
      const double x = (t[k] - tth) - offset, q = x * x * invH2_;
      const double r = 1.0 / (1.0 + 4.0 * q);
      const double l = unitLorentz_ * r - unitCut_, slope = 8.0 * unitLorentz_ * r * r;
      const double lx = slope * x, lh = slope * q - l;
      // Beyond the reach the node adds nothing: a factor, not a branch.
      const double in = q < kReach2;
      L[k] += in * (w * l), Lx[k] += in * (w * lx), LH[k] += in * (w * lh);
      rL[k] += in * (dw * l), rLx[k] += in * (wdo * lx);
    }
    const auto [first, end] = GaussRange(t, n, tth + offset);
    for (size_t k = first; k < end; ++k) {
      const double x = (t[k] - tth) - offset, q = x * x * invH2_;
      if (!(q < kGaussReach)) continue;
      const double g = unitGauss_ * std::exp(-kGaussExp * q), gx = g * x;
      G[k] += w * g, Gx[k] += w * gx, GH[k] += w * (g * (2.0 * kGaussExp * q - 1.0));
      rG[k] += dw * g, rGx[k] += wdo * gx;
    }
  }
  const double mixG = 1.0 - eta_;
#pragma omp simd
  for (size_t k = 0; k < n; ++k) {
    profile[k] = eta_ * L[k] + mixG * G[k];
    dPos[k] = invH2_ * (eta_ * Lx[k] + mixG * 2.0 * kGaussExp * Gx[k]);
    dH[k] = invH_ * (eta_ * LH[k] + mixG * GH[k]);
    dEta[k] = L[k] - G[k];
  }
  if (!dAxial) return;
#pragma omp simd
  for (size_t k = 0; k < n; ++k)
    dAxial[k] = eta_ * rL[k] + mixG * rG[k] + invH2_ * (eta_ * rLx[k] + mixG * 2.0 * kGaussExp * rGx[k]);
}

}  // namespace pelmora::refinement

// The derivatives of y_calc: the scales and the background directly, the
// structure's values through the analytic derivatives of |F|^2 spread over
// the peaks already drawn, the rest (positions and widths of the peaks) by
// central differences of the patterns and phases they touch.
#include <Eigen/Dense>

#include <algorithm>
#include <cmath>
#include <map>

#include "engine/Angles.h"
#include "measured/RefinementModel.h"

namespace pelmora::refinement {
namespace {

bool ThroughSums(RefinedKind k) {
  return k == RefinedKind::Shift || k == RefinedKind::Occupancy || k == RefinedKind::Biso ||
         k == RefinedKind::Orientation;
}

double StepOf(RefinedKind k, double v) {
  switch (k) {
    case RefinedKind::Cell: return std::max(1e-6 * std::fabs(v), 1e-7);
    case RefinedKind::InverseSize: return 1e-6;
    case RefinedKind::Strain: return 1e-7;
    case RefinedKind::Zero:
    case RefinedKind::Displacement:
    case RefinedKind::Transparency: return 1e-4;
    default: return 1e-5;
  }
}

bool PatternLevel(RefinedKind k) { return k != RefinedKind::Cell && k != RefinedKind::InverseSize && k != RefinedKind::Strain; }

}  // namespace

bool Model::Jacobian(const Eigen::VectorXd&, Eigen::MatrixXd& J) {
  const Eigen::Index N = pointCount();
  J.setZero(N, static_cast<Eigen::Index>(refined.size()));
  std::vector<Eigen::Index> row0(patterns.size(), 0);
  for (size_t p = 1; p < patterns.size(); ++p) row0[p] = row0[p - 1] + static_cast<Eigen::Index>(patterns[p - 1].t.size());
  std::map<std::pair<size_t, int>, Eigen::MatrixXd> grads;
  std::vector<double> plus, minus;
  for (size_t j = 0; j < refined.size(); ++j) {
    if (cancel && cancel->load()) return false;
    const auto col = static_cast<Eigen::Index>(j);
    RefinedValue& v = values[static_cast<size_t>(refined[j])];
    if (v.kind == RefinedKind::Background) {
      const PatternData& pat = patterns[static_cast<size_t>(v.pattern)];
      for (size_t i = 0; i < pat.t.size(); ++i)
        J(row0[static_cast<size_t>(v.pattern)] + static_cast<Eigen::Index>(i), col) =
            pat.sw[i] * pat.chebyshev[i * static_cast<size_t>(pat.K) + static_cast<size_t>(v.index)];
    } else if (v.kind == RefinedKind::Scale || ThroughSums(v.kind)) {
      const auto f = static_cast<size_t>(v.phase);
      PhaseData& ph = phases[f];
      // The structure coordinates this value moves, with their weights.
      std::vector<std::pair<int, double>> moves;
      const int nc = ph.structure ? ph.structure->coordinateCount() : 0;
      if (v.kind == RefinedKind::Orientation) moves.push_back({nc, 1.0});
      for (int c = 0; c < nc && ThroughSums(v.kind); ++c)
        if (ph.coordinate[static_cast<size_t>(c)] == refined[j]) moves.push_back({c, 1.0});
      if (v.kind == RefinedKind::Occupancy)
        for (const PhaseData::Follow& fo : ph.follows)
          for (int o : fo.others)
            if (o == v.index) {
              const RefinedSite& s = ph.structure->sites[static_cast<size_t>(fo.site)];
              moves.push_back({s.firstCoordinate + static_cast<int>(s.dirs.size()), -1.0});
            }
      for (size_t p = 0; p < patterns.size(); ++p) {
        if (v.kind == RefinedKind::Scale && static_cast<int>(p) != v.pattern) continue;
        if (ph.input.leBail && v.kind != RefinedKind::Scale) continue;
        const PatternData& pat = patterns[p];
        const int rad = pat.input.experiment.radiation == 1 ? 1 : 0;
        const std::vector<double>& G = ph.input.leBail ? ph.leBail[p] : Sums(f, rad);
        const Eigen::MatrixXd* grad = nullptr;
        if (v.kind != RefinedKind::Scale) {
          auto it = grads.find({f, rad});
          if (it == grads.end()) {
            it = grads.emplace(std::pair{f, rad}, Eigen::MatrixXd()).first;
            SumGradients(f, rad, it->second);
          }
          grad = &it->second;
        }
        const double scale = values[static_cast<size_t>(ph.scale[p])].value;
        for (const Peak& pk : peaks_[p]) {
          if (pk.phase != static_cast<int>(f)) continue;
          double dI = pk.factor;
          if (grad) {
            double dG = 0.0;
            for (const auto& [c, w] : moves) dG += w * (*grad)(pk.group, c);
            dI *= scale * dG;
          } else {
            dI *= G[static_cast<size_t>(pk.group)];
          }
          if (dI == 0.0) continue;
          for (size_t i = 0; i < pk.profile.size(); ++i) {
            const size_t at = static_cast<size_t>(pk.first) + i;
            J(row0[p] + static_cast<Eigen::Index>(at), col) += pat.sw[at] * dI * pk.profile[i];
          }
        }
      }
    } else {
      const double v0 = v.value, h = StepOf(v.kind, v0);
      for (size_t p = 0; p < patterns.size(); ++p) {
        if (PatternLevel(v.kind) && static_cast<int>(p) != v.pattern) continue;
        for (size_t f = 0; f < phases.size(); ++f) {
          if (!PatternLevel(v.kind) && static_cast<int>(f) != v.phase) continue;
          v.value = v0 + h;
          PhaseCurve(p, f, plus, nullptr);
          v.value = v0 - h;
          PhaseCurve(p, f, minus, nullptr);
          v.value = v0;
          for (size_t i = 0; i < plus.size(); ++i)
            J(row0[p] + static_cast<Eigen::Index>(i), col) += patterns[p].sw[i] * (plus[i] - minus[i]) / (2.0 * h);
        }
      }
    }
  }
  return J.allFinite();
}

bool Model::Feasible(const Eigen::VectorXd& x) {
  auto at = [&](int i) {
    if (i < 0) return 0.0;
    for (size_t j = 0; j < refined.size(); ++j)
      if (refined[j] == i) return x[static_cast<Eigen::Index>(j)];
    return values[static_cast<size_t>(i)].value;
  };
  auto isRefined = [&](int i) { return std::find(refined.begin(), refined.end(), i) != refined.end(); };
  for (const PatternData& pat : patterns) {
    // Widths the refinement does not move stay as the user gave them.
    if (pat.t.empty() || !(isRefined(pat.u) || isRefined(pat.v) || isRefined(pat.w_))) continue;
    const double U = at(pat.u), V = at(pat.v), W = at(pat.w_);
    // U t^2 + V t + W over the range's tan(theta), at its ends and its vertex.
    const double t1 = std::tan(ThetaOfTwoTheta(pat.t.front())), t2 = std::tan(ThetaOfTwoTheta(std::min(pat.t.back(), 179.0)));
    double lowest = std::min(U * t1 * t1 + V * t1 + W, U * t2 * t2 + V * t2 + W);
    if (U > 0.0) {
      const double tv = -V / (2.0 * U);
      if (tv > t1 && tv < t2) lowest = std::min(lowest, W - V * V / (4.0 * U));
    }
    if (!(lowest > 1e-8)) return false;
  }
  return true;
}

}  // namespace pelmora::refinement

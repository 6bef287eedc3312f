// The derivatives of y_calc: the scales and the background directly, the
// structure's values through the analytic derivatives of |F|^2 spread over
// the peaks already drawn, the rest (positions and widths of the peaks) by
// central differences of the patterns and phases they touch.
#include <Eigen/Dense>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <map>

#include "engine/Angles.h"
#include "io/NumberFormat.h"
#include "measured/RefinementModel.h"

#ifdef _OPENMP
#include <omp.h>
#endif

namespace pelmora::refinement {
namespace {

bool ThroughSums(RefinedKind k) {
  return k == RefinedKind::Shift || k == RefinedKind::Occupancy || k == RefinedKind::Biso ||
         k == RefinedKind::Orientation;
}

bool PatternLevel(RefinedKind k) { return k != RefinedKind::Cell && k != RefinedKind::InverseSize && k != RefinedKind::Strain; }

}  // namespace

namespace {

// How a value changes one peak: its place, the profile's width and mixing,
// its intensity (log), and the divergence's SH/L.
struct ShapeTerms {
  double pos = 0.0, width = 0.0, mix = 0.0, lnI = 0.0, axial = 0.0;
};

// What the terms of a pattern's and phase's peaks share.
struct ShapeContext {
  const PatternData& pat;
  const PhaseData& ph;
  double radius, inverseSize, lambda;
};

// A cell constant's column: the cell moved either way by h.
struct MovedCell {
  UnitCell plus, minus;
  double h = 0.0;
};

ShapeTerms TermsOf(const RefinedValue& v, const Peak& pk, const ShapeContext& x, const MovedCell& cell) {
  const double t = std::tan(pk.theta), c = std::cos(pk.theta);
  ShapeTerms d;
  double dgG = 0.0, dgL = 0.0;
  switch (v.kind) {
    case RefinedKind::Zero: d.pos = 1.0; break;
    case RefinedKind::Wavelength: d.pos = 2.0 * t / v.value * kRadToDeg; break;
    case RefinedKind::Displacement: d.pos = -2.0 * c / x.radius * kRadToDeg; break;
    case RefinedKind::Transparency: d.pos = std::sin(2.0 * pk.theta); break;
    case RefinedKind::U: dgG = t * t / (2.0 * pk.gG); break;
    case RefinedKind::V: dgG = t / (2.0 * pk.gG); break;
    case RefinedKind::W: dgG = 1.0 / (2.0 * pk.gG); break;
    case RefinedKind::X: dgL = t; break;
    case RefinedKind::Y: dgL = 1.0 / c; break;
    case RefinedKind::InverseSize: dgG = pk.gs * pk.gs * x.inverseSize / pk.gG, dgL = pk.ls; break;
    case RefinedKind::Strain: dgL = kStrainWidth * t; break;
    // Only peaks drawn with the divergence move with it (at 2-theta near
    // 90 degrees and high angles it is below a fiftieth of the width).
    case RefinedKind::SL: d.axial = pk.asymmetric ? 1.0 : 0.0; break;
    case RefinedKind::Cell: {
      const std::array<int, 3>& hkl = x.ph.groups[static_cast<size_t>(pk.group)].hkl.front();
      const double lambda = x.pat.lines[static_cast<size_t>(pk.line)].first * x.lambda / x.pat.lines[0].first;
      const double tp =
          TwoThetaDegrees(std::asin(std::min(1.0, lambda / (2.0 * cell.plus.DSpacing(hkl[0], hkl[1], hkl[2])))));
      const double tm =
          TwoThetaDegrees(std::asin(std::min(1.0, lambda / (2.0 * cell.minus.DSpacing(hkl[0], hkl[1], hkl[2])))));
      d.pos = (tp - tm) / (2.0 * cell.h);
      d.lnI = -2.0 * (std::log(cell.plus.CellVolume()) - std::log(cell.minus.CellVolume())) / (2.0 * cell.h);
      break;
    }
    default: break;
  }
  d.width = pk.dHdG * dgG + pk.dHdL * dgL, d.mix = pk.dEdG * dgG + pk.dEdL * dgL;
  return d;
}

}  // namespace

// Peak by peak, each column in turn: the peak's profile and derivatives
// stay in the cache while its columns take them.
void Model::ShapeColumns(const std::vector<ShapeTarget>& targets, size_t p, size_t f) const {
  const PatternData& pat = patterns[p];
  const PhaseData& ph = phases[f];
  auto value = [&](int i) { return i >= 0 ? values[static_cast<size_t>(i)].value : 0.0; };
  const ShapeContext context{pat, ph, pat.input.experiment.difradius > 0.0 ? pat.input.experiment.difradius : 200.0,
                             value(ph.inverseSize), value(pat.lambda)};
  std::vector<MovedCell> cells(targets.size());
  for (size_t c = 0; c < targets.size(); ++c) {
    const RefinedValue& v = *targets[c].value;
    if (v.kind != RefinedKind::Cell) continue;
    const int moved = ph.cell[static_cast<size_t>(v.index)];
    cells[c].h = std::max(1e-6 * std::fabs(v.value), 1e-7);
    cells[c].plus = CellOf(f, moved, v.value + cells[c].h);
    cells[c].minus = CellOf(f, moved, v.value - cells[c].h);
  }
  size_t count = 0;
  const std::vector<Peak>& peaks = Drawn(p, f, count);
  thread_local std::vector<double> weighted;
  for (size_t i = 0; i < count; ++i) {
    const Peak& pk = peaks[i];
    const size_t n = pk.profile.size();
    // sqrt(w) times the intensity, which every column's term takes.
    weighted.resize(n);
    double* swI = weighted.data();
    const double* sw = pat.sw.data() + pk.first;
    const double I = pk.intensity;
#pragma omp simd
    for (size_t k = 0; k < n; ++k) swI[k] = sw[k] * I;
    const double *dp = pk.dpos.data(), *dw = pk.dwidth.data(), *dm = pk.dmix.data(), *pr = pk.profile.data();
    for (size_t c = 0; c < targets.size(); ++c) {
      const ShapeTerms d = TermsOf(*targets[c].value, pk, context, cells[c]);
      double* out = targets[c].column + pk.first;
      // Most values act through one or two of the terms: the others, nil,
      // are left out.
      if (d.axial != 0.0) {
        const double* da = pk.daxial.data();
#pragma omp simd
        for (size_t k = 0; k < n; ++k) out[k] += swI[k] * da[k];
      } else if (d.width == 0.0 && d.mix == 0.0 && d.lnI == 0.0) {
#pragma omp simd
        for (size_t k = 0; k < n; ++k) out[k] += swI[k] * (dp[k] * d.pos);
      } else if (d.pos == 0.0 && d.lnI == 0.0) {
#pragma omp simd
        for (size_t k = 0; k < n; ++k) out[k] += swI[k] * (dw[k] * d.width + dm[k] * d.mix);
      } else {
#pragma omp simd
        for (size_t k = 0; k < n; ++k)
          out[k] += swI[k] * (dp[k] * d.pos + dw[k] * d.width + dm[k] * d.mix + pr[k] * d.lnI);
      }
    }
  }
}

void Model::IntensityColumn(const RefinedValue& v, int index, const SumsByPhase& sums, double* column,
                            const std::vector<Eigen::Index>& row0) const {
  const auto f = static_cast<size_t>(v.phase);
  const PhaseData& ph = phases[f];
  // The structure coordinates this value moves, with their weights.
  std::vector<std::pair<int, double>> moves;
  const int nc = ph.structure ? ph.structure->coordinateCount() : 0;
  if (v.kind == RefinedKind::Orientation) moves.push_back({nc, 1.0});
  for (int c = 0; c < nc && ThroughSums(v.kind); ++c)
    if (ph.coordinate[static_cast<size_t>(c)] == index) moves.push_back({c, 1.0});
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
    const auto& [phaseSums, grad] = sums.at({f, rad});
    const std::vector<double>& G = ph.input.leBail ? ph.leBail[p] : *phaseSums;
    const bool scaled = v.kind == RefinedKind::Scale;
    const double scale = values[static_cast<size_t>(ph.scale[p])].value;
    size_t count = 0;
    const std::vector<Peak>& drawn = Drawn(p, f, count);
    for (size_t i = 0; i < count; ++i) {
      const Peak& pk = drawn[i];
      double dI = pk.factor;
      if (!scaled) {
        double dG = 0.0;
        for (const auto& [c, w] : moves) dG += w * grad(pk.group, c);
        dI *= scale * dG;
      } else {
        dI *= G[static_cast<size_t>(pk.group)];
      }
      if (dI == 0.0) continue;
      for (size_t k = 0; k < pk.profile.size(); ++k) {
        const size_t at = static_cast<size_t>(pk.first) + k;
        column[row0[p] + static_cast<Eigen::Index>(at)] += pat.sw[at] * dI * pk.profile[k];
      }
    }
  }
}

// Each phase's sums for every radiation of the patterns, with their
// gradients when a structure value is refined: worked out once, before the
// columns share them.
Model::SumsByPhase Model::ColumnSums() {
  SumsByPhase out;
  for (size_t f = 0; f < phases.size(); ++f) {
    bool structure = false;
    for (int v : refined) {
      const RefinedValue& value = values[static_cast<size_t>(v)];
      structure = structure || (ThroughSums(value.kind) && value.phase == static_cast<int>(f));
    }
    for (size_t p = 0; p < patterns.size(); ++p) {
      const int rad = patterns[p].input.experiment.radiation == 1 ? 1 : 0;
      if (out.count({f, rad})) continue;
      auto& [G, grad] = out[{f, rad}];
      if (phases[f].input.leBail) continue;  // its intensities are per pattern: IntensityColumn reads them
      G = &Sums(f, rad);
      if (structure) SumGradients(f, rad, grad);
    }
  }
  return out;
}

// The columns of values that move or shape peaks, for every pattern and
// phase each acts on.
void Model::ShapeTask(const std::vector<size_t>& columns, const std::vector<Eigen::Index>& row0, Eigen::MatrixXd& J) const {
  std::vector<ShapeTarget> targets;
  for (size_t p = 0; p < patterns.size(); ++p)
    for (size_t f = 0; f < phases.size(); ++f) {
      targets.clear();
      for (size_t j : columns) {
        const RefinedValue& v = values[static_cast<size_t>(refined[j])];
        if (PatternLevel(v.kind) ? static_cast<int>(p) != v.pattern : static_cast<int>(f) != v.phase) continue;
        targets.push_back({&v, J.col(static_cast<Eigen::Index>(j)).data() + row0[p]});
      }
      if (!targets.empty()) ShapeColumns(targets, p, f);
    }
}

bool Model::Jacobian(const Eigen::VectorXd&, Eigen::MatrixXd& J) {
  const Eigen::Index N = pointCount();
  J.setZero(N + WallRows(), static_cast<Eigen::Index>(refined.size()));
  WallResiduals(nullptr, &J, N);
  std::vector<Eigen::Index> row0(patterns.size(), 0);
  for (size_t p = 1; p < patterns.size(); ++p) row0[p] = row0[p - 1] + static_cast<Eigen::Index>(patterns[p - 1].t.size());
  // Every peak once more, with the derivatives of its profile.
  std::vector<double> scratch;
  for (size_t p = 0; p < patterns.size(); ++p)
    for (size_t f = 0; f < phases.size(); ++f) PhaseCurve(p, f, scratch, nullptr, true);
  const SumsByPhase sums = ColumnSums();
  // Values that scale peaks, and the background, a column each; those that
  // move or shape peaks a few together, going over the peaks once for all
  // of them. The tasks are shared out over the cores.
  std::vector<std::vector<size_t>> tasks, own;
  std::vector<size_t> shaping;
  for (size_t j = 0; j < refined.size(); ++j) {
    const RefinedKind kind = values[static_cast<size_t>(refined[j])].kind;
    if (kind == RefinedKind::Background || kind == RefinedKind::Scale || ThroughSums(kind)) own.push_back({j});
    else shaping.push_back(j);
  }
  // As many groups as cores: each group reads every peak once more.
#ifdef _OPENMP
  const auto cores = static_cast<size_t>(std::max(omp_get_max_threads(), 1));
#else
  const size_t cores = 1;
#endif
  const size_t group = std::max<size_t>(1, (shaping.size() + cores - 1) / cores);
  for (size_t s = 0; s < shaping.size(); s += group)
    tasks.emplace_back(shaping.begin() + static_cast<std::ptrdiff_t>(s),
                       shaping.begin() + static_cast<std::ptrdiff_t>(std::min(s + group, shaping.size())));
  tasks.insert(tasks.end(), own.begin(), own.end());
  std::atomic<bool> cancelled = false;
  const auto taskCount = static_cast<long>(tasks.size());
#pragma omp parallel for schedule(dynamic)
  for (long t = 0; t < taskCount; ++t) {
    if (cancelled.load() || (cancel && cancel->load())) {
      cancelled.store(true);
      continue;
    }
    const std::vector<size_t>& task = tasks[static_cast<size_t>(t)];
    const RefinedValue& v = values[static_cast<size_t>(refined[task.front()])];
    const auto col = static_cast<Eigen::Index>(task.front());
    if (v.kind == RefinedKind::Background) {
      const PatternData& pat = patterns[static_cast<size_t>(v.pattern)];
      for (size_t i = 0; i < pat.t.size(); ++i)
        J(row0[static_cast<size_t>(v.pattern)] + static_cast<Eigen::Index>(i), col) =
            pat.sw[i] * pat.chebyshev[i * static_cast<size_t>(pat.K) + static_cast<size_t>(v.index)];
    } else if (v.kind == RefinedKind::Scale || ThroughSums(v.kind)) {
      IntensityColumn(v, refined[task.front()], sums, J.col(col).data(), row0);
    } else {
      ShapeTask(task, row0, J);
    }
  }
  return !cancelled && J.allFinite();
}

bool Model::WidthsRefined(const PatternData& pat) const {
  for (int v : {pat.u, pat.v, pat.w_})
    if (std::find(refined.begin(), refined.end(), v) != refined.end()) return true;
  return false;
}

int Model::WallRows() const {
  int rows = 0;
  for (const PatternData& pat : patterns)
    if (!pat.t.empty() && WidthsRefined(pat)) rows += kWallAngles;
  return rows;
}

// Where U t^2 + V t + W falls below a floor of (0.01 degrees)^2 at one of
// kWallAngles angles across the range, a residual that grows steeply with
// the shortfall: the minimiser sees the wall in its derivatives and slides
// along it, rather than having its steps refused there one by one.
void Model::WallResiduals(double* r, Eigen::MatrixXd* J, Eigen::Index firstRow) const {
  constexpr double kFloor = 1e-4, kSteepness = 1e4;
  int row = 0;
  for (const PatternData& pat : patterns) {
    if (pat.t.empty() || !WidthsRefined(pat)) continue;
    const double U = values[static_cast<size_t>(pat.u)].value, V = values[static_cast<size_t>(pat.v)].value,
                 W = values[static_cast<size_t>(pat.w_)].value;
    for (int k = 0; k < kWallAngles; ++k, ++row) {
      const double tth = pat.t.front() + (pat.t.back() - pat.t.front()) * k / (kWallAngles - 1);
      const double t = std::tan(ThetaOfTwoTheta(std::min(tth, 179.0)));
      const double short_ = kFloor - (U * t * t + V * t + W);
      if (r) r[row] = short_ > 0.0 ? kSteepness * short_ / kFloor : 0.0;
      if (!J || short_ <= 0.0) continue;
      // r = sqrt(w) (y - y_calc) elsewhere: the Jacobian holds -dr/dx.
      for (size_t j = 0; j < refined.size(); ++j) {
        const int v = refined[j];
        const double d = v == pat.u ? t * t : v == pat.v ? t : v == pat.w_ ? 1.0 : 0.0;
        if (d != 0.0) (*J)(firstRow + row, static_cast<Eigen::Index>(j)) = kSteepness * d / kFloor;
      }
    }
  }
}

double Model::LowestGaussWidth2(const PatternData& pat, double U, double V, double W) {
  // U t^2 + V t + W over the range's tan(theta), at its ends and its vertex.
  const double t1 = std::tan(ThetaOfTwoTheta(pat.t.front())), t2 = std::tan(ThetaOfTwoTheta(std::min(pat.t.back(), 179.0)));
  double lowest = std::min(U * t1 * t1 + V * t1 + W, U * t2 * t2 + V * t2 + W);
  if (U > 0.0) {
    const double tv = -V / (2.0 * U);
    if (tv > t1 && tv < t2) lowest = std::min(lowest, W - V * V / (4.0 * U));
  }
  return lowest;
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
    if (!(LowestGaussWidth2(pat, at(pat.u), at(pat.v), at(pat.w_)) > kLeastGaussWidth2)) return false;
  }
  return true;
}

std::vector<std::string> Model::MendWidths() {
  std::vector<std::string> notes;
  for (const PatternData& pat : patterns) {
    if (pat.t.empty() || !(values[static_cast<size_t>(pat.u)].refine || values[static_cast<size_t>(pat.v)].refine ||
                           values[static_cast<size_t>(pat.w_)].refine))
      continue;
    double& W = values[static_cast<size_t>(pat.w_)].value;
    const double lowest = LowestGaussWidth2(pat, values[static_cast<size_t>(pat.u)].value, values[static_cast<size_t>(pat.v)].value, W);
    if (lowest > kLeastGaussWidth2) continue;
    W += 1e-3 - lowest;
    notes.push_back((pat.input.name.empty() ? std::string() : pat.input.name + ": ") +
                    "the starting U V W give no positive width everywhere in the range; W starts from " +
                    cformat("%.6g", W) + " instead");
  }
  return notes;
}

}  // namespace pelmora::refinement

#include "measured/RefinementModel.h"

#include <Eigen/Dense>

#include <algorithm>
#include <cmath>

#include "diffractogram/PatternSynthesis.h"
#include "engine/Angles.h"
#include "engine/Intensities.h"
#include "measured/RefinementProfile.h"

namespace pelmora::refinement {
namespace {

constexpr double kWindow = kPeakReach;

Eigen::Matrix3d ReciprocalMetric(const UnitCell& c) {
  Eigen::Matrix3d G;
  G << c.a * c.a, c.a * c.b * c.cosGamma, c.a * c.c * c.cosBeta, c.a * c.b * c.cosGamma, c.b * c.b,
      c.b * c.c * c.cosAlfa, c.a * c.c * c.cosBeta, c.b * c.c * c.cosAlfa, c.c * c.c;
  return G.inverse();
}

// March-Dollase: the share of crystallites whose planes h lie at angle
// alpha to the axis, and its derivative by r.
double MarchDollase(double cos2, double r, double* dr) {
  const double sin2 = std::max(0.0, 1.0 - cos2);
  const double q = r * r * cos2 + sin2 / r;
  const double P = std::pow(q, -1.5);
  if (dr) *dr = -1.5 * P / q * (2.0 * r * cos2 - sin2 / (r * r));
  return P;
}

}  // namespace

int Model::pointCount() const {
  int n = 0;
  for (const PatternData& p : patterns) n += static_cast<int>(p.t.size());
  return n;
}

void Model::Take(const Eigen::VectorXd& x) {
  for (size_t j = 0; j < refined.size(); ++j) values[static_cast<size_t>(refined[j])].value = x[static_cast<Eigen::Index>(j)];
  for (size_t f = 0; f < phases.size(); ++f) PushStructure(f);
}

Eigen::VectorXd Model::Refined() const {
  Eigen::VectorXd x(static_cast<Eigen::Index>(refined.size()));
  for (size_t j = 0; j < refined.size(); ++j) x[static_cast<Eigen::Index>(j)] = values[static_cast<size_t>(refined[j])].value;
  return x;
}

UnitCell Model::CellOf(size_t f, int moved, double value) const {
  const PhaseData& ph = phases[f];
  CellConstants c = ConstantsOf(ph.doc->cell);
  for (size_t i = 0; i < 6; ++i)
    if (ph.cell[i] >= 0) c[i] = ph.cell[i] == moved ? value : values[static_cast<size_t>(ph.cell[i])].value;
  TieCell(ph.type, ph.axis, c);
  UnitCell u = ph.doc->cell;
  SetConstants(u, c);
  u.RefreshCellMetric();
  return u;
}

void Model::PushStructure(size_t f) {
  PhaseData& ph = phases[f];
  // A Le Bail phase has no structure values.
  if (!ph.structure || ph.coordinate.empty()) return;
  for (RefinedSite& site : ph.structure->sites) {
    const int first = site.firstCoordinate;
    for (size_t k = 0; k < site.dirs.size(); ++k) {
      const int v = ph.coordinate[static_cast<size_t>(first) + k];
      if (v < 0) continue;
      // The value is the coordinate the direction leads with.
      size_t lead = 0;
      while (lead < 2 && site.dirs[k][lead] == 0.0) ++lead;
      site.shift[k] = values[static_cast<size_t>(v)].value - site.start[lead];
    }
    const int occ = ph.coordinate[static_cast<size_t>(first) + site.dirs.size()];
    const int b = ph.coordinate[static_cast<size_t>(first) + site.dirs.size() + 1];
    if (occ >= 0) site.occupancy = values[static_cast<size_t>(occ)].value;
    if (b >= 0) site.b = values[static_cast<size_t>(b)].value;
  }
  for (const PhaseData::Follow& fo : ph.follows) {
    double sum = 0.0;
    for (int o : fo.others) sum += ph.structure->sites[static_cast<size_t>(o)].occupancy;
    ph.structure->sites[static_cast<size_t>(fo.site)].occupancy = fo.total - sum;
  }
}

const std::vector<double>& Model::Sums(size_t f, int radiation) {
  PhaseData& ph = phases[f];
  const UnitCell cell = CellOf(f);
  std::vector<double> key = {cell.a, cell.b, cell.c, cell.alfa, cell.beta, cell.gamma,
                             ph.orientation >= 0 ? values[static_cast<size_t>(ph.orientation)].value : 1.0};
  for (const RefinedSite& s : ph.structure->sites) key.insert(key.end(), {s.shift[0], s.shift[1], s.shift[2], s.occupancy, s.b});
  std::vector<double>& sums = ph.sums[static_cast<size_t>(radiation)];
  if (key == ph.sumsKey[static_cast<size_t>(radiation)] && sums.size() == ph.groups.size()) return sums;
  Eigen::MatrixXd none;
  sums.assign(ph.groups.size(), 0.0);
  const Eigen::Matrix3d Gs = ReciprocalMetric(cell);
  Eigen::Vector3d axis = Eigen::Vector3d::Zero();
  if (ph.input.orientation) axis << (*ph.input.orientation)[0], (*ph.input.orientation)[1], (*ph.input.orientation)[2];
  const double axisNorm2 = axis.dot(Gs * axis);
  const double r = key[6];
  UpdatePhases(f, false);
  const size_t sites = ph.structure->sites.size();
  // With the phases kept, what is left is a few products per reflection:
  // not worth waking the other cores for.
  for (size_t g = 0; g < ph.groups.size(); ++g) {
    const LineGroup& grp = ph.groups[g];
    const std::array<int, 3>& h0 = grp.hkl.front();
    const double d = cell.DSpacing(h0[0], h0[1], h0[2]);
    const double s2 = 1.0 / (4.0 * d * d);
    thread_local std::vector<std::complex<double>> scatter;
    scatter.resize(sites);
    ph.structure->Scattering(s2, radiation, scatter.data());
    double sum = 0.0;
    for (size_t i = 0; i < grp.hkl.size(); ++i) {
      const std::array<int, 3>& h = grp.hkl[i];
      double P = 1.0;
      if (ph.orientation >= 0 && axisNorm2 > 0.0) {
        const Eigen::Vector3d hv(h[0], h[1], h[2]);
        const double dot = hv.dot(Gs * axis);
        P = MarchDollase(dot * dot / (hv.dot(Gs * hv) * axisNorm2), r, nullptr);
      }
      const std::complex<double>* phases = &ph.phaseSums[(ph.groupStart[g] + i) * sites];
      sum += P * ph.structure->F2Of(scatter.data(), phases, nullptr, s2, nullptr);
    }
    sums[g] = sum;
  }
  ph.sumsKey[static_cast<size_t>(radiation)] = key;
  return sums;
}

void Model::SumGradients(size_t f, int radiation, Eigen::MatrixXd& grad) {
  PhaseData& ph = phases[f];
  const int nc = ph.structure->coordinateCount();
  grad = Eigen::MatrixXd::Zero(static_cast<Eigen::Index>(ph.groups.size()), nc + 1);
  const UnitCell cell = CellOf(f);
  const Eigen::Matrix3d Gs = ReciprocalMetric(cell);
  Eigen::Vector3d axis = Eigen::Vector3d::Zero();
  if (ph.input.orientation) axis << (*ph.input.orientation)[0], (*ph.input.orientation)[1], (*ph.input.orientation)[2];
  const double axisNorm2 = axis.dot(Gs * axis);
  const double r = ph.orientation >= 0 ? values[static_cast<size_t>(ph.orientation)].value : 1.0;
  UpdatePhases(f, true);
  const size_t sites = ph.structure->sites.size();
  const auto groups = static_cast<long>(ph.groups.size());
#pragma omp parallel for schedule(dynamic, 16)
  for (long gi = 0; gi < groups; ++gi) {
    const auto g = static_cast<size_t>(gi);
    thread_local std::vector<double> g1;
    thread_local std::vector<std::complex<double>> scatter;
    g1.resize(static_cast<size_t>(nc));
    scatter.resize(sites);
    const std::array<int, 3>& h0 = ph.groups[g].hkl.front();
    const double d = cell.DSpacing(h0[0], h0[1], h0[2]);
    const double s2 = 1.0 / (4.0 * d * d);
    ph.structure->Scattering(s2, radiation, scatter.data());
    for (size_t i = 0; i < ph.groups[g].hkl.size(); ++i) {
      const std::array<int, 3>& h = ph.groups[g].hkl[i];
      double P = 1.0, dP = 0.0;
      if (ph.orientation >= 0 && axisNorm2 > 0.0) {
        const Eigen::Vector3d hv(h[0], h[1], h[2]);
        const double dot = hv.dot(Gs * axis);
        P = MarchDollase(dot * dot / (hv.dot(Gs * hv) * axisNorm2), r, &dP);
      }
      const size_t at = ph.groupStart[g] + i;
      const double F2 = ph.structure->F2Of(scatter.data(), &ph.phaseSums[at * sites], &ph.phaseTurns[at * 3 * sites],
                                           s2, g1.data());
      for (int c = 0; c < nc; ++c) grad(static_cast<Eigen::Index>(g), c) += P * g1[static_cast<size_t>(c)];
      grad(static_cast<Eigen::Index>(g), nc) += dP * F2;
    }
  }
}

void Model::UpdatePhases(size_t f, bool turns) {
  PhaseData& ph = phases[f];
  const std::vector<RefinedSite>& sites = ph.structure->sites;
  if (ph.groupStart.size() != ph.groups.size() + 1) {
    ph.groupStart.assign(1, 0);
    for (const LineGroup& g : ph.groups) ph.groupStart.push_back(ph.groupStart.back() + g.hkl.size());
    ph.phaseKey.clear();
  }
  std::vector<double> key;
  for (const RefinedSite& s : sites) {
    const std::array<double, 3> at = s.Position();
    key.insert(key.end(), at.begin(), at.end());
  }
  if (key == ph.phaseKey && (ph.phaseTurnsKept || !turns)) return;
  const size_t S = sites.size();
  ph.phaseSums.resize(ph.groupStart.back() * S);
  ph.phaseTurns.resize(turns ? ph.groupStart.back() * 3 * S : 0);
  const auto groups = static_cast<long>(ph.groups.size());
#pragma omp parallel for schedule(dynamic, 16)
  for (long gi = 0; gi < groups; ++gi) {
    const auto g = static_cast<size_t>(gi);
    for (size_t i = 0; i < ph.groups[g].hkl.size(); ++i) {
      const size_t at = ph.groupStart[g] + i;
      ph.structure->PhaseSums(ph.groups[g].hkl[i], &ph.phaseSums[at * S], turns ? &ph.phaseTurns[at * 3 * S] : nullptr);
    }
  }
  ph.phaseKey = std::move(key);
  ph.phaseTurnsKept = turns;
}

std::vector<double> Model::BackgroundCurve(size_t p) const {
  const PatternData& pat = patterns[p];
  std::vector<double> bg(pat.t.size(), 0.0);
  for (size_t i = 0; i < pat.t.size(); ++i)
    for (int k = 0; k < pat.K; ++k)
      bg[i] += values[static_cast<size_t>(pat.background[static_cast<size_t>(k)])].value *
               pat.chebyshev[i * static_cast<size_t>(pat.K) + static_cast<size_t>(k)];
  return bg;
}

void Model::DrawPeak(const PatternData& pat, double sl, double hl, Peak& peak, bool derivatives) const {
  thread_local std::vector<DivergenceNode> nodes, rates;
  AxialDivergence(peak.tth, sl, hl, peak.H, nodes, derivatives ? &rates : nullptr);
  peak.asymmetric = nodes.size() > 1;
  double lo = peak.tth - kWindow * peak.H, hi = peak.tth + kWindow * peak.H;
  for (const DivergenceNode& n : nodes)
    lo = std::min(lo, peak.tth + n.offset - kWindow * peak.H), hi = std::max(hi, peak.tth + n.offset + kWindow * peak.H);
  const auto first = std::lower_bound(pat.t.begin(), pat.t.end(), lo) - pat.t.begin();
  const auto end = std::upper_bound(pat.t.begin(), pat.t.end(), hi) - pat.t.begin();
  peak.first = static_cast<int>(first);
  const auto n = static_cast<size_t>(std::max<std::ptrdiff_t>(end - first, 0));
  // Every point is written below: no need to clear them first.
  peak.profile.resize(n);
  if (derivatives) {
    peak.dpos.resize(n), peak.dwidth.resize(n), peak.dmix.resize(n);
    peak.daxial.resize(peak.asymmetric ? n : 0);
  }
  const PseudoVoigt shape(peak.H, peak.eta);
  const double* t = pat.t.data() + first;
  if (!derivatives) {
    shape.Draw(t, n, peak.tth, nodes, peak.profile.data());
    return;
  }
  shape.DrawWithDerivatives(t, n, peak.tth, nodes, peak.asymmetric ? &rates : nullptr, peak.profile.data(),
                            peak.dpos.data(), peak.dwidth.data(), peak.dmix.data(),
                            peak.asymmetric ? peak.daxial.data() : nullptr);
}

const std::vector<Peak>& Model::Drawn(size_t p, size_t f, size_t& count) const {
  count = drawnCount_[p][f];
  return drawn_[p][f];
}

namespace {

// What shapes and places a pattern's peaks, read once per curve.
struct PeakShaper {
  double U, V, W, X, Y, zero, disp, transp, invSize, strain, radius;
  int radiation;
  double monochromator, cm2;

  // With a monochromator at 2theta_m: (1 + cos^2 2theta_m cos^2 2theta) / (1 + cos^2 2theta_m).
  double Polarisation(double theta) const {
    if (radiation == 1 || monochromator == 0.0) return PolarisationFactor(theta, radiation);
    const double c2 = std::cos(2.0 * theta);
    return (1.0 + cm2 * c2 * c2) / (1.0 + cm2);
  }

  // The peak's place, widths and mixing at theta; false when it has no width.
  bool Shape(double theta, double lambda, Peak& peak, bool derivatives) const {
    const double c = std::cos(theta), tn = std::tan(theta);
    peak.theta = theta;
    peak.tth = TwoThetaDegrees(theta) + zero - 2.0 * disp * c / radius * kRadToDeg + transp * std::sin(2.0 * theta);
    TchSizePerInverseSize(theta, lambda, &peak.gs, &peak.ls);
    const double gG2 = U * tn * tn + V * tn + W + peak.gs * peak.gs * invSize * invSize;
    if (!(gG2 > 0.0)) return false;
    peak.gG = std::sqrt(gG2);
    peak.gL = std::max(X * tn + Y / c + peak.ls * invSize + kStrainWidth * strain * tn, 0.0);
    peak.H = TchWidth(peak.gG, peak.gL, &peak.eta);
    if (!(peak.H > 0.0) || !std::isfinite(peak.H)) return false;
    if (derivatives) {
      // TCH's mixing rule by differences: two calls per peak, not per point.
      const double dg = 1e-6 * (peak.gG + peak.gL), lower = std::max(peak.gL - dg, 0.0);
      double e1, e2;
      peak.dHdG = (TchWidth(peak.gG + dg, peak.gL, &e1) - TchWidth(peak.gG - dg, peak.gL, &e2)) / (2 * dg);
      peak.dEdG = (e1 - e2) / (2 * dg);
      peak.dHdL = (TchWidth(peak.gG, peak.gL + dg, &e1) - TchWidth(peak.gG, lower, &e2)) / (peak.gL + dg - lower);
      peak.dEdL = (e1 - e2) / (peak.gL + dg - lower);
    }
    return true;
  }
};

}  // namespace

std::vector<Peak>& Model::DrawnList(size_t p, size_t f) {
  // The peaks of each pattern and phase live on between calls, so that
  // their profiles' storage is not allocated anew at every evaluation.
  if (drawn_.size() != patterns.size()) {
    drawn_.assign(patterns.size(), std::vector<std::vector<Peak>>(phases.size()));
    drawnCount_.assign(patterns.size(), std::vector<size_t>(phases.size(), 0));
  }
  return drawn_[p][f];
}

void Model::PhaseCurve(size_t p, size_t f, std::vector<double>& out, std::vector<Peak>* peaks, bool derivatives) {
  const PatternData& pat = patterns[p];
  PhaseData& ph = phases[f];
  auto V = [&](int i) { return i >= 0 ? values[static_cast<size_t>(i)].value : 0.0; };
  out.assign(pat.t.size(), 0.0);
  if (peaks) peaks->clear();
  if (pat.t.empty()) return;
  const int radiation = pat.input.experiment.radiation == 1 ? 1 : 0;
  const UnitCell cell = CellOf(f);
  const double volumeRatio = ph.volume0 / cell.CellVolume();
  const std::vector<double>& G = ph.input.leBail ? ph.leBail[p] : Sums(f, radiation);
  const double scale = V(ph.scale[p]), shl = V(pat.sl);
  const double cm = std::cos(DegreesToRadians(pat.input.monochromator));
  const PeakShaper shaper{V(pat.u), V(pat.v), V(pat.w_), V(pat.x), V(pat.y), V(pat.zero), V(pat.displacement),
                          V(pat.transparency), V(ph.inverseSize), V(ph.strain),
                          pat.input.experiment.difradius > 0.0 ? pat.input.experiment.difradius : 200.0, radiation,
                          pat.input.monochromator, cm * cm};
  const double lo = pat.t.front() - 5.0, hi = pat.t.back() + 5.0;
  std::vector<Peak>& list = DrawnList(p, f);
  size_t count = 0;
  Peak peak{};
  for (size_t li = 0; li < pat.lines.size(); ++li) {
    const double lambda = pat.lines[li].first * V(pat.lambda) / pat.lines[0].first, ratio = pat.lines[li].second;
    const double K = ph.constant0[p][li] * volumeRatio * volumeRatio * ratio;
    for (size_t g = 0; g < ph.groups.size(); ++g) {
      const std::array<int, 3>& h = ph.groups[g].hkl.front();
      const double sinTheta = lambda / (2.0 * cell.DSpacing(h[0], h[1], h[2]));
      if (!(sinTheta < 1.0)) continue;
      const double theta = std::asin(sinTheta);
      if (!shaper.Shape(theta, lambda, peak, derivatives) || peak.tth < lo || peak.tth > hi) continue;
      peak.phase = static_cast<int>(f), peak.group = static_cast<int>(g), peak.line = static_cast<int>(li);
      peak.factor = K * LorentzFactor(theta) * shaper.Polarisation(theta);
      peak.intensity = scale * peak.factor * G[g];
      // Into a slot whose profile storage is kept.
      if (count == list.size()) list.emplace_back();
      Peak& slot = list[count++];
      std::vector<double> a = std::move(slot.profile), b = std::move(slot.dpos), c = std::move(slot.dwidth),
                          d = std::move(slot.dmix), e = std::move(slot.daxial);
      slot = peak;
      slot.profile = std::move(a), slot.dpos = std::move(b), slot.dwidth = std::move(c), slot.dmix = std::move(d);
      slot.daxial = std::move(e);
    }
  }
  // The profiles are the cost: drawn on every core, then summed in order.
  const auto n = static_cast<long>(count);
#pragma omp parallel for schedule(guided)
  for (long i = 0; i < n; ++i) DrawPeak(pat, shl, shl, list[static_cast<size_t>(i)], derivatives);
  for (size_t i = 0; i < count; ++i) {
    const Peak& pk = list[i];
    for (size_t k = 0; k < pk.profile.size(); ++k) out[static_cast<size_t>(pk.first) + k] += pk.intensity * pk.profile[k];
  }
  if (peaks) peaks->assign(list.begin(), list.begin() + static_cast<std::ptrdiff_t>(count));
  drawnCount_[p][f] = count;
}

void Model::Evaluate(size_t p, std::vector<double>& yc, std::vector<std::vector<double>>* parts, std::vector<Peak>* peaks) {
  yc = BackgroundCurve(p);
  if (parts) parts->resize(phases.size());
  if (peaks) peaks->clear();
  std::vector<double> part;
  std::vector<Peak> some;
  for (size_t f = 0; f < phases.size(); ++f) {
    PhaseCurve(p, f, part, peaks ? &some : nullptr);
    for (size_t i = 0; i < yc.size(); ++i) yc[i] += part[i];
    if (parts) (*parts)[f] = part;
    if (peaks) std::move(some.begin(), some.end(), std::back_inserter(*peaks));
  }
}

bool Model::Residuals(const Eigen::VectorXd& x, Eigen::VectorXd& r) {
  if (cancel && cancel->load()) return false;
  Take(x);
  r.resize(pointCount() + WallRows());
  Eigen::Index row = 0;
  std::vector<double> yc;
  for (size_t p = 0; p < patterns.size(); ++p) {
    Evaluate(p, yc, nullptr, nullptr);
    for (size_t i = 0; i < yc.size(); ++i) r[row++] = patterns[p].sw[i] * (patterns[p].yo[i] - yc[i]);
  }
  WallResiduals(r.data() + row, nullptr, 0);
  return r.allFinite();
}

}  // namespace pelmora::refinement

// What a refinement's solution says: agreement per pattern and overall,
// esds from the normal matrix scaled by the reduced chi-square, the
// correlations, the warnings a crystallographer must see, the refined
// values as figures; and the refined structure written back.
#include <Eigen/Dense>

#include <algorithm>
#include <cctype>
#include <cmath>

#include "io/NumberFormat.h"
#include "measured/RefinementModel.h"

namespace pelmora::refinement {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// The covariance of two values (indices into m.values); NaN when either is
// not refined.
struct Covariance {
  const Model& m;
  Eigen::MatrixXd cov;
  int Slot(int value) const {
    const auto it = std::find(m.refined.begin(), m.refined.end(), value);
    return it == m.refined.end() ? -1 : static_cast<int>(it - m.refined.begin());
  }
  double At(int a, int b) const {
    const int i = Slot(a), j = Slot(b);
    return i < 0 || j < 0 ? kNaN : cov(i, j);
  }
  double Esd(int a) const {
    const double v = At(a, a);
    return v >= 0.0 ? std::sqrt(v) : kNaN;
  }
};

void Agreements(Model& m, RefinementOutcome& out) {
  std::vector<double> allO, allC, allW, yc;
  std::vector<std::vector<double>> parts;
  const int P = static_cast<int>(m.refined.size());
  for (size_t p = 0; p < m.patterns.size(); ++p) {
    const PatternData& pat = m.patterns[p];
    m.Evaluate(p, yc, &parts, nullptr);
    RefinedPatternFigures f;
    f.name = pat.input.name;
    f.points = static_cast<int>(pat.t.size());
    const Agreement a = AgreementOf(pat.yo, yc, pat.w, P);
    f.rp = a.rp, f.rwp = a.rwp, f.rexp = a.rexp, f.chi2 = a.chi2;
    double lag = 0.0, sum = 0.0;
    for (size_t i = 0; i < yc.size(); ++i) {
      const double r = pat.sw[i] * (pat.yo[i] - yc[i]);
      sum += r * r;
      if (i + 1 < yc.size()) lag += r * pat.sw[i + 1] * (pat.yo[i + 1] - yc[i + 1]);
    }
    const double rho = sum > 0.0 ? std::clamp(lag / sum, -0.99, 0.99) : 0.0;
    f.serialCorrelation = std::sqrt((1.0 + rho) / (1.0 - rho));
    f.twoTheta = pat.t;
    f.observed = pat.yo;
    f.calculated = yc;
    f.background = m.BackgroundCurve(p);
    f.backgroundPoints = pat.input.backgroundPoints;
    f.phaseCurves = parts;
    for (size_t ph = 0; ph < m.phases.size(); ++ph) {
      size_t count = 0;
      const std::vector<Peak>& drawn = m.Drawn(p, ph, count);
      std::vector<double> ticks;
      for (size_t k = 0; k < count; ++k)
        if (drawn[k].line == 0 && drawn[k].intensity > 0.0) ticks.push_back(drawn[k].tth);
      std::sort(ticks.begin(), ticks.end());
      f.ticks.push_back(std::move(ticks));
    }
    allO.insert(allO.end(), pat.yo.begin(), pat.yo.end());
    allC.insert(allC.end(), yc.begin(), yc.end());
    allW.insert(allW.end(), pat.w.begin(), pat.w.end());
    out.patterns.push_back(std::move(f));
  }
  const Agreement a = AgreementOf(allO, allC, allW, P);
  out.rp = a.rp, out.rwp = a.rwp, out.rexp = a.rexp, out.chi2 = a.chi2;
  out.points = static_cast<int>(allO.size());
  out.refined = P;
}

void SiteFigures(const Model& m, size_t f, const Covariance& c, RefinedPhaseFigures& out) {
  const PhaseData& ph = m.phases[f];
  // A Le Bail phase has line intensities, not sites.
  if (!ph.structure || ph.coordinate.empty()) return;
  const std::vector<AtomSite>& atoms = ph.doc->crystal.EditableAtoms();
  for (size_t s = 0; s < ph.structure->sites.size(); ++s) {
    const RefinedSite& site = ph.structure->sites[s];
    RefinedSiteFigures fs;
    fs.label = site.label;
    fs.element = s < atoms.size() ? ElementOfLabel(atoms[s].name) : std::string();
    fs.xyz = site.Position();
    const size_t c0 = static_cast<size_t>(site.firstCoordinate);
    for (size_t axis = 0; axis < 3; ++axis) {
      double var = 0.0;
      bool any = false;
      for (size_t k = 0; k < site.dirs.size(); ++k)
        for (size_t l = 0; l < site.dirs.size(); ++l) {
          const double cv = c.At(ph.coordinate[c0 + k], ph.coordinate[c0 + l]);
          if (std::isnan(cv) || site.dirs[k][axis] == 0.0 || site.dirs[l][axis] == 0.0) continue;
          var += site.dirs[k][axis] * site.dirs[l][axis] * cv;
          any = true;
        }
      fs.xyzEsd[axis] = any ? std::sqrt(std::max(var, 0.0)) : kNaN;
    }
    fs.occupancy = site.occupancy;
    fs.occupancyEsd = c.Esd(ph.coordinate[c0 + site.dirs.size()]);
    for (const PhaseData::Follow& fo : ph.follows) {
      if (fo.site != static_cast<int>(s)) continue;
      double var = 0.0;
      for (int a : fo.others)
        for (int b : fo.others) {
          const auto& sa = ph.structure->sites[static_cast<size_t>(a)];
          const auto& sb = ph.structure->sites[static_cast<size_t>(b)];
          var += c.At(ph.coordinate[static_cast<size_t>(sa.firstCoordinate) + sa.dirs.size()],
                      ph.coordinate[static_cast<size_t>(sb.firstCoordinate) + sb.dirs.size()]);
        }
      fs.occupancyEsd = var >= 0.0 ? std::sqrt(var) : kNaN;
    }
    fs.biso = site.b;
    fs.bisoEsd = c.Esd(ph.coordinate[c0 + site.dirs.size() + 1]);
    out.sites.push_back(fs);
  }
}

void PhaseFigures(const Model& m, size_t f, const Covariance& c, RefinedPhaseFigures& out) {
  const PhaseData& ph = m.phases[f];
  auto V = [&](int i) { return i >= 0 ? m.values[static_cast<size_t>(i)].value : 0.0; };
  out.name = ph.input.name;
  for (int s : ph.scale) {
    out.scale.push_back(V(s));
    out.scaleEsd.push_back(c.Esd(s));
  }
  out.cell = ConstantsOf(m.CellOf(f));
  for (size_t i = 0; i < 6; ++i) {
    int from = ph.cell[i];
    if (from < 0 && ConstantFollowed(ph.type, static_cast<int>(i)) >= 0)
      from = ph.cell[static_cast<size_t>(ConstantFollowed(ph.type, static_cast<int>(i)))];
    out.cellEsd[i] = from >= 0 ? c.Esd(from) : kNaN;
  }
  const double q = V(ph.inverseSize);
  out.size = q > 0.0 ? 1.0 / q : std::numeric_limits<double>::infinity();
  out.sizeEsd = q > 0.0 ? c.Esd(ph.inverseSize) / (q * q) : kNaN;
  out.strain = V(ph.strain);
  out.strainEsd = c.Esd(ph.strain);
  out.orientationAxis = ph.input.orientation;
  out.orientation = ph.orientation >= 0 ? V(ph.orientation) : 1.0;
  out.orientationEsd = c.Esd(ph.orientation);
  SiteFigures(m, f, c, out);
}

// Hill & Howard on the first pattern's scales: W_p is proportional to
// s_p (ZM)_p / V_p (the calculated intensities carry 1 / V^2), its esd
// propagated from the scales' covariance.
void WeightFractionsOf(const Model& m, const Covariance& c, RefinementOutcome& out) {
  const size_t n = m.phases.size();
  std::vector<double> k(n);
  for (size_t f = 0; f < n; ++f) {
    const PhaseData& ph = m.phases[f];
    if (ph.input.leBail || !(ph.cellMass > 0.0)) return;
    k[f] = ph.cellMass / m.CellOf(f).CellVolume();
  }
  double total = 0.0;
  for (size_t f = 0; f < n; ++f) total += out.phases[f].scale[0] * k[f];
  if (!(total > 0.0)) return;
  for (size_t f = 0; f < n; ++f) {
    const double W = out.phases[f].scale[0] * k[f] / total;
    // dW_f / ds_j = k_j (delta_fj - W_f) / total
    double var = 0.0;
    for (size_t a = 0; a < n; ++a)
      for (size_t b = 0; b < n; ++b) {
        const double cv = c.At(m.phases[a].scale[0], m.phases[b].scale[0]);
        if (std::isnan(cv)) continue;
        var += k[a] * ((a == f) - W) / total * k[b] * ((b == f) - W) / total * cv;
      }
    out.phases[f].weightFraction = W;
    out.phases[f].weightFractionEsd = std::sqrt(std::max(var, 0.0));
  }
}

void Warnings(const Model& m, const LeastSquaresResult& s, const Covariance& c, RefinementOutcome& out) {
  if (out.singular) {
    std::string which;
    for (size_t j = 0; j < m.refined.size(); ++j)
      if (!(c.cov(static_cast<Eigen::Index>(j), static_cast<Eigen::Index>(j)) >= 0.0))
        which += (which.empty() ? "" : ", ") + m.values[static_cast<size_t>(m.refined[j])].name;
    out.warnings.push_back("the normal matrix is singular: the data do not determine every refined value" +
                           (which.empty() ? std::string() : " (" + which + ")") + "; no esds");
  } else if (!out.converged && !out.cancelled) {
    out.warnings.push_back(cformat("not converged within %d iterations: the values are not final", s.iterations));
  }
  for (int i : m.refined) {
    const RefinedValue& v = m.values[static_cast<size_t>(i)];
    if (v.kind == RefinedKind::Scale && v.value <= 0.0) {
      out.warnings.push_back(v.name + " is zero: the phase is not seen in the pattern");
      continue;
    }
    if (v.value <= v.lower) out.warnings.push_back(v.name + " ended at its lower bound " + cformat("%g", v.lower));
    if (v.value >= v.upper) out.warnings.push_back(v.name + " ended at its upper bound " + cformat("%g", v.upper));
  }
  bool instrument = false, sample = false;
  for (int i : m.refined) {
    const RefinedKind k = m.values[static_cast<size_t>(i)].kind;
    instrument = instrument || k == RefinedKind::U || k == RefinedKind::V || k == RefinedKind::W;
    sample = sample || k == RefinedKind::InverseSize || k == RefinedKind::Strain;
  }
  if (instrument && sample)
    out.warnings.push_back("U V W are refined with the sample's size or strain, which the widths cannot tell apart: "
                           "refine the instrument on a standard and keep it (the instrument set)");
  if (out.chi2 > 10.0)
    out.warnings.push_back(cformat("chi2 = %.4g: the model does not describe the data (a wrong phase, cell axis, "
                                   "wavelength or instrument?)",
                                   out.chi2));
  for (const Correlation& r : out.correlations)
    if (std::fabs(r.r) >= 0.9) out.warnings.push_back(cformat("%s and %s are correlated, r = %.3f", r.a.c_str(), r.b.c_str(), r.r));
}

}  // namespace

void Describe(Model& m, const LeastSquaresResult& s, RefinementOutcome& out) {
  Agreements(m, out);
  const auto n = static_cast<Eigen::Index>(m.refined.size());
  const double dof = std::max(1, out.points - static_cast<int>(n));
  Covariance c{m, n > 0 && s.inverseNormal.rows() == n ? Eigen::MatrixXd(s.inverseNormal * (s.sum / dof))
                                                      : Eigen::MatrixXd::Constant(n, n, kNaN)};
  for (RefinedValue& v : m.values) v.esd = kNaN;
  for (Eigen::Index j = 0; j < n; ++j) {
    m.values[static_cast<size_t>(m.refined[static_cast<size_t>(j)])].esd = c.Esd(m.refined[static_cast<size_t>(j)]);
    for (Eigen::Index k = j + 1; k < n; ++k) {
      const double r = c.cov(j, k) / std::sqrt(c.cov(j, j) * c.cov(k, k));
      if (std::isfinite(r))
        out.correlations.push_back({m.values[static_cast<size_t>(m.refined[static_cast<size_t>(j)])].name,
                                    m.values[static_cast<size_t>(m.refined[static_cast<size_t>(k)])].name, r});
    }
  }
  for (size_t f = 0; f < m.phases.size(); ++f) {
    out.phases.emplace_back();
    PhaseFigures(m, f, c, out.phases.back());
  }
  WeightFractionsOf(m, c, out);
  Warnings(m, s, c, out);
  out.values = m.values;
}

}  // namespace pelmora::refinement

namespace pelmora {

void Refinement::ApplyTo(size_t f, CKomorka& doc, bool instrument) const {
  const refinement::Model& m = *model_;
  const refinement::PhaseData& ph = m.phases.at(f);
  SetConstants(doc.cell, ConstantsOf(m.CellOf(f)));
  doc.cell.RefreshCellMetric();
  std::vector<AtomSite>& atoms = doc.crystal.EditableAtoms();
  for (size_t s = 0; s < ph.structure->sites.size() && s < atoms.size() && !ph.input.leBail; ++s) {
    const refinement::RefinedSite& site = ph.structure->sites[s];
    const std::array<double, 3> p = site.Position();
    atoms[s].x = p[0], atoms[s].y = p[1], atoms[s].z = p[2];
    atoms[s].occupancy = site.occupancy;
    const int b = ph.coordinate[static_cast<size_t>(site.firstCoordinate) + site.dirs.size() + 1];
    if (atoms[s].biso || (b >= 0 && m.values[static_cast<size_t>(b)].refine)) atoms[s].biso = site.b;
  }
  doc.crystal.ExpandCellAtoms();
  const double q = m.values[static_cast<size_t>(ph.inverseSize)].value;
  if (q > 0.0) doc.experiment.gsize = 1.0 / q;
  if (instrument) {
    const refinement::PatternData& pat = m.patterns.front();
    doc.experiment.u = m.values[static_cast<size_t>(pat.u)].value;
    doc.experiment.v = m.values[static_cast<size_t>(pat.v)].value;
    doc.experiment.w = m.values[static_cast<size_t>(pat.w_)].value;
    doc.experiment.x = m.values[static_cast<size_t>(pat.x)].value;
    doc.experiment.y = m.values[static_cast<size_t>(pat.y)].value;
  }
}

}  // namespace pelmora

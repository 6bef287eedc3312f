#include "measured/RefinementStructure.h"

#include <cctype>
#include <cmath>

#include "engine/Angles.h"
#include "engine/Intensities.h"
#include "engine/SpaceGroup.h"

namespace pelmora::refinement {
namespace {

using Vec = std::array<double, 3>;

Vec Apply(const RefinedSite::Image& g, const Vec& p) {
  Vec out;
  for (size_t i = 0; i < 3; ++i)
    out[i] = g.rot[3 * i] * p[0] + g.rot[3 * i + 1] * p[1] + g.rot[3 * i + 2] * p[2] + g.tran[i];
  return out;
}

// q moved by whole cell translations to lie nearest p.
Vec Nearest(const Vec& q, const Vec& p) {
  Vec out;
  for (size_t i = 0; i < 3; ++i) out[i] = q[i] - std::round(q[i] - p[i]);
  return out;
}

bool Same(const Vec& p, const Vec& q) {
  const Vec n = Nearest(q, p);
  for (size_t i = 0; i < 3; ++i)
    if (std::fabs(n[i] - p[i]) > kSiteMergeTolerance) return false;
  return true;
}

// A basis of the column space of P in reduced row-echelon form, so that a
// site at (x, x, z) moves along (1, 1, 0) and (0, 0, 1).
std::vector<Vec> ColumnSpace(const std::array<Vec, 3>& P) {
  std::array<Vec, 3> m;
  for (size_t r = 0; r < 3; ++r)
    for (size_t c = 0; c < 3; ++c) m[r][c] = P[c][r];  // rows of P transposed
  std::vector<Vec> basis;
  size_t row = 0;
  for (size_t col = 0; col < 3 && row < 3; ++col) {
    size_t pivot = row;
    for (size_t r = row; r < 3; ++r)
      if (std::fabs(m[r][col]) > std::fabs(m[pivot][col])) pivot = r;
    if (std::fabs(m[pivot][col]) < 1e-6) continue;
    std::swap(m[row], m[pivot]);
    const double d = m[row][col];
    for (double& v : m[row]) v /= d;
    for (size_t r = 0; r < 3; ++r) {
      if (r == row) continue;
      const double f = m[r][col];
      for (size_t c = 0; c < 3; ++c) m[r][c] -= f * m[row][c];
    }
    ++row;
  }
  for (size_t r = 0; r < row; ++r) {
    Vec v = m[r];
    for (double& x : v)
      if (std::fabs(x) < 1e-9) x = 0.0;
    basis.push_back(v);
  }
  return basis;
}

RefinedSite SiteOf(const AtomSite& atom, double defaultB, const std::vector<RefinedSite::Image>& ops) {
  RefinedSite s;
  s.label = atom.name;
  s.factors = atom.factors();
  s.occupancy = atom.occupancy;
  s.b = atom.biso.value_or(defaultB);
  const Vec given{atom.x, atom.y, atom.z};
  // The operators that keep the site: their mean puts it exactly on its
  // special position and projects onto the directions it may move in.
  std::vector<const RefinedSite::Image*> stabiliser;
  for (const RefinedSite::Image& g : ops)
    if (Same(given, Apply(g, given))) stabiliser.push_back(&g);
  Vec mean{0, 0, 0};
  std::array<Vec, 3> P{};
  for (const RefinedSite::Image* g : stabiliser) {
    const Vec q = Nearest(Apply(*g, given), given);
    for (size_t i = 0; i < 3; ++i) {
      mean[i] += q[i] / static_cast<double>(stabiliser.size());
      for (size_t j = 0; j < 3; ++j) P[i][j] += g->rot[3 * i + j] / static_cast<double>(stabiliser.size());
    }
  }
  s.start = mean;
  s.dirs = ColumnSpace(P);
  std::vector<Vec> seen;
  for (const RefinedSite::Image& g : ops) {
    const Vec p = Apply(g, s.start);
    bool repeat = false;
    for (const Vec& q : seen) repeat = repeat || Same(p, q);
    if (repeat) continue;
    seen.push_back(p);
    s.images.push_back(g);
  }
  return s;
}

}  // namespace

std::array<double, 3> RefinedSite::Position() const {
  Vec p = start;
  for (size_t k = 0; k < dirs.size(); ++k)
    for (size_t i = 0; i < 3; ++i) p[i] += shift[k] * dirs[k][i];
  return p;
}

StructureModel::StructureModel(const CKomorka& doc) : solvent(doc.experiment.solvent) {
  std::vector<RefinedSite::Image> ops;
  for (const SymmetryOperator& op : SymmetryOperatorsOf(doc.crystal)) ops.push_back({op.rot, op.tran});
  const double defaultB = doc.experiment.IsDW == 1 ? doc.experiment.dwfactor : 0.0;
  for (const AtomSite& atom : doc.crystal.EditableAtoms()) {
    sites.push_back(SiteOf(atom, defaultB, ops));
    sites.back().firstCoordinate = coordinates_;
    coordinates_ += sites.back().coordinateCount();
  }
}

double StructureModel::F2(const std::array<int, 3>& hkl, double s2, int radiation, double* grad) const {
  thread_local std::vector<std::complex<double>> scatter, sums, turns;
  scatter.resize(sites.size());
  sums.resize(sites.size());
  turns.resize(3 * sites.size());
  PhaseSums(hkl, sums.data(), grad ? turns.data() : nullptr);
  Scattering(s2, radiation, scatter.data());
  return F2Of(scatter.data(), sums.data(), grad ? turns.data() : nullptr, s2, grad);
}

void StructureModel::PhaseSums(const std::array<int, 3>& hkl, std::complex<double>* sums,
                               std::complex<double>* turns) const {
  using C = std::complex<double>;
  const double h[3] = {double(hkl[0]), double(hkl[1]), double(hkl[2])};
  for (size_t s = 0; s < sites.size(); ++s) {
    const RefinedSite& site = sites[s];
    sums[s] = 0.0;
    if (turns) turns[3 * s] = turns[3 * s + 1] = turns[3 * s + 2] = 0.0;
    const Vec p = site.Position();
    for (const RefinedSite::Image& g : site.images) {
      const Vec q = Apply(g, p);
      const double phi = kTwoPi * (h[0] * q[0] + h[1] * q[1] + h[2] * q[2]);
      const C e(std::cos(phi), std::sin(phi));
      sums[s] += e;
      if (!turns) continue;
      for (size_t k = 0; k < site.dirs.size(); ++k) {
        // h . (R b_k): how far the image's phase turns per unit shift.
        const Vec& b = site.dirs[k];
        double turn = 0.0;
        for (size_t i = 0; i < 3; ++i)
          turn += h[i] * (g.rot[3 * i] * b[0] + g.rot[3 * i + 1] * b[1] + g.rot[3 * i + 2] * b[2]);
        turns[3 * s + k] += turn * e;
      }
    }
  }
}

void StructureModel::Scattering(double s2, int radiation, std::complex<double>* scatter) const {
  using C = std::complex<double>;
  for (size_t s = 0; s < sites.size(); ++s) {
    const ScatteringFactors& f = sites[s].factors;
    // X-rays as (f0 + f') - i f'': the engine's sum conjugated, |F|^2 alike.
    const C c = radiation == 1 ? C(f.s, 0.0) : C(FormFactorAt(f, s2) + f.fprim, -f.fbis);
    scatter[s] = c * std::exp(-sites[s].b * s2);
  }
}

double StructureModel::F2Of(const std::complex<double>* scatter, const std::complex<double>* sums,
                            const std::complex<double>* turns, double s2, double* grad) const {
  using C = std::complex<double>;
  C F = 0.0;
  for (size_t s = 0; s < sites.size(); ++s) F += scatter[s] * sites[s].occupancy * sums[s];
  if (grad) {
    const C conjF = std::conj(F);
    for (size_t s = 0; s < sites.size(); ++s) {
      const RefinedSite& site = sites[s];
      const C weighted = scatter[s] * site.occupancy;
      double* g = grad + site.firstCoordinate;
      for (size_t k = 0; k < site.dirs.size(); ++k)
        g[k] = 2.0 * (conjF * weighted * C(0.0, kTwoPi) * turns[3 * s + k]).real();
      g[site.dirs.size()] = 2.0 * (conjF * scatter[s] * sums[s]).real();
      g[site.dirs.size() + 1] = 2.0 * (conjF * (-s2) * weighted * sums[s]).real();
    }
  }
  if (!solvent.on) return std::norm(F);
  const double g2 = solvent.Factor(s2) * solvent.Factor(s2);
  if (grad)
    for (int i = 0; i < coordinates_; ++i) grad[i] *= g2;
  return std::norm(F) * g2;
}

std::vector<std::vector<int>> SharedPositions(const std::vector<RefinedSite>& sites) {
  std::vector<std::vector<int>> groups;
  std::vector<bool> taken(sites.size(), false);
  for (size_t i = 0; i < sites.size(); ++i) {
    if (taken[i]) continue;
    std::vector<int> g{static_cast<int>(i)};
    for (size_t j = i + 1; j < sites.size(); ++j) {
      if (taken[j]) continue;
      bool same = false;
      for (const RefinedSite::Image& img : sites[j].images) same = same || Same(sites[i].Position(), Apply(img, sites[j].Position()));
      if (same) {
        g.push_back(static_cast<int>(j));
        taken[j] = true;
      }
    }
    if (g.size() > 1) groups.push_back(g);
  }
  return groups;
}

// The element a label starts with: "Pb" of "Pb", "O" of "O1", "Fe" of "Fe2+".
std::string ElementOfLabel(const std::string& label) {
  std::string e;
  for (char ch : label) {
    if (e.empty() ? !std::isupper(static_cast<unsigned char>(ch)) : !std::islower(static_cast<unsigned char>(ch))) break;
    e += ch;
    if (e.size() == 2) break;
  }
  return e;
}

}  // namespace pelmora::refinement

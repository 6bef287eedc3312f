#include "engine/ReflectionForms.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <set>

#include "engine/Angles.h"
#include "engine/CellCoordinate.h"
#include "engine/Crystal.h"
#include "engine/SpaceGroup.h"
#include "engine/UnitCell.h"

namespace pelmora {
namespace {

using Matrix = ReflectionForms::Matrix;

Matrix Times(const Matrix& a, const Matrix& b) {
  Matrix c{};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      int s = 0;
      for (int n = 0; n < 3; ++n) s += a[static_cast<size_t>(3 * i + n)] * b[static_cast<size_t>(3 * n + j)];
      c[static_cast<size_t>(3 * i + j)] = s;
    }
  return c;
}

Matrix Negated(Matrix m) {
  for (int& v : m) v = -v;
  return m;
}

// The closure of the operators and their negatives under products.
std::set<Matrix> GroupOf(const std::vector<Matrix>& ops) {
  std::set<Matrix> group{{1, 0, 0, 0, 1, 0, 0, 0, 1}, {-1, 0, 0, 0, -1, 0, 0, 0, -1}};
  for (const Matrix& m : ops) {
    group.insert(m);
    group.insert(Negated(m));
  }
  for (bool grown = true; grown && group.size() <= 48;) {
    grown = false;
    const std::vector<Matrix> now(group.begin(), group.end());
    for (const Matrix& a : now)
      for (const Matrix& b : now) grown |= group.insert(Times(a, b)).second;
  }
  return group;
}

bool IsSignedPermutation(const Matrix& m) {
  for (int i = 0; i < 3; ++i) {
    int nonZero = 0;
    for (int j = 0; j < 3; ++j) nonZero += m[static_cast<size_t>(3 * i + j)] != 0;
    if (nonZero != 1) return false;
  }
  return true;
}

bool IsDiagonal(const Matrix& m) { return m[1] == 0 && m[2] == 0 && m[3] == 0 && m[5] == 0 && m[6] == 0 && m[7] == 0; }

// The reciprocal metric G* (h.G*.h = 1/d^2), row-major.
std::array<double, 9> ReciprocalMetricOf(const UnitCell& cell) {
  const double ca = std::cos(DegreesToRadians(cell.alfa)), cb = std::cos(DegreesToRadians(cell.beta));
  const double cg = std::cos(DegreesToRadians(cell.gamma));
  const double g[9] = {cell.a * cell.a,          cell.a * cell.b * cg, cell.a * cell.c * cb,
                       cell.a * cell.b * cg,     cell.b * cell.b,      cell.b * cell.c * ca,
                       cell.a * cell.c * cb,     cell.b * cell.c * ca, cell.c * cell.c};
  const double det = g[0] * (g[4] * g[8] - g[5] * g[7]) - g[1] * (g[3] * g[8] - g[5] * g[6]) +
                     g[2] * (g[3] * g[7] - g[4] * g[6]);
  return {(g[4] * g[8] - g[5] * g[7]) / det, (g[2] * g[7] - g[1] * g[8]) / det, (g[1] * g[5] - g[2] * g[4]) / det,
          (g[5] * g[6] - g[3] * g[8]) / det, (g[0] * g[8] - g[2] * g[6]) / det, (g[2] * g[3] - g[0] * g[5]) / det,
          (g[3] * g[7] - g[4] * g[6]) / det, (g[1] * g[6] - g[0] * g[7]) / det, (g[0] * g[4] - g[1] * g[3]) / det};
}

int Determinant(const Matrix& m) {
  return m[0] * (m[4] * m[8] - m[5] * m[7]) - m[1] * (m[3] * m[8] - m[5] * m[6]) + m[2] * (m[3] * m[7] - m[4] * m[6]);
}

double Form(const std::array<int, 3>& u, const std::array<double, 9>& g, const std::array<int, 3>& v) {
  double s = 0.0;
  for (int p = 0; p < 3; ++p)
    for (int q = 0; q < 3; ++q) s += u[static_cast<size_t>(p)] * g[static_cast<size_t>(3 * p + q)] * v[static_cast<size_t>(q)];
  return s;
}

// The matrices of -1, 0, 1 that keep the metric: each column is an index
// vector as long as the axis it replaces, the columns at the axes' angles.
// Equal to a part in 10^8 of the largest term: the cell's ties make equal
// constants exactly equal, angles of 120 degrees nearly so.
std::vector<Matrix> MetricOperators(const UnitCell& cell) {
  const std::array<double, 9> g = ReciprocalMetricOf(cell);
  const double tol = 1e-8 * std::max({std::fabs(g[0]), std::fabs(g[4]), std::fabs(g[8])});
  std::array<std::vector<std::array<int, 3>>, 3> columns;
  for (int code = 0; code < 27; ++code) {
    const std::array<int, 3> v{code % 3 - 1, code / 3 % 3 - 1, code / 9 - 1};
    for (int j = 0; j < 3; ++j)
      if (std::fabs(Form(v, g, v) - g[static_cast<size_t>(4 * j)]) <= tol) columns[static_cast<size_t>(j)].push_back(v);
  }
  std::vector<Matrix> out;
  for (const auto& c0 : columns[0])
    for (const auto& c1 : columns[1]) {
      if (!(std::fabs(Form(c0, g, c1) - g[1]) <= tol)) continue;
      for (const auto& c2 : columns[2]) {
        if (!(std::fabs(Form(c0, g, c2) - g[2]) <= tol && std::fabs(Form(c1, g, c2) - g[5]) <= tol)) continue;
        const Matrix m{c0[0], c1[0], c2[0], c0[1], c1[1], c2[1], c0[2], c1[2], c2[2]};
        if (std::abs(Determinant(m)) == 1) out.push_back(m);
      }
    }
  return out;
}

// The atoms of a cell, for asking whether an operation maps them onto
// themselves: positions in [0, 1), each atom's kind (what it scatters
// like), and the atoms in order of x.
class CellAtoms {
 public:
  explicit CellAtoms(const std::vector<AtomSite>& atoms) {
    for (const AtomSite& a : atoms) {
      size_t kind = 0;
      while (kind < kinds_.size() && !SameKind(*kinds_[kind], a)) ++kind;
      if (kind == kinds_.size()) kinds_.push_back(&a);
      atoms_.push_back({{Wrap(a.x), Wrap(a.y), Wrap(a.z)}, static_cast<int>(kind)});
    }
    byX_ = atoms_;
    std::sort(byX_.begin(), byX_.end(), [](const Atom& p, const Atom& q) { return p.at[0] < q.at[0]; });
  }

  // Whether x -> R x + t maps the atoms onto themselves for some t.
  bool Invariant(const Matrix& r) const {
    if (atoms_.empty()) return true;
    // The images of the rarest kind's first atom fix the candidates for t.
    std::vector<int> count(kinds_.size(), 0);
    for (const Atom& a : atoms_) ++count[static_cast<size_t>(a.kind)];
    const int rare = static_cast<int>(std::min_element(count.begin(), count.end()) - count.begin());
    const Atom& a0 = *std::find_if(atoms_.begin(), atoms_.end(), [rare](const Atom& a) { return a.kind == rare; });
    const std::array<double, 3> ra0 = Rotate(r, a0.at);
    for (const Atom& b : atoms_) {
      if (b.kind != rare) continue;
      const std::array<double, 3> t{b.at[0] - ra0[0], b.at[1] - ra0[1], b.at[2] - ra0[2]};
      if (std::all_of(atoms_.begin(), atoms_.end(), [&](const Atom& a) { return Has(Moved(r, t, a.at), a.kind); }))
        return true;
    }
    return false;
  }

 private:
  struct Atom {
    std::array<double, 3> at;
    int kind;
  };
  static bool SameKind(const AtomSite& a, const AtomSite& b) {
    return a.name == b.name && a.nr == b.nr && a.factors() == b.factors() && a.occupancy == b.occupancy &&
           a.biso == b.biso;
  }
  static double Wrap(double v) { return IntoCell(v); }
  static std::array<double, 3> Rotate(const Matrix& r, const std::array<double, 3>& x) {
    return {r[0] * x[0] + r[1] * x[1] + r[2] * x[2], r[3] * x[0] + r[4] * x[1] + r[5] * x[2],
            r[6] * x[0] + r[7] * x[1] + r[8] * x[2]};
  }
  static std::array<double, 3> Moved(const Matrix& r, const std::array<double, 3>& t, const std::array<double, 3>& x) {
    const std::array<double, 3> p = Rotate(r, x);
    return {Wrap(p[0] + t[0]), Wrap(p[1] + t[1]), Wrap(p[2] + t[2])};
  }
  // Apart by less than the tolerance, across the cell's faces too.
  static bool Near(double u, double v) {
    const double d = std::fabs(u - v);
    return std::min(d, 1.0 - d) < kSiteMergeTolerance;
  }
  bool Has(const std::array<double, 3>& p, int kind) const {
    auto near = [&](const Atom& a) { return a.kind == kind && Near(a.at[1], p[1]) && Near(a.at[2], p[2]); };
    auto scan = [&](double from, double to) {
      auto it = std::lower_bound(byX_.begin(), byX_.end(), from, [](const Atom& a, double x) { return a.at[0] < x; });
      for (; it != byX_.end() && it->at[0] <= to; ++it)
        if (near(*it)) return true;
      return false;
    };
    const double tol = kSiteMergeTolerance;
    return scan(p[0] - tol, p[0] + tol) || (p[0] < tol && scan(p[0] + 1.0 - tol, 1.0)) ||
           (p[0] > 1.0 - tol && scan(0.0, p[0] - 1.0 + tol));
  }

  std::vector<const AtomSite*> kinds_;
  std::vector<Atom> atoms_, byX_;
};

}  // namespace

ReflectionForms::ReflectionForms(const std::vector<Matrix>& ops) {
  const std::set<Matrix> group = GroupOf(ops);
  ops_.assign(group.begin(), group.end());
  const bool signedPermutations = std::all_of(ops_.begin(), ops_.end(), IsSignedPermutation);
  const bool signs = std::all_of(ops_.begin(), ops_.end(), IsDiagonal);
  if (ops_.size() == 2) kind_ = Kind::kFriedel;
  else if (ops_.size() == 48 && signedPermutations) kind_ = Kind::kSignedPermutations;
  else if (ops_.size() == 8 && signs) kind_ = Kind::kSigns;
}

ReflectionForms ReflectionForms::Of(const Crystal& crystal, const UnitCell& cell) {
  if (crystal.spaceGroup.empty()) {
    // The lattice's symmetry as far as the atoms keep it: typed by hand,
    // thirds written to six decimals still make one form.
    const CellAtoms atoms(crystal.cellAtoms);
    std::vector<Matrix> ops;
    for (const Matrix& m : MetricOperators(cell))
      if (atoms.Invariant({m[0], m[3], m[6], m[1], m[4], m[7], m[2], m[5], m[8]})) ops.push_back(m);
    return ReflectionForms(ops);
  }
  // x' = R x + t takes (h k l) to R^T (h k l) with |F| kept.
  std::vector<Matrix> ops;
  for (const SymmetryOperator& op : SymmetryOperatorsOf(crystal)) {
    const auto& r = op.rot;
    ops.push_back({r[0], r[3], r[6], r[1], r[4], r[7], r[2], r[5], r[8]});
  }
  return ReflectionForms(ops);
}

std::array<int, 3> ReflectionForms::Key(int h, int k, int l) const {
  switch (kind_) {
    case Kind::kFriedel: {
      const std::array<int, 3> a{h, k, l}, b{-h, -k, -l};
      return std::max(a, b);
    }
    case Kind::kSignedPermutations: {
      std::array<int, 3> v{std::abs(h), std::abs(k), std::abs(l)};
      std::sort(v.begin(), v.end());
      return v;
    }
    case Kind::kSigns: return {std::abs(h), std::abs(k), std::abs(l)};
    case Kind::kGeneral: break;
  }
  std::array<int, 3> best{h, k, l};
  for (const Matrix& m : ops_) {
    const std::array<int, 3> v{m[0] * h + m[1] * k + m[2] * l, m[3] * h + m[4] * k + m[5] * l,
                               m[6] * h + m[7] * k + m[8] * l};
    best = std::max(best, v);
  }
  return best;
}

}  // namespace pelmora

#include "engine/Symmetry.h"

#include <algorithm>
#include <cmath>

namespace pelmora::symmetry {

bool IsIdentityRotation(const Op::Rot& r) { return r == Op::identity().rot; }

std::vector<Op> Normalised(std::vector<Op> ops) {
  for (Op& op : ops) op.wrap();
  std::sort(ops.begin(), ops.end());
  ops.erase(std::unique(ops.begin(), ops.end()), ops.end());
  // The identity first, so that each site's own position leads its images.
  const auto id = std::find(ops.begin(), ops.end(), Op::identity());
  if (id != ops.end()) std::rotate(ops.begin(), id, id + 1);
  return ops;
}

std::vector<Op> AllOperations(const gemmi::GroupOps& g) {
  std::vector<Op> ops;
  for (const Op& s : g.sym_ops)
    for (const Op::Tran& t : g.cen_ops) ops.push_back(s.add_centering(t));
  return Normalised(std::move(ops));
}

// The crystal system from the rotations: the program's system code.
LatticeType CrystalSystemOf(const std::vector<Op>& ops) {
  int threeFolds = 0, twoFolds = 0;
  bool fourFold = false, sixFold = false, permutingThreeFold = false;
  std::vector<Op::Rot> seen;
  for (const Op& op : ops) {
    if (std::find(seen.begin(), seen.end(), op.rot) != seen.end()) continue;
    seen.push_back(op.rot);
    const int type = std::abs(op.rot_type());
    if (type == 3) {
      ++threeFolds;
      // (z,x,y) and the like: a three-fold axis along the cell diagonal, as
      // in a rhombohedral cell (on hexagonal axes it mixes x and y).
      bool permutation = true;
      for (const auto& row : op.rot)
        permutation = permutation && std::count(row.begin(), row.end(), 0) == 2;
      permutingThreeFold = permutingThreeFold || permutation;
    }
    if (type == 4) fourFold = true;
    if (type == 6) sixFold = true;
    if (op.rot_type() == 2 || op.rot_type() == -2) ++twoFolds;  // two-fold axes and mirrors
  }
  if (threeFolds >= 8) return kCubic;
  if (sixFold || threeFolds > 0) return permutingThreeFold ? kRhombohedral : kHexagonal;
  if (fourFold) return kTetragonal;
  if (twoFolds >= 3) return kOrthorhombic;
  if (twoFolds >= 1) return kMonoclinic;
  return kTriclinic;
}

// Positions closer than tol in every coordinate, up to whole cell
// translations (0.9995 and 0.0005 are 0.001 apart).
bool SamePosition(const Xyz& p, const Xyz& q, double tol) {
  return SameSite(kTriclinic, p, q, tol);  // no centring: whole translations only
}

// The operator applied without scaling the coordinates (gemmi's
// (24 x) / 24 may change the last bit): the identity gives the site as read.
Xyz Apply(const Op& op, const Xyz& site) {
  Xyz p;
  for (int i = 0; i < 3; ++i) {
    double v = 0.0;
    for (int j = 0; j < 3; ++j) v += (op.rot[i][j] / Op::DEN) * site[j];
    p[i] = v + static_cast<double>(op.tran[i]) / Op::DEN;
  }
  return p;
}

// The atoms a site gives under the operators. Images closer than the merge
// tolerance are one atom, at their mean: a site on a special position that
// the file writes to a few decimals (0.66666667, or 0.3333 beside 0.6667)
// then sits exactly on it, and its images keep the symmetry. A site on a
// general position stays where the file has it; the first atom is the
// site's own image, in the file's cell, the others are wrapped into the cell.
// Either way a rounding error beside a whole number (a merged mean at
// -7e-18) is taken away.
std::vector<Xyz> Images(const std::vector<Op>& ops, const Xyz& site) {
  struct Cluster {
    Xyz first, sum;
    int count;
  };
  std::vector<Cluster> clusters;
  for (const Op& op : ops) {
    Xyz p = Apply(op, site);
    if (!clusters.empty())
      for (double& v : p) v = IntoCell(v);
    const auto near = std::find_if(clusters.begin(), clusters.end(), [&](const Cluster& c) {
      return SamePosition(p, c.first, kSiteMergeTolerance);
    });
    if (near == clusters.end()) {
      clusters.push_back({p, p, 1});
      continue;
    }
    // Beside the cluster's first image, not a cell further on.
    for (int i = 0; i < 3; ++i) {
      const double d = p[i] - near->first[i];
      near->sum[i] += near->first[i] + (d - std::round(d));
    }
    ++near->count;
  }
  std::vector<Xyz> out;
  for (const Cluster& c : clusters) {
    Xyz mean;
    for (int i = 0; i < 3; ++i) mean[i] = c.count == 1 ? c.sum[i] : c.sum[i] / c.count;
    for (double& v : mean) v = out.empty() ? OffFaceError(v) : IntoCell(v);
    out.push_back(mean);
  }
  return out;
}

// The program's centring vectors beside the zero vector, for the flag.
std::vector<Xyz> CentringVectors(LatticeType centring) {
  switch (centring) {
    case kBodyCentred: return {{0.5, 0.5, 0.5}};
    case kFaceCentred: return {{0.5, 0.5, 0.0}, {0.5, 0.0, 0.5}, {0.0, 0.5, 0.5}};
    case kBaseCentred: return {{0.5, 0.5, 0.0}};
    default: return {};
  }
}

// The centring flag that the operators' pure translations amount to, when
// the program has that lattice type; 0 (primitive, every atom listed)
// otherwise, also for A, B and R centring.
LatticeType CentringOf(const std::vector<Op>& ops, LatticeType system) {
  std::vector<Xyz> translations;
  for (const Op& op : ops)
    if (IsIdentityRotation(op.rot) && op.tran != Op::Tran{0, 0, 0})
      translations.push_back({op.tran[0] / double(Op::DEN), op.tran[1] / double(Op::DEN), op.tran[2] / double(Op::DEN)});
  for (LatticeType flag : {kBodyCentred, kFaceCentred, kBaseCentred}) {
    std::vector<Xyz> want = CentringVectors(flag);
    if (want.size() != translations.size()) continue;
    const bool all = std::all_of(want.begin(), want.end(), [&](const Xyz& w) {
      return std::any_of(translations.begin(), translations.end(),
                         [&](const Xyz& t) { return SamePosition(w, t, 1e-9); });
    });
    if (!all) continue;
    // Only the lattice types of the program's table.
    const LatticeType t = system | flag;
    const bool known = t == (kCubic | kBodyCentred) || t == (kCubic | kFaceCentred) ||
                       t == (kTetragonal | kBodyCentred) || t == (kOrthorhombic | kBodyCentred) ||
                       t == (kOrthorhombic | kBaseCentred) || t == (kOrthorhombic | kFaceCentred) ||
                       t == (kMonoclinic | kBaseCentred);
    return known ? flag : 0;
  }
  return 0;
}

// One image of each centring class of every orbit; false when an orbit does
// not split evenly into the classes of `flag`.
bool CentringRepresentatives(const std::vector<std::vector<Xyz>>& orbits, LatticeType flag,
                             std::vector<std::vector<Xyz>>& reps) {
  const std::vector<Xyz> shifts = CentringVectors(flag);
  const size_t n = shifts.size() + 1;
  for (const std::vector<Xyz>& orbit : orbits) {
    std::vector<Xyz> mine;
    for (const Xyz& p : orbit) {
      const bool covered = std::any_of(mine.begin(), mine.end(), [&](const Xyz& r) {
        return std::any_of(shifts.begin(), shifts.end(), [&](const Xyz& v) {
          return SamePosition(p, {IntoCell(r[0] + v[0]), IntoCell(r[1] + v[1]), IntoCell(r[2] + v[2])},
                              kSiteMergeTolerance);
        });
      });
      if (!covered) mine.push_back(p);
    }
    if (mine.size() * n != orbit.size()) return false;
    reps.push_back(std::move(mine));
  }
  return true;
}

std::vector<Op> OperatorsOf(const gemmi::SpaceGroup& sg) { return AllOperations(sg.operations()); }

}  // namespace pelmora::symmetry

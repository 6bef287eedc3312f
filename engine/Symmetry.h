// Space-group operators and the atoms they give a site: shared by the
// document's generation of the cell from its asymmetric unit and by the CIF
// import. Uses gemmi's operators; include only where they are needed.
#pragma once

#include <array>
#include <vector>

#include <gemmi/symmetry.hpp>

#include "engine/CellCoordinate.h"
#include "engine/LatticeType.h"
#include "engine/SpaceGroup.h"

namespace pelmora::symmetry {

using gemmi::Op;
using Xyz = std::array<double, 3>;

bool IsIdentityRotation(const Op::Rot& r);
// Wrapped, sorted, without repeats, the identity first.
std::vector<Op> Normalised(std::vector<Op> ops);
// Every operator of a group: its symmetry operators with each centring.
std::vector<Op> AllOperations(const gemmi::GroupOps& g);
// The crystal system from the rotations: the program's system code.
LatticeType CrystalSystemOf(const std::vector<Op>& ops);
// A coordinate wrapped into [0, 1).
using pelmora::IntoCell;
// Positions closer than tol in every coordinate, up to whole cell
// translations (0.9995 and 0.0005 are 0.001 apart).
bool SamePosition(const Xyz& p, const Xyz& q, double tol);
// The operator applied without scaling the coordinates.
Xyz Apply(const Op& op, const Xyz& site);
// The atoms a site gives under the operators. Images closer than
// kSiteMergeTolerance are one atom, at their mean: a site on a special
// position written to a few decimals then sits exactly on it, and its
// images keep the symmetry. A site on a general position stays where it is
// given; the first atom is the site's own image, the others are wrapped
// into the cell.
std::vector<Xyz> Images(const std::vector<Op>& ops, const Xyz& site);
// The program's centring vectors beside the zero vector, for the flag.
std::vector<Xyz> CentringVectors(LatticeType centring);
// The centring flag that the operators' pure translations amount to, when
// the program has that lattice type; 0 (primitive, every atom listed)
// otherwise, also for A, B and R centring.
LatticeType CentringOf(const std::vector<Op>& ops, LatticeType system);
// One image of each centring class of every orbit; false when an orbit does
// not split evenly into the classes of `flag`.
bool CentringRepresentatives(const std::vector<std::vector<Xyz>>& orbits, LatticeType flag,
                             std::vector<std::vector<Xyz>>& reps);

// The operators of a table entry, normalised.
std::vector<Op> OperatorsOf(const gemmi::SpaceGroup& sg);
// The table entry of a group's name as SpaceGroupOf gives it; null for none.
const gemmi::SpaceGroup* TableEntry(const std::string& name);

}  // namespace pelmora::symmetry

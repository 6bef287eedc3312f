// The cell constants a crystal system ties together: which are free, which
// follow another, which are fixed. The one rule of the program, used by the
// editors, the space groups and the fit.
#pragma once

#include <array>

#include "engine/LatticeType.h"
#include "engine/UnitCell.h"

namespace pelmora {

// The six constants in the order a, b, c, alfa, beta, gamma.
using CellConstants = std::array<double, 6>;
CellConstants ConstantsOf(const UnitCell& cell);
void SetConstants(UnitCell& cell, const CellConstants& c);
inline constexpr const char* kCellConstantNames[6] = {"a", "b", "c", "alfa", "beta", "gamma"};

// Which constants the crystal system leaves free; the others follow them or
// are fixed (90 or 120 degrees). The one tie rule of the program.
std::array<bool, 6> FreeCellConstants(LatticeType type, char uniqueAxis = 'b');
// The constant a tied one follows (b and c follow a, a rhombohedral cell's
// beta and gamma follow alfa), or -1 for a fixed or free one.
int ConstantFollowed(LatticeType type, int index);
// Sets what the system ties from the free constants.
void TieCell(LatticeType type, char uniqueAxis, CellConstants& c);
void TieCell(LatticeType type, char uniqueAxis, UnitCell& cell);

}  // namespace pelmora

// The cell constants a crystal system leaves free when a fit refines the
// cell, and the ties that set the others from them.
#pragma once

#include <array>
#include <vector>

#include "engine/LatticeType.h"

namespace pelmora {

// The constants a crystal system leaves free, in UnitCell order a b c alpha beta gamma.
std::vector<int> FreeCellConstants(LatticeType type);

// Sets the constants the crystal system ties to the free ones.
void TieCell(LatticeType type, std::array<double, 6>& c);

}  // namespace pelmora

#include "measured/CellTies.h"

namespace pelmora {

// The constants a crystal system leaves free, in UnitCell order a b c alpha beta gamma.
std::vector<int> FreeCellConstants(LatticeType type) {
  switch (type & kSystemMask) {
    case kCubic: return {0};
    case kTetragonal: return {0, 2};
    case kOrthorhombic: return {0, 1, 2};
    case kRhombohedral: return {0, 3};
    case kHexagonal: return {0, 2};
    case kMonoclinic: return {0, 1, 2, 4};
    default: return {0, 1, 2, 3, 4, 5};
  }
}

void TieCell(LatticeType type, std::array<double, 6>& c) {
  switch (type & kSystemMask) {
    case kCubic: c[1] = c[2] = c[0]; break;
    case kTetragonal:
    case kHexagonal: c[1] = c[0]; break;
    case kRhombohedral:
      c[1] = c[2] = c[0];
      c[4] = c[5] = c[3];
      break;
    default: break;
  }
}

}  // namespace pelmora

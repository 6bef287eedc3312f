#include "engine/CellTies.h"

namespace pelmora {

CellConstants ConstantsOf(const UnitCell& cell) { return {cell.a, cell.b, cell.c, cell.alfa, cell.beta, cell.gamma}; }

void SetConstants(UnitCell& cell, const CellConstants& c) {
  cell.a = c[0];
  cell.b = c[1];
  cell.c = c[2];
  cell.alfa = c[3];
  cell.beta = c[4];
  cell.gamma = c[5];
  cell.RefreshCellMetric();
}

std::array<bool, 6> FreeCellConstants(LatticeType type, char uniqueAxis) {
  switch (type & kSystemMask) {
    case kCubic: return {true, false, false, false, false, false};
    case kTetragonal:
    case kHexagonal: return {true, false, true, false, false, false};
    case kOrthorhombic: return {true, true, true, false, false, false};
    case kRhombohedral: return {true, false, false, true, false, false};
    case kMonoclinic: return {true, true, true, uniqueAxis == 'a', uniqueAxis == 'b', uniqueAxis == 'c'};
    default: return {true, true, true, true, true, true};
  }
}

int ConstantFollowed(LatticeType type, int index) {
  switch (type & kSystemMask) {
    case kCubic: return index == 1 || index == 2 ? 0 : -1;
    case kTetragonal:
    case kHexagonal: return index == 1 ? 0 : -1;
    case kRhombohedral: return index == 1 || index == 2 ? 0 : index == 4 || index == 5 ? 3 : -1;
    default: return -1;
  }
}

void TieCell(LatticeType type, char uniqueAxis, CellConstants& c) {
  const LatticeType system = type & kSystemMask;
  const std::array<bool, 6> free = FreeCellConstants(type, uniqueAxis);
  for (int i = 0; i < 6; ++i) {
    if (free[static_cast<size_t>(i)]) continue;
    const int from = ConstantFollowed(type, i);
    if (from >= 0) c[static_cast<size_t>(i)] = c[static_cast<size_t>(from)];
    else if (i >= 3) c[static_cast<size_t>(i)] = system == kHexagonal && i == 5 ? 120.0 : 90.0;
  }
}

void TieCell(LatticeType type, char uniqueAxis, UnitCell& cell) {
  CellConstants c = ConstantsOf(cell);
  TieCell(type, uniqueAxis, c);
  SetConstants(cell, c);
}

}  // namespace pelmora

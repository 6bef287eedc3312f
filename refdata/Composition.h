// What a structure's cell holds, as the info panel sums it up: the
// formula unit, how many of them the cell holds (Z), their molar mass and
// the density of the crystal.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace pelmora {

class CKomorka;

struct CellComposition {
  // Atoms of each element in the cell, occupancies counted, in the order
  // of a formula: metals alphabetically, then the non-metals from the least
  // to the most electronegative.
  std::vector<std::pair<std::string, double>> cellCounts;
  int z = 0;                 // formula units in the cell; 0 for an empty cell
  std::string formula;       // one formula unit: "NaCl", "TiO2", "Fe0.5Ni0.5"
  double formulaMass = 0.0;  // g/mol of one formula unit (xraylib's atomic weights)
  double density = 0.0;      // g/cm^3; 0 when the cell has no volume
};

// The composition of the document's cell atoms. Z is the greatest common
// divisor of the element counts where all are whole numbers, else 1.
CellComposition CompositionOf(const CKomorka& doc);

}  // namespace pelmora

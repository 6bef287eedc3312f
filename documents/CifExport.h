// A structure written as a CIF: cell, space group with its operators, and
// the asymmetric unit with occupancies and displacements, for other
// crystallographic programs.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "documents/StructureFile.h"
#include "engine/Komorka.h"

namespace pelmora {

class ElementTable;

// Distance in angstrom within which spglib takes atoms for images of one
// another when a structure without a group is written.
inline constexpr double kFindSymmetryTolerance = 0.001;

// The CIF text. A structure with a group writes it and its sites; one
// without, the group spglib finds within `tolerance` (in the cell's own
// axes and origin) and its sites, or P 1 and every atom of the cell.
// notes receive what the user is told (the group found, the tolerance).
// esds, when given, are written in parentheses after the values they
// belong to (a refinement's): the six cell constants and, for a structure
// with a group, each site's x y z occupancy B; NaN for none.
struct CifEsds {
  std::array<double, 6> cell{};
  std::vector<std::array<double, 5>> sites;
};
std::string FormatCif(const CKomorka& doc, const ElementTable& elements, std::vector<DocMessage>& notes,
                      double tolerance = kFindSymmetryTolerance, const CifEsds* esds = nullptr);

}  // namespace pelmora

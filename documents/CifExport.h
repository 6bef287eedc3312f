// A structure written as a CIF: cell, space group with its operators, and
// the asymmetric unit with occupancies and displacements, for other
// crystallographic programs.
#pragma once

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
std::string FormatCif(const CKomorka& doc, const ElementTable& elements, std::vector<DocMessage>& notes,
                      double tolerance = kFindSymmetryTolerance);

}  // namespace pelmora

// Import of macromolecular structures (proteins, nucleic acids) from PDB
// and mmCIF files: the cell, the space group and the atoms of the first
// model with their occupancies and B, so that a protein's powder pattern
// can be calculated.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "documents/StructureFile.h"
#include "engine/Komorka.h"

namespace pelmora {

class ElementTable;

// What an import did besides filling the document.
struct MacromoleculeImportReport {
  int sites = 0;          // atoms of the file taken as sites of the asymmetric unit
  int cellAtoms = 0;      // atoms of the whole cell after the symmetry
  int partialSites = 0;   // sites with an occupancy below 1 (alternate conformations among them)
  int emptySites = 0;     // atoms of occupancy 0, left out
  int specialSites = 0;   // sites on a special position whose occupancy counted the site symmetry
  int models = 0;         // models in the file; the first is read
};

// True for a name ending in ".pdb" or ".ent" (any case), or for bytes whose
// first line opens with a record name of the PDB format.
bool LooksLikePdb(const std::string& path, std::string_view head);
// True for a CIF that lists atoms by Cartesian coordinates as mmCIF does
// (a line opening with _atom_site.Cartn_x) and gives no fractional ones.
bool IsMmcifText(std::string_view text);

// Reads a PDB file (mmcif false) or an mmCIF file. On success the document
// holds the cell, the space group with its sites and the cell atoms they
// give; its experiment values stay as they were, but for a 2-theta window
// reaching past 30 degrees, which comes down to at most 1-30 (a note says so). On failure the document
// is untouched and messages name the problem. Safe on any bytes.
bool ImportMacromoleculeText(CKomorka& doc, std::string_view text, bool mmcif, const ElementTable& elements,
                             std::vector<DocMessage>& messages, MacromoleculeImportReport* report = nullptr);

}  // namespace pelmora

// Import of crystal structures from CIF files (the ICSD, the COD, refinement
// programs): cell, symmetry and atom sites become a structure document whose
// atoms carry the scattering factors of the reference tables.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "documents/StructureFile.h"
#include "engine/Komorka.h"
#include "engine/SpaceGroup.h"

namespace pelmora {

class ElementTable;

// Images of one site closer than this in every fractional coordinate (after
// wrapping into the cell) are one atom: a site on a special position. Two
// sites of the file that close are one site listed twice, unless their
// occupancies share it.
inline constexpr double kCifMergeTolerance = kSiteMergeTolerance;

// A data block of a CIF as the choice between blocks shows it.
struct CifBlockInfo {
  std::string name;
  std::string formula;  // the sum formula (else the moiety), empty when the block gives none
  std::string group;    // the Hermann-Mauguin symbol (else Hall's, else the number), empty when none
  std::array<double, 6> cell{};  // a, b, c, alfa, beta, gamma; NaN where the block gives none
  bool hasSites = false;
};

// The blocks of a CIF that hold a cell, in the file's order: the ones an
// import can read. Empty for text that is no CIF.
std::vector<CifBlockInfo> ListCifBlocks(std::string_view text);

// Whether two block names are one: CIF names ignore case.
bool SameCifBlockName(std::string_view a, std::string_view b);

// What an import did besides filling the document.
struct CifImportReport {
  std::string blockName;
  std::vector<CifBlockInfo> blocks;  // every block of the file with a cell, the one read too
  int sites = 0;           // atom sites taken from the file
  int cellAtoms = 0;       // atoms of the whole cell after the symmetry
  int partialSites = 0;    // sites with an occupancy below 1
  int dummySites = 0;      // rows marked as no atom (_atom_site_calc_flag dum), left out
  int duplicateSites = 0;  // sites on the place of an earlier one, left out
  int labelElements = 0;   // sites whose element was guessed from an unclear label
  int waterLabels = 0;     // sites read as water oxygen from their label ("Wat1", "OW", "HOH")
  int displacementSites = 0;  // sites with a B of their own (from B or U)
  int anisotropicSites = 0;   // of these, sites given only anisotropic U: their U_eq
  int zeroDisplacementSites = 0;  // of these, sites given a U slightly below 0: B = 0
};

// A coordinate as the file writes it. A value given to 2 to 5 decimals that
// is a third, sixth, twelfth or twenty-fourth rounded to exactly those
// digits (0.3333, 0.66667, 0.20833) is that fraction, so that the images of
// a special position coincide; a fraction of two digits needs three
// decimals (0.08 is data, 0.083 is 1/12). Any other value stands as written:
// 0.208300 is not 5/24, and 0.292(1), refined, is not 7/24. NaN for text
// that is no number.
double CifCoordinate(std::string_view text);

// Reads the data block named `block` (any case), or when it is empty the
// first block that lists atom sites (else the first with a cell). On success the document
// holds the lattice type, the cell and the structure atoms (one of each
// centring class), with the cell atoms expanded; its experiment values stay
// as they were. On failure the document is untouched and messages name the
// problem. Safe on any bytes.
bool ImportCifText(CKomorka& doc, std::string_view text, const ElementTable& elements,
                   std::vector<DocMessage>& messages, CifImportReport* report = nullptr,
                   std::string_view block = {});

}  // namespace pelmora

// Import of crystal structures from CIF files (the ICSD, the COD, refinement
// programs): cell, symmetry and atom sites become a structure document whose
// atoms carry the scattering factors of the reference tables.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "documents/StructureFile.h"
#include "engine/Komorka.h"

namespace pelmora {

class ElementTable;

// Images of one site closer than this in every fractional coordinate (after
// wrapping into the cell) are one atom: a site on a special position.
inline constexpr double kCifMergeTolerance = 0.002;
// A site coordinate this close to a multiple of 1/24 (0.33333 or 0.3333 for
// 1/3) is read as that fraction.
inline constexpr double kCifSnapTolerance = 5e-5;

// What an import did besides filling the document.
struct CifImportReport {
  std::string blockName;
  int sites = 0;        // atom sites of the file
  int cellAtoms = 0;    // atoms of the whole cell after the symmetry
  int scaledSites = 0;  // sites whose factors were multiplied by their occupancy
  bool displacementIgnored = false;
};

// True for a name ending in ".cif" (any case), or for bytes whose first
// line that is neither blank nor a comment opens a CIF data block.
bool LooksLikeCif(const std::string& path, std::string_view head);

// Reads the first data block that lists atom sites. On success the document
// holds the lattice type, the cell and the structure atoms (one of each
// centring class), with the cell atoms expanded; its experiment values stay
// as they were. On failure the document is untouched and messages name the
// problem. Safe on any bytes.
bool ImportCifText(CKomorka& doc, std::string_view text, const ElementTable& elements,
                   std::vector<DocMessage>& messages, CifImportReport* report = nullptr);
bool ImportCifFile(CKomorka& doc, const std::string& path, const ElementTable& elements,
                   std::vector<DocMessage>& messages, CifImportReport* report = nullptr);

// Opens a structure file, an older input file or a CIF, then expands the
// atoms; *format, when given, tells which format was read.
bool OpenAnyStructure(CKomorka& doc, const std::string& path, const ElementTable& elements,
                      std::vector<DocMessage>& messages, DocumentFormat* format = nullptr);
// The same with the element table asked for only when the file is a CIF:
// the other formats carry their own scattering factors.
bool OpenAnyStructure(CKomorka& doc, const std::string& path, const std::function<const ElementTable&()>& elements,
                      std::vector<DocMessage>& messages, DocumentFormat* format = nullptr);

}  // namespace pelmora

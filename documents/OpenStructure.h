// The one way in for a structure from a file: the file is read once, its
// format recognised from its name and first bytes, and the bytes handed to
// the reader of that format (the structure file, the older program's input
// file, a CIF, or a PDB or mmCIF file of a macromolecule). A file compressed
// with gzip is read as its content.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "documents/CifImport.h"
#include "documents/StructureFile.h"
#include "engine/Komorka.h"

namespace pelmora {

class ElementTable;

// True for a name ending in ".cif" (any case), or for bytes whose first
// line that is neither blank nor a comment opens a CIF data block.
bool LooksLikeCif(const std::string& path, std::string_view head);

// The data block of a CIF: the one asked for, and what the file held.
struct CifBlockChoice {
  std::string wanted;                // empty: the first with atom sites (else with a cell)
  std::string read;                  // the block read
  std::vector<CifBlockInfo> blocks;  // every block of the file with a cell, the one read too
};

// Opens a structure file, an older input file, a CIF, a PDB or an mmCIF
// file, then expands the atoms; *format, when given, tells which format
// was read; *cif, when given, chooses the CIF's block and learns its
// blocks.
bool OpenAnyStructure(CKomorka& doc, const std::string& path, const ElementTable& elements,
                      std::vector<DocMessage>& messages, DocumentFormat* format = nullptr,
                      CifBlockChoice* cif = nullptr);
// The same with the element table asked for only when the file is a CIF,
// PDB or mmCIF: the other formats carry their own scattering factors.
bool OpenAnyStructure(CKomorka& doc, const std::string& path, const std::function<const ElementTable&()>& elements,
                      std::vector<DocMessage>& messages, DocumentFormat* format = nullptr,
                      CifBlockChoice* cif = nullptr);

// The blocks with a cell of a small-molecule CIF (gzip-compressed too), for
// a choice before it is opened; empty for any other file and for one that
// cannot be read.
std::vector<CifBlockInfo> CifBlocksOfFile(const std::string& path);

// Opens a document from a structure file or an older input file (no CIF,
// PDB or mmCIF: they need the element tables), then expands the atoms by the centring.
// Messages collect what the user must be told; *format, when given, tells
// which format was read.
bool OpenStructureDocument(CKomorka& doc, const std::string& path, std::vector<DocMessage>& messages,
                           DocumentFormat* format = nullptr);

}  // namespace pelmora

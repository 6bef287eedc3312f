// Import of the plain-text input files of the older diffraction program
// ("TolvoInputFile" on the first line). Read only: nothing is ever written
// in this format.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "documents/StructureFile.h"
#include "engine/Komorka.h"

namespace pelmora {

inline constexpr const char* kTolvoSignature = "TolvoInputFile\n";

enum class ImportStatus { kOk, kCannotOpen, kUnknownFormat };

// Imports the file's bytes into doc: cell, radiation kind and the atoms of
// the whole cell, then the lattice type, the structure list rebuilt from the
// cell (the last 14 sites) and the centring expansion. Safe on any bytes.
ImportStatus ImportTolvoText(CKomorka& doc, std::string_view bytes);

}  // namespace pelmora

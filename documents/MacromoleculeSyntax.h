// The syntax layer of the macromolecule import: a PDB file or an mmCIF
// file read by gemmi into plain values (the cell, the space-group symbol,
// the atoms of the first model with fractional coordinates). Kept apart
// from the rest, so that gemmi's model headers are compiled on their own.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace pelmora {

struct MacromoleculeAtom {
  std::string element;  // the symbol gemmi gives ("C", "Fe", "D"); empty when it knows none
  std::string rawElement;  // the file's own text for an element gemmi does not know
  int charge = 0;
  double occupancy = 1.0;
  double b = 0.0;
  std::array<double, 3> fract{};  // in the cell's own frame (SCALEn when they differ from it)
  int serial = 0;
  std::string name;     // atom name ("CA")
  std::string residue;  // residue name and number ("PRO 1")
  std::string chain;
  char altloc = 0;
};

struct MacromoleculeText {
  bool hasCell = false;  // a CRYST1 record, or the six values of _cell
  double a = 1, b = 1, c = 1, alpha = 90, beta = 90, gamma = 90;
  std::string spaceGroup;  // as the file writes it
  int models = 0;
  std::vector<MacromoleculeAtom> atoms;  // the first model's, chain by chain
  // The atom loop's columns the reader needs and an mmCIF file lacks.
  std::vector<std::string> missingColumns;
};

// Reads a PDB file (mmcif false) or the first block of an mmCIF file that
// lists atoms with Cartesian coordinates. False with *error (Polish, the
// library's own words after it) when the text cannot be read.
bool ReadMacromoleculeText(std::string_view text, bool mmcif, MacromoleculeText& out, std::string* error);

}  // namespace pelmora

// The parts of the CIF import shared by its files: the block (cell, choice
// of block, messages), the symmetry and the atom sites.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include <gemmi/numb.hpp>
#include <gemmi/symmetry.hpp>

#include "documents/CifImport.h"
#include "documents/CifSyntax.h"
#include "io/NumberFormat.h"

namespace pelmora {

class ElementTable;

namespace cifimport {

using gemmi::Op;
using Column = std::vector<CifValue>;
using Xyz = std::array<double, 3>;

// Something the file cannot be read past; the text is the message.
struct CifError {
  std::string text;
};

// The value of a tag as text without quotes; nothing for a missing tag or a
// CIF null ("?" or ".").
inline std::optional<std::string> ValueOf(const CifBlock& block, const char* tag) {
  const Column* v = block.Find(tag);
  if (!v || v->empty()) return std::nullopt;
  return v->front();
}

inline double Number(const std::string& text) { return gemmi::cif::as_number(text); }

inline std::optional<std::string> FirstValueOf(const CifBlock& block, std::initializer_list<const char*> tags) {
  for (const char* tag : tags)
    if (auto v = ValueOf(block, tag)) return v;
  return std::nullopt;
}

// Cell constants and factors are kept as the structure file writes them
// ("%.6f"), so that a converted file calculates exactly as the import does.
// Positions need no such care: the file writes them to every digit they have.
inline double AsWritten(double v) { return parseDoubleOr(cformat("%.6f", v), 0.0); }

// --- symmetry

struct Symmetry {
  std::vector<Op> ops;
  std::string note;  // an Info message about a choice the file left open
};

// a, b, c, alfa, beta, gamma.
using Cell = std::array<double, 6>;

// The operators the block gives (explicit, Hall or Hermann-Mauguin, else
// P 1), checked to be a crystallographic group; sites choose between two
// origins the symbol does not name.
Symmetry ReadSymmetry(const CifBlock& block, const Cell& cell, const std::vector<Xyz>& sites);
// The crystal system from the rotations: the program's system code.
LatticeType CrystalSystemOf(const std::vector<Op>& ops);
// The centring flag that the operators' pure translations amount to, when
// the program has that lattice type; 0 (primitive, every atom listed)
// otherwise, also for A, B and R centring.
LatticeType CentringOf(const std::vector<Op>& ops, LatticeType system);
// The program's centring vectors beside the zero vector, for the flag.
std::vector<Xyz> CentringVectors(LatticeType centring);

// A coordinate wrapped into [0, 1).
double IntoCell(double v);
// Positions closer than tol in every coordinate, up to whole cell
// translations (0.9995 and 0.0005 are 0.001 apart).
bool SamePosition(const Xyz& p, const Xyz& q, double tol);
// The atoms a site gives under the operators. Images closer than the merge
// tolerance are one atom, at their mean: a site on a special position that
// the file writes to a few decimals (0.66666667, or 0.3333 beside 0.6667)
// then sits exactly on it, and its images keep the symmetry. A site on a
// general position stays where the file has it; the first atom is the
// site's own image, in the file's cell, the others are wrapped into the cell.
std::vector<Xyz> Images(const std::vector<Op>& ops, const Xyz& site);

// --- sites

struct Site {
  std::string label;
  AtomSite atom;  // factors, already scaled by the occupancy
  Xyz position;   // as read
  double occupancy = 1.0;
};

// The sites of the block's atom loop, dummy rows left out; notes collect
// what the user is told about them.
std::vector<Site> ReadSites(const CifBlock& block, const ElementTable& table, CifImportReport& report,
                            std::vector<std::string>& notes);
// Every site's images under the operators. A site whose images are those
// of an earlier site is that site listed twice ((0.6947, 0.6947, 0) beside
// (-0.3053, -0.3053, 0)) and is left out, unless the two share the place
// (occupancies adding up to at most 1: a mixed site). The left-out sites
// have no orbit.
std::vector<std::vector<Xyz>> SiteOrbits(const std::vector<Op>& ops, const std::vector<Site>& sites,
                                         CifImportReport& report, std::vector<std::string>& notes);
// One image of each centring class of every orbit; false when an orbit does
// not split evenly into the classes of `flag`.
bool CentringRepresentatives(const std::vector<std::vector<Xyz>>& orbits, LatticeType flag,
                             std::vector<std::vector<Xyz>>& reps);

}  // namespace cifimport
}  // namespace pelmora

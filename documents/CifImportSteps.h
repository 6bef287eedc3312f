// The steps of the CIF import, shared by its files: the block (cell, choice
// of block, messages), the symmetry and the atom sites.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include <gemmi/numb.hpp>
#include <gemmi/symmetry.hpp>

#include "engine/Symmetry.h"

#include "documents/CifImport.h"
#include "documents/CifSyntax.h"
#include "io/NumberFormat.h"

namespace pelmora {

class ElementTable;

namespace cifimport {

using gemmi::Op;
using symmetry::Xyz;
using Column = std::vector<CifValue>;

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

// a, b, c, alfa, beta, gamma.
using Cell = std::array<double, 6>;

// --- symmetry

struct Symmetry {
  std::vector<Op> ops;
  std::string note;  // an Info message about a choice the file left open
};

// The operators the block gives (explicit, Hall or Hermann-Mauguin, else
// P 1), checked to be a crystallographic group; sites choose between two
// origins the symbol does not name.
Symmetry ReadSymmetry(const CifBlock& block, const Cell& cell, const std::vector<Xyz>& sites);
using symmetry::CentringOf;
using symmetry::CentringRepresentatives;
using symmetry::CentringVectors;
using symmetry::CrystalSystemOf;
using symmetry::Images;
using symmetry::IntoCell;
using symmetry::SamePosition;

// --- sites

// The atom the periodic-table dialog gives for an element and charge: the
// tabulated ion of that charge, else the neutral atom (else the element's
// default ion); the isotope of that mass (deuterium), else the natural
// isotope mixture; no anomalous terms yet.
AtomSite AtomFromTables(const ElementTable& table, int nr, int charge, int mass);

struct Site {
  std::string label;
  AtomSite atom;  // the factors of a whole atom, its occupancy and B
  Xyz position;   // as read
  double occupancy = 1.0;
};

// The sites of the block's atom loop, dummy rows left out; messages collect
// what the user is told about them. The cell serves the equivalent
// isotropic U of anisotropic displacements.
std::vector<Site> ReadSites(const CifBlock& block, const Cell& cell, const ElementTable& table,
                            CifImportReport& report, std::vector<std::string>& messages);
// Every site's images under the operators. A site whose images are those
// of an earlier site is that site listed twice ((0.6947, 0.6947, 0) beside
// (-0.3053, -0.3053, 0)) and is left out, unless the two share the place
// (occupancies adding up to at most 1: a mixed site). The left-out sites
// have no orbit.
std::vector<std::vector<Xyz>> SiteOrbits(const std::vector<Op>& ops, const std::vector<Site>& sites,
                                         CifImportReport& report, std::vector<std::string>& notes);
}  // namespace cifimport
}  // namespace pelmora

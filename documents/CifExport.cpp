#include "documents/CifExport.h"

#include <cctype>
#include <charconv>
#include <cmath>

#include "engine/SpaceGroup.h"
#include "io/CoordinateFormat.h"
#include "io/NumberFormat.h"
#include "refdata/ElementTable.h"
#include "io/Translate.h"

namespace pelmora {
namespace {

// The shortest text that reads back as the same double.
std::string Exact(double v) {
  char buffer[kMaxNumberChars];
  const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, v);
  return ec == std::errc() ? std::string(buffer, end) : cformat("%.17g", v);
}

// A coordinate as the structure file writes it: never fewer than six
// decimals, so that the reader's rule for fractions (0.2083 read as 5/24)
// leaves our own positions where they are, and more when the double needs
// them to read back unchanged.
std::string Coordinate(double v) { return FixedNear(v, 6); }

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

// "Ti4+" from the element and the charge the atom's name carries ("Ti+4").
std::string TypeSymbol(const AtomSite& at, const ElementTable& elements) {
  if (at.nr < 1 || at.nr > 118) return "X";
  const std::string symbol = elements.Entry(at.nr).symbol;
  int charge = at.ionCharge;
  if (charge == 0 && at.name.compare(0, symbol.size(), symbol) == 0) {
    const std::string rest = at.name.substr(symbol.size());
    if (rest.size() >= 2 && (rest[0] == '+' || rest[0] == '-') &&
        std::all_of(rest.begin() + 1, rest.end(), [](char ch) { return std::isdigit(static_cast<unsigned char>(ch)); }))
      charge = std::atoi(rest.c_str() + 1) * (rest[0] == '-' ? -1 : 1);
  }
  if (charge == 0) return symbol;
  return symbol + std::to_string(std::abs(charge)) + (charge < 0 ? "-" : "+");
}

}  // namespace

std::string FormatCif(const CKomorka& doc, const ElementTable& elements, std::vector<DocMessage>& notes,
                      double tolerance, const CifEsds* esds) {
  std::optional<SpaceGroupSetting> group =
      doc.crystal.spaceGroup.empty() ? std::nullopt : FindSpaceGroup(doc.crystal.spaceGroup);
  std::vector<AtomSite> sites = group ? doc.crystal.asymmetricUnit : std::vector<AtomSite>{};
  if (!group) {
    if (std::optional<FoundSymmetry> found = FindSymmetry(doc.cell, doc.crystal.cellAtoms, tolerance)) {
      group = found->group;
      sites = std::move(found->sites);
      notes.push_back({"Info", cformat(TrText("documents", "Znaleziona grupa przestrzenna: %s (nr %d), tolerancja %g Å; zapisano %zu "
                                       "pozycji niezależnych.").c_str(),
                                       group->Name().c_str(), group->number, tolerance, sites.size())});
    } else {
      group = FindSpaceGroup("P 1");
      sites = doc.crystal.cellAtoms;
      notes.push_back({"Info", TrText("documents", "Nie znaleziono symetrii: zapisano grupę P 1 i wszystkie atomy komórki.")});
    }
  }
  const bool siteEsds = esds && !doc.crystal.spaceGroup.empty() && esds->sites.size() == sites.size();
  std::string s = "# Pelmora\ndata_pelmora\n";
  const double cell[6] = {doc.cell.a, doc.cell.b, doc.cell.c, doc.cell.alfa, doc.cell.beta, doc.cell.gamma};
  const char* cellNames[6] = {"length_a", "length_b", "length_c", "angle_alpha", "angle_beta", "angle_gamma"};
  for (size_t i = 0; i < 6; ++i) {
    const bool withEsd = esds && std::isfinite(esds->cell[i]) && esds->cell[i] > 0.0;
    s += cformat("_cell_%s ", cellNames[i]) + (withEsd ? WithEsd(cell[i], esds->cell[i]) : cformat("%.6f", cell[i])) + "\n";
  }
  s += cformat("_space_group_IT_number %d\n", group->number);
  s += "_space_group_name_H-M_alt " + Quoted(group->Name()) + "\n";
  s += "_space_group_name_Hall " + Quoted(group->hall) + "\n";
  s += "loop_\n_space_group_symop_operation_xyz\n";
  for (const std::string& op : SymmetryTriplets(*group)) s += Quoted(op) + "\n";
  s += "loop_\n_atom_site_label\n_atom_site_type_symbol\n_atom_site_fract_x\n_atom_site_fract_y\n"
       "_atom_site_fract_z\n_atom_site_occupancy\n_atom_site_B_iso_or_equiv\n";
  for (size_t i = 0; i < sites.size(); ++i) {
    const AtomSite& at = sites[i];
    const std::string type = TypeSymbol(at, elements);
    std::string element;
    for (char ch : type)
      if (std::isalpha(static_cast<unsigned char>(ch))) element += ch;
    // A site without its own B has the experiment's, when that is on.
    const std::string B = at.biso ? Exact(*at.biso) : doc.experiment.IsDW == 1 ? Exact(doc.experiment.dwfactor) : "?";
    std::string v[5] = {Coordinate(at.x), Coordinate(at.y), Coordinate(at.z), Exact(at.occupancy), B};
    const double raw[5] = {at.x, at.y, at.z, at.occupancy, at.biso.value_or(doc.experiment.dwfactor)};
    for (size_t k = 0; k < 5 && siteEsds; ++k)
      if (std::isfinite(esds->sites[i][k]) && esds->sites[i][k] > 0.0) v[k] = WithEsd(raw[k], esds->sites[i][k]);
    s += cformat("%s%zu %s %s %s %s %s %s\n", element.c_str(), i + 1, type.c_str(), v[0].c_str(), v[1].c_str(),
                 v[2].c_str(), v[3].c_str(), v[4].c_str());
  }
  return s;
}

}  // namespace pelmora

#include "documents/MacromoleculeSyntax.h"

#include "documents/CifSyntax.h"
#include "io/Translate.h"

#include <gemmi/cif.hpp>
#include <gemmi/mmcif.hpp>
#include <gemmi/pdb.hpp>

#include <algorithm>
#include <cctype>
#include <exception>

namespace pelmora {
namespace {

namespace cif = gemmi::cif;

// A PDB text has a CRYST1 record when one of its lines opens with it.
bool HasCryst1(std::string_view text) {
  for (size_t at = 0; at < text.size();) {
    if (text.compare(at, 6, "CRYST1") == 0) return true;
    const size_t eol = text.find('\n', at);
    if (eol == std::string_view::npos) break;
    at = eol + 1;
  }
  return false;
}

// Files written before 1996 keep the entry's code and a line number in
// columns 73-80 ("1HPV 186"), where the element and the charge stand now:
// the library would read the number as a charge. Such atom records lose
// the old field, so that the element comes from the atom name.
bool HasOldIdField(std::string_view line) {
  if (line.size() < 80 || !(line.compare(0, 6, "ATOM  ") == 0 || line.compare(0, 6, "HETATM") == 0 ||
                            line.compare(0, 6, "ANISOU") == 0))
    return false;
  const std::string_view field = line.substr(76, 4);
  const auto digitOrBlank = [](char ch) { return ch == ' ' || std::isdigit(static_cast<unsigned char>(ch)); };
  return std::all_of(field.begin(), field.end(), digitOrBlank) &&
         (std::isdigit(static_cast<unsigned char>(field[2])) || std::isdigit(static_cast<unsigned char>(field[3])));
}

// The text with the old field blanked in every atom record that has it;
// empty when no record has it.
std::string WithoutOldIdFields(std::string_view text) {
  std::string out;
  for (size_t at = 0; at < text.size();) {
    size_t eol = text.find('\n', at);
    if (eol == std::string_view::npos) eol = text.size();
    const std::string_view line = text.substr(at, eol - at);
    if (HasOldIdField(line)) {
      if (out.empty()) out.assign(text);
      out.replace(at + 72, 8, 8, ' ');
    }
    at = eol + 1;
  }
  return out;
}

// The first block that lists atoms by Cartesian coordinates, else the first.
const cif::Block* AtomBlock(const cif::Document& doc) {
  for (const cif::Block& block : doc.blocks)
    if (block.has_tag("_atom_site.Cartn_x")) return &block;
  return doc.blocks.empty() ? nullptr : &doc.blocks.front();
}

// The columns of the atom loop without which gemmi reads no atom.
std::vector<std::string> MissingColumns(const cif::Block& block) {
  std::vector<std::string> missing;
  for (const char* tag : {"id", "type_symbol", "label_alt_id", "label_asym_id", "Cartn_x", "Cartn_y", "Cartn_z",
                          "occupancy", "B_iso_or_equiv", "auth_seq_id"})
    if (!block.has_tag(std::string("_atom_site.") + tag)) missing.push_back(std::string("_atom_site.") + tag);
  if (!block.has_tag("_atom_site.label_comp_id") && !block.has_tag("_atom_site.auth_comp_id"))
    missing.push_back("_atom_site.label_comp_id");
  if (!block.has_tag("_atom_site.label_atom_id") && !block.has_tag("_atom_site.auth_atom_id"))
    missing.push_back("_atom_site.label_atom_id");
  return missing;
}

// The type symbol an mmCIF block gives the atom of this serial number.
std::string TypeSymbolOf(const cif::Block& constBlock, int serial) {
  cif::Block& block = const_cast<cif::Block&>(constBlock);
  cif::Table table = block.find("_atom_site.", {"id", "type_symbol"});
  for (cif::Table::Row row : table)
    if (cif::as_int(row[0], -1) == serial) return cif::as_string(row[1]);
  return {};
}

// The PDB reader's words as a Polish sentence; its own follow for whoever
// wrote the file. "Problem in line N: ..." names the line.
std::string PolishPdbError(const std::string& what) {
  std::string line;
  const std::string lead = "Problem in line ";
  if (what.rfind(lead, 0) == 0)
    for (size_t i = lead.size(); i < what.size() && std::isdigit(static_cast<unsigned char>(what[i])); ++i)
      line += what[i];
  const std::string where = line.empty() ? TrText("documents", "nie udało się go odczytać") : TrText("documents", "błąd w wierszu ") + line;
  return where + " (" + what + ")";
}

}  // namespace

bool ReadMacromoleculeText(std::string_view text, bool mmcif, MacromoleculeText& out, std::string* error) {
  out = MacromoleculeText{};
  try {
    gemmi::Structure st;
    cif::Document doc;
    const cif::Block* block = nullptr;
    if (mmcif) {
      doc = cif::read_memory(text.data(), text.size(), "CIF");
      block = AtomBlock(doc);
      if (!block) {
        if (error) *error = TrText("documents", "brak bloku danych (data_)");
        return false;
      }
      st = gemmi::make_structure_from_block(*block);
      out.hasCell = true;
      for (const char* tag : {"_cell.length_a", "_cell.length_b", "_cell.length_c", "_cell.angle_alpha",
                              "_cell.angle_beta", "_cell.angle_gamma"})
        out.hasCell = out.hasCell && block->find_value(tag) != nullptr;
      if (block->has_tag("_atom_site.Cartn_x")) out.missingColumns = MissingColumns(*block);
    } else {
      const std::string modern = WithoutOldIdFields(text);
      const std::string_view read = modern.empty() ? text : std::string_view(modern);
      st = gemmi::read_pdb_from_memory(read.data(), read.size(), "PDB");
      out.hasCell = HasCryst1(text);
    }
    out.a = st.cell.a, out.b = st.cell.b, out.c = st.cell.c;
    out.alpha = st.cell.alpha, out.beta = st.cell.beta, out.gamma = st.cell.gamma;
    out.spaceGroup = st.spacegroup_hm;
    out.models = static_cast<int>(st.models.size());
    if (st.models.empty()) return true;
    for (const gemmi::Chain& chain : st.models.front().chains)
      for (const gemmi::Residue& res : chain.residues)
        for (const gemmi::Atom& atom : res.atoms) {
          MacromoleculeAtom a;
          if (atom.element.elem != gemmi::El::X) a.element = atom.element.name();
          else if (block) a.rawElement = TypeSymbolOf(*block, atom.serial);
          a.charge = atom.charge;
          a.occupancy = atom.occ;
          a.b = atom.b_iso;
          const gemmi::Fractional f = st.cell.fractionalize(atom.pos);
          a.fract = {f.x, f.y, f.z};
          a.serial = atom.serial;
          a.name = atom.name;
          a.residue = res.name + " " + res.seqid.str();
          a.chain = chain.name;
          a.altloc = atom.altloc;
          out.atoms.push_back(std::move(a));
        }
    return true;
  } catch (const std::exception& e) {
    if (error) *error = mmcif ? PolishCifSyntaxError(e.what()) : PolishPdbError(e.what());
  }
  return false;
}

}  // namespace pelmora

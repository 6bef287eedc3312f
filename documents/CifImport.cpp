#include "documents/CifImport.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <optional>

#include "documents/CifImportSteps.h"
#include "documents/CifSyntax.h"
#include "engine/SpaceGroup.h"
#include "engine/Angles.h"
#include "io/NumberFormat.h"
#include "refdata/ElementTable.h"
#include "io/Translate.h"

namespace pelmora {
namespace cifimport {
namespace {

constexpr const char* kInfoCaption = "Info";

double CellValue(const CifBlock& block, const char* tag, bool required, double fallback) {
  const std::optional<std::string> v = ValueOf(block, tag);
  if (!v) {
    if (required) throw CifError{TrText("documents", "brak komórki elementarnej (") + tag + ")"};
    return fallback;
  }
  const double d = Number(*v);
  if (!std::isfinite(d)) throw CifError{TrText("documents", "nieczytelna wartość ") + tag + " \"" + *v + "\""};
  return d;
}

struct Imported {
  LatticeType latticeType = kTriclinic;
  double a = 1, b = 1, c = 1, alfa = 90, beta = 90, gamma = 90;
  std::vector<AtomSite> structureAtoms;
  std::vector<std::string> notes;
  // The group of the table whose operators the block's are (none for P 1)
  // and the sites that generate the cell with it.
  std::string spaceGroup;
  std::vector<AtomSite> sites;
};

// Whether the cell has the shape the crystal system asks for (a trigonal
// group with gamma = 90 has not). A monoclinic cell may have its unique
// axis along any edge.
bool CellFitsSystem(LatticeType system, const Imported& c) {
  const auto same = [](double u, double v) { return std::fabs(u - v) <= 1e-4 * std::max(u, v); };
  const auto right = [](double angle) { return std::fabs(angle - 90) <= 0.01; };
  const auto equal = [](double u, double v) { return std::fabs(u - v) <= 0.01; };
  switch (system) {
    case kCubic: return same(c.a, c.b) && same(c.a, c.c) && right(c.alfa) && right(c.beta) && right(c.gamma);
    case kTetragonal: return same(c.a, c.b) && right(c.alfa) && right(c.beta) && right(c.gamma);
    case kOrthorhombic: return right(c.alfa) && right(c.beta) && right(c.gamma);
    case kHexagonal: return same(c.a, c.b) && right(c.alfa) && right(c.beta) && equal(c.gamma, 120);
    case kRhombohedral: return same(c.a, c.b) && same(c.a, c.c) && equal(c.alfa, c.beta) && equal(c.alfa, c.gamma);
    case kMonoclinic: return int(right(c.alfa)) + int(right(c.beta)) + int(right(c.gamma)) >= 2;
    default: return true;
  }
}

// The cell constants, refused when they make no cell.
void ReadCell(const CifBlock& block, Imported& out) {
  out.a = AsWritten(CellValue(block, "_cell_length_a", true, 0));
  out.b = AsWritten(CellValue(block, "_cell_length_b", true, 0));
  out.c = AsWritten(CellValue(block, "_cell_length_c", true, 0));
  out.alfa = AsWritten(CellValue(block, "_cell_angle_alpha", false, 90));
  out.beta = AsWritten(CellValue(block, "_cell_angle_beta", false, 90));
  out.gamma = AsWritten(CellValue(block, "_cell_angle_gamma", false, 90));
  for (double len : {out.a, out.b, out.c})
    if (!(len > 0)) throw CifError{TrText("documents", "komórka elementarna o krawędzi nie większej od zera")};
  const double ca = std::cos(DegreesToRadians(out.alfa)), cb = std::cos(DegreesToRadians(out.beta)),
               cg = std::cos(DegreesToRadians(out.gamma));
  if (!(1 - ca * ca - cb * cb - cg * cg + 2 * ca * cb * cg > 1e-9) || out.alfa <= 0 || out.beta <= 0 ||
      out.gamma <= 0 || out.alfa >= 180 || out.beta >= 180 || out.gamma >= 180)
    throw CifError{TrText("documents", "kąty komórki elementarnej nie tworzą komórki")};
}

Imported ImportBlock(const CifBlock& block, const ElementTable& table, CifImportReport& report) {
  Imported out;
  ReadCell(block, out);
  const std::vector<Site> sites =
      ReadSites(block, {out.a, out.b, out.c, out.alfa, out.beta, out.gamma}, table, report, out.notes);

  std::vector<Xyz> positions;
  for (const Site& s : sites) positions.push_back(s.position);
  const Symmetry sym = ReadSymmetry(block, {out.a, out.b, out.c, out.alfa, out.beta, out.gamma}, positions);
  if (!sym.note.empty()) out.notes.insert(out.notes.begin(), sym.note);

  const LatticeType system = CrystalSystemOf(sym.ops);
  if (!CellFitsSystem(system, out))
    out.notes.push_back(cformat(TrText("documents", "Komórka elementarna pliku (a = %g, b = %g, c = %g, alfa = %g, beta = %g, gamma = %g) "
                                "nie ma kształtu, jakiego wymaga jego symetria (komórka %s): obliczenie przyjmie ją "
                                "taką, jaka jest.").c_str(),
                                out.a, out.b, out.c, out.alfa, out.beta, out.gamma,
                                std::string(kSystemNames[system]).c_str()));
  LatticeType centring = CentringOf(sym.ops, system);

  // Every site's images, then one representative of each centring class.
  const std::vector<std::vector<Xyz>> orbits = SiteOrbits(sym.ops, sites, report, out.notes);
  std::vector<std::vector<Xyz>> reps;
  if (centring != 0 && !CentringRepresentatives(orbits, centring, reps)) {
    centring = 0;
    reps.clear();
  }
  if (centring == 0) reps = orbits;
  out.latticeType = system | centring;

  if (sym.ops.size() > 1) {
    try {
      if (const gemmi::SpaceGroup* sg = gemmi::find_spacegroup_by_ops(gemmi::split_centering_vectors(sym.ops)))
        if (const std::optional<SpaceGroupSetting> g = FindSpaceGroup(sg->xhm()))
          if (symmetry::OperatorsOf(*sg) == sym.ops) out.spaceGroup = g->Name();
    } catch (const std::exception&) {
    }
  }
  for (size_t i = 0; i < sites.size(); ++i)
    if (!orbits[i].empty()) {
      AtomSite a = sites[i].atom;
      a.x = sites[i].position[0];
      a.y = sites[i].position[1];
      a.z = sites[i].position[2];
      out.sites.push_back(std::move(a));
    }
  for (size_t i = 0; i < sites.size(); ++i)
    for (const Xyz& p : reps[i]) {
      AtomSite a = sites[i].atom;
      a.x = p[0];
      a.y = p[1];
      a.z = p[2];
      a.siteIndex = static_cast<int>(out.structureAtoms.size());
      out.structureAtoms.push_back(std::move(a));
    }
  return out;
}

bool HasSites(const CifBlock& block) { return block.Find("_atom_site_fract_x") != nullptr; }
bool HasCell(const CifBlock& block) { return block.Find("_cell_length_a") != nullptr; }

CifBlockInfo InfoOf(const CifBlock& block) {
  CifBlockInfo info;
  info.name = block.name;
  info.formula = FirstValueOf(block, {"_chemical_formula_sum", "_chemical_formula_moiety",
                                      "_chemical_formula_structural"})
                     .value_or("");
  info.group = FirstValueOf(block, {"_space_group_name_h-m_alt", "_symmetry_space_group_name_h-m",
                                    "_space_group_name_hall", "_symmetry_space_group_name_hall",
                                    "_space_group_it_number", "_symmetry_int_tables_number"})
                   .value_or("");
  const char* tags[6] = {"_cell_length_a", "_cell_length_b", "_cell_length_c",
                         "_cell_angle_alpha", "_cell_angle_beta", "_cell_angle_gamma"};
  for (size_t i = 0; i < 6; ++i) {
    const std::optional<std::string> v = ValueOf(block, tags[i]);
    info.cell[i] = v ? Number(*v) : std::nan("");
  }
  info.hasSites = HasSites(block);
  return info;
}

// The block asked for by name, else the first with atom sites, else the
// first with a cell.
const CifBlock& ChooseBlock(const std::vector<CifBlock>& blocks, std::string_view wanted) {
  if (!wanted.empty()) {
    std::string names;
    for (const CifBlock& block : blocks) {
      if (SameCifBlockName(block.name, wanted)) {
        if (!HasCell(block)) throw CifError{cformat(TrText("documents", "blok danych \"%s\" nie podaje komórki elementarnej").c_str(), block.name.c_str())};
        return block;
      }
      if (HasCell(block)) names += (names.empty() ? "\"" : ", \"") + block.name + "\"";
    }
    throw CifError{cformat(TrText("documents", "brak bloku danych \"%s\"; bloki pliku: %s").c_str(), std::string(wanted).c_str(), names.c_str())};
  }
  for (const CifBlock& block : blocks)
    if (HasSites(block)) return block;
  for (const CifBlock& block : blocks)
    if (HasCell(block)) return block;
  throw CifError{blocks.empty() ? TrText("documents", "brak bloku danych (data_)") : TrText("documents", "brak komórki elementarnej i atomów")};
}

}  // namespace
}  // namespace cifimport

using namespace cifimport;

bool SameCifBlockName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

std::vector<CifBlockInfo> ListCifBlocks(std::string_view text) {
  std::vector<CifBlock> blocks;
  std::vector<CifBlockInfo> out;
  if (!ParseCif(text, blocks, nullptr)) return out;
  for (const CifBlock& block : blocks)
    if (HasCell(block)) out.push_back(InfoOf(block));
  return out;
}

bool ImportCifText(CKomorka& doc, std::string_view text, const ElementTable& elements,
                   std::vector<DocMessage>& messages, CifImportReport* report, std::string_view block) {
  CifImportReport local;
  CifImportReport& rep = report ? *report : local;
  rep = CifImportReport{};
  try {
    std::vector<CifBlock> blocks;
    std::string syntaxError;
    if (!ParseCif(text, blocks, &syntaxError)) throw CifError{syntaxError};
    for (const CifBlock& b : blocks)
      if (HasCell(b)) rep.blocks.push_back(InfoOf(b));
    const CifBlock& chosen = ChooseBlock(blocks, block);
    rep.blockName = chosen.name;
    Imported imp = ImportBlock(chosen, elements, rep);

    doc.crystal.latticeType = imp.latticeType;
    doc.crystal.bravaisIndex = -1;
    for (int i = 0; i < kBravaisCount; ++i)
      if (BravaisTable[static_cast<size_t>(i)].type == imp.latticeType) doc.crystal.bravaisIndex = i;
    doc.cell.a = imp.a, doc.cell.b = imp.b, doc.cell.c = imp.c;
    doc.cell.alfa = imp.alfa, doc.cell.beta = imp.beta, doc.cell.gamma = imp.gamma;
    doc.crystal.structureAtoms = std::move(imp.structureAtoms);
    doc.crystal.spaceGroup.clear();
    doc.crystal.asymmetricUnit.clear();
    if (!imp.spaceGroup.empty()) {
      // The group's cell is the import's, atom for atom; should it not be,
      // the atoms stand without the group.
      CKomorka probe;
      probe.crystal.spaceGroup = imp.spaceGroup;
      probe.crystal.asymmetricUnit = imp.sites;
      probe.crystal.ExpandCellAtoms();
      bool same = probe.crystal.latticeType == doc.crystal.latticeType &&
                  probe.crystal.structureAtoms.size() == doc.crystal.structureAtoms.size();
      for (size_t i = 0; same && i < probe.crystal.structureAtoms.size(); ++i) {
        const AtomSite &p = probe.crystal.structureAtoms[i], &q = doc.crystal.structureAtoms[i];
        same = p.x == q.x && p.y == q.y && p.z == q.z && p.factors() == q.factors();
      }
      if (same) {
        doc.crystal.spaceGroup = imp.spaceGroup;
        doc.crystal.asymmetricUnit = std::move(imp.sites);
      }
    }
    doc.crystal.ExpandCellAtoms();

    for (const std::string& note : imp.notes) messages.push_back({kInfoCaption, note});
    return true;
  } catch (const CifError& e) {
    messages.push_back({kErrorCaption, TrText("documents", "Plik CIF: ") + e.text});
  } catch (const std::exception& e) {
    // Only a fault of ours or of the library gets here: its words after ours.
    messages.push_back({kErrorCaption, TrText("documents", "Plik CIF: nie udało się go odczytać (") + e.what() + ")"});
  }
  return false;
}

}  // namespace pelmora

// CIF import: the same reflections as the structures typed by hand, the
// lattice types the symmetry gives, occupancies, and refused files.
#include <gtest/gtest.h>

#include <fstream>
#include <map>

#include "TestUtil.h"
#include "io/AtomicFile.h"
#include "documents/CifImport.h"
#include "documents/StructureFile.h"
#include "engine/CalcProgress.h"
#include "io/NumberFormat.h"
#include "refdata/ReferenceData.h"

using namespace pelmora;
using namespace pelmora::test;

namespace {

const std::string kCifDir = std::string(PELMORA_SOURCE_DIR) + "/tests/data/cif/";

const ReferenceData& Tables() {
  static ReferenceData* ref = [] {
    auto* r = new ReferenceData;
    r->dataDir = std::string(PELMORA_SOURCE_DIR) + "/Data";
    r->LoadScatteringTables();
    return r;
  }();
  return *ref;
}

std::string Slurp(const std::string& path) {
  std::string bytes;
  EXPECT_TRUE(ReadWholeFile(path, bytes)) << path;
  return bytes;
}

const std::string kCell = "data_x\n_cell_length_a 4\n_cell_length_b 4\n_cell_length_c 4\n";
const std::string kAtoms = "loop_\n_atom_site_label\n_atom_site_fract_x\n_atom_site_fract_y\n_atom_site_fract_z\n";
const std::string kTypedAtoms =
    "loop_\n_atom_site_label\n_atom_site_type_symbol\n_atom_site_fract_x\n_atom_site_fract_y\n_atom_site_fract_z\n";

bool Import(CKomorka& doc, const std::string& text, std::vector<DocMessage>& messages,
            CifImportReport* report = nullptr) {
  return ImportCifText(doc, text, Tables().elements, messages, report);
}

std::string Texts(const std::vector<DocMessage>& messages) {
  std::string out;
  for (const DocMessage& m : messages) out += m.caption + ": " + m.text + "\n";
  return out;
}

void Calculate(CKomorka& doc) {
  NullProgress none;
  ASSERT_EQ(doc.CalculateReflections(none), 0);
}

// F² of both documents' reflections, in order, the first scaled by `scale`.
void ExpectSameF2(const CKomorka& got, const CKomorka& want, double scale, double tolerance) {
  ASSERT_EQ(got.reflectionsAll.size(), want.reflectionsAll.size());
  for (size_t i = 0; i < want.reflectionsAll.size(); ++i) {
    const Reflection &t = want.reflectionsAll[i], &m = got.reflectionsAll[i];
    SCOPED_TRACE(cformat("%d %d %d", t.h, t.k, t.l));
    EXPECT_EQ(std::tie(m.h, m.k, m.l, m.multiplicity, m.line), std::tie(t.h, t.k, t.l, t.multiplicity, t.line));
    EXPECT_NEAR(m.d, t.d, 1e-12);
    EXPECT_NEAR(m.f2, scale * t.f2, tolerance * std::max(1.0, t.f2));
  }
}

}  // namespace

TEST(CifImport, SameReflectionsAsTheStructuresTypedByHand) {
  struct Case {
    const char* cif;
    std::string typed;
    LatticeType lattice;
    size_t structureAtoms, cellAtoms;
  };
  const Case cases[] = {
      {"rutile.cif", PELMORA_EXAMPLES_DIR "/rutile-TiO2.xml", kTetragonal, 6, 6},
      {"wurtzite-ZnO.cif", PELMORA_EXAMPLES_DIR "/wurtzite-ZnO.xml", kHexagonal, 4, 4},
      {"anatase.cif", kCifDir + "anatase.xml", kTetragonal | kBodyCentred, 6, 12},
      // O2 on 2a: its four images merge into two.
      {"monoclinic-C.cif", kCifDir + "monoclinic-C.xml", kMonoclinic | kBaseCentred, 7, 14},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.cif);
    std::vector<DocMessage> messages;
    CKomorka typed;
    ASSERT_TRUE(OpenStructureDocument(typed, c.typed, messages));
    // The imported structure in a document with the same experiment.
    CKomorka imported;
    ASSERT_TRUE(OpenStructureDocument(imported, c.typed, messages));
    ASSERT_TRUE(Import(imported, Slurp(kCifDir + c.cif), messages)) << Texts(messages);
    EXPECT_EQ(imported.BravaisTable[static_cast<size_t>(imported.bravaisIndex)].type, c.lattice);
    EXPECT_EQ(imported.structureAtoms.size(), c.structureAtoms);
    EXPECT_EQ(imported.cellAtoms.size(), c.cellAtoms);
    // The typed files carry other tables' factors: give the imported atoms
    // the same ones, element by element.
    std::map<int, ScatteringFactors> byElement;
    for (const AtomSite& a : typed.structureAtoms) byElement.emplace(a.nr, a.factors());
    for (AtomSite& a : imported.structureAtoms) {
      ASSERT_TRUE(byElement.count(a.nr)) << a.name;
      a.factors() = byElement[a.nr];
    }
    imported.ExpandCellAtoms();
    Calculate(typed);
    Calculate(imported);
    // Coordinates of special positions differ in the sixth decimal.
    ExpectSameF2(imported, typed, 1.0, 1e-4);
  }
}

TEST(CifImport, LatticeTypesFromTheSymmetry) {
  const std::string &cell = kCell, &atoms = kAtoms;
  const std::string hexCell = "data_x\n_cell_length_a 5\n_cell_length_b 5\n_cell_length_c 13\n_cell_angle_gamma 120\n";
  const std::string rhombCell = "data_x\n_cell_length_a 5\n_cell_length_b 5\n_cell_length_c 5\n_cell_angle_alpha 55\n"
                                "_cell_angle_beta 55\n_cell_angle_gamma 55\n";
  struct Case {
    std::string text;
    LatticeType lattice;
    size_t structureAtoms, cellAtoms;
  };
  const Case cases[] = {
      // NaCl: F centring, one atom per centring class.
      {cell + "_symmetry_space_group_name_H-M 'F m -3 m'\n" + atoms + "Na 0 0 0\nCl 0.5 0.5 0.5\n",
       kCubic | kFaceCentred, 2, 8},
      // alpha-Fe with I centring from a Hall symbol.
      {cell + "_space_group_name_Hall '-I 4 2 3'\n" + atoms + "Fe 0 0 0\n", kCubic | kBodyCentred, 1, 2},
      // Rhombohedral group on hexagonal axes: kept hexagonal, every atom listed.
      {hexCell + "_symmetry_space_group_name_H-M 'R -3 m :H'\n" + atoms + "Bi 0 0 0.4\n", kHexagonal, 6, 6},
      // The same group on rhombohedral axes.
      {rhombCell + "_symmetry_space_group_name_H-M 'R -3 m :R'\n" + atoms + "Bi 0.4 0.4 0.4\n", kRhombohedral, 2,
       2},
      // A centring: primitive, every atom listed, the user's axes kept.
      {cell + "_symmetry_space_group_name_H-M 'A m m 2'\n" + atoms + "Si 0.1 0.2 0.3\n", kOrthorhombic, 8, 8},
      // No symmetry at all: P 1.
      {cell + "_cell_angle_beta 100\n" + atoms + "Si 0.1 0.2 0.3\nO 0.5 0.5 0.5\n", kTriclinic, 2, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    CKomorka doc;
    std::vector<DocMessage> messages;
    ASSERT_TRUE(Import(doc, c.text, messages)) << Texts(messages);
    EXPECT_EQ(doc.latticeType, c.lattice);
    EXPECT_EQ(doc.structureAtoms.size(), c.structureAtoms);
    EXPECT_EQ(doc.cellAtoms.size(), c.cellAtoms);
  }
}

TEST(CifImport, FactorsFromTheTablesScaledByTheOccupancy) {
  const std::string full = Slurp(kCifDir + "rutile.cif");
  std::string half = full;
  for (const char* row : {"Ti1 Ti4+ 0 0 0 1 ", "O1 O2- 0.30476(6) 0.30476(6) 0 1 "}) {
    std::string r = row, h = r.substr(0, r.size() - 2) + "0.5 ";
    half.replace(half.find(r), r.size(), h);
  }
  CKomorka whole, halved;
  std::vector<DocMessage> messages;
  CifImportReport report;
  ASSERT_TRUE(Import(whole, full, messages, &report));
  EXPECT_EQ(report.scaledSites, 0);
  EXPECT_TRUE(report.displacementIgnored);  // U_iso given: the user is told once

  // As the periodic-table dialog gives them: the tabulated ion, the natural
  // isotope mixture, no anomalous terms.
  const ElementTable& table = Tables().elements;
  const AtomSite& ti = whole.structureAtoms.front();
  const IonRecord& ion = table.Entry(22).ions[static_cast<size_t>(table.FindIon(22, 4))];
  EXPECT_EQ(std::tie(ti.name, ti.ionCharge, ti.isotopeMass), std::tuple("Ti+4", 4, 0));
  EXPECT_EQ(std::tie(ti.a1, ti.b4, ti.c, ti.fprim), std::tuple(ion.a1, ion.b4, ion.c, 0.0));
  EXPECT_EQ(ti.s, table.Entry(22).isotopes[static_cast<size_t>(table.FindIsotope(22, 0))].s);
  EXPECT_EQ(whole.structureAtoms.back().name, "O-2");

  messages.clear();
  ASSERT_TRUE(Import(halved, half, messages, &report));
  EXPECT_EQ(report.scaledSites, 2);
  EXPECT_NE(Texts(messages).find("2 pozycji"), std::string::npos) << Texts(messages);
  Calculate(whole);
  Calculate(halved);
  // The halved factors are kept to six decimals, as the file keeps them.
  ExpectSameF2(halved, whole, 0.25, 1e-5);

  // A charge the tables lack falls back to the neutral atom.
  CKomorka odd;
  ASSERT_TRUE(Import(odd, kCell + kTypedAtoms + "Fe1 Fe5+ 0 0 0\n", messages));
  EXPECT_EQ(std::tie(odd.structureAtoms[0].name, odd.structureAtoms[0].ionCharge), std::tuple("Fe", 0));

  // Deuterium, by type symbol or by label alone: hydrogen's X-ray factors
  // with the neutron scattering length of isotope 2; Dy stays dysprosium.
  CKomorka heavy, typed;
  ASSERT_TRUE(Import(heavy, kCell + kAtoms + "D1 0 0 0\nDy1 0.5 0.5 0.5\nH1 0.5 0 0\n", messages));
  ASSERT_TRUE(Import(typed, kCell + kTypedAtoms + "H5 D 0 0 0\n", messages));
  const double sD = 6.671;  // deuterium's coherent scattering length, fm
  for (const AtomSite* d : {&heavy.structureAtoms[0], &typed.structureAtoms[0]}) {
    EXPECT_EQ(d->nr, 1);
    EXPECT_EQ(d->isotopeMass, 2);
    EXPECT_EQ(d->s, sD);
    EXPECT_EQ(d->a1, heavy.structureAtoms[2].a1);
  }
  EXPECT_EQ(heavy.structureAtoms[1].nr, 66);
  EXPECT_EQ(heavy.structureAtoms[2].isotopeMass, 0);
}

TEST(CifImport, BrokenFilesAreRefusedWithAMessage) {
  const std::string &cell = kCell, &atoms = kAtoms;
  std::string crowded = cell + "_symmetry_space_group_name_H-M 'P m -3 m'\n" + atoms;
  // 42 sites on the general position (48 images) and one on a mirror (24): 2040 atoms.
  for (int i = 0; i < 43; ++i) crowded += cformat("Si%d 0.%02d 0.13 0.27\n", i, 31 + i);
  const std::pair<std::string, std::string> cases[] = {
      {"", "brak bloku danych"},
      {"data_x\n" + atoms + "Si 0 0 0\n", "brak komórki"},
      {cell, "brak atomów"},
      {cell + atoms + "Qq1 0 0 0\n", "nieznany pierwiastek w etykiecie \"Qq1\""},
      {cell + atoms + "Si ? 0 0\n", "nieczytelna współrzędna x (atom Si)"},
      {cell + "loop_\n_atom_site_label\n_atom_site_fract_x\nSi 0 0\n", "Uszkodzony plik CIF"},
      {cell + "_cell_angle_alpha 120\n_cell_angle_beta 120\n_cell_angle_gamma 120\n" + atoms + "Si 0 0 0\n",
       "kąty komórki"},
      {cell + "loop_\n_symmetry_equiv_pos_as_xyz\nx,y,z\n-y,x,z\n" + atoms + "Si 0 0 0\n", "nie tworzą grupy"},
      {cell + "loop_\n_symmetry_equiv_pos_as_xyz\nx,y,z\nx+y,y,z\n" + atoms + "Si 0 0 0\n",
       "nie jest krystalograficzny"},
      {cell + "_symmetry_space_group_name_H-M 'Q 9'\n" + atoms + "Si 0 0 0\n", "nieznany symbol grupy"},
      {crowded, "za dużo atomów"},
  };
  for (const auto& [text, expected] : cases) {
    SCOPED_TRACE(text);
    CKomorka doc;
    doc.a = 7.0;
    doc.structureAtoms.push_back(MakeAtom("keep", 0, 0, 0));
    std::vector<DocMessage> messages;
    EXPECT_FALSE(Import(doc, text, messages));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].caption, kErrorCaption);
    EXPECT_NE(messages[0].text.find(expected), std::string::npos) << messages[0].text;
    // Nothing half-made.
    EXPECT_EQ(doc.a, 7.0);
    ASSERT_EQ(doc.structureAtoms.size(), 1u);
  }
}

TEST(CifImport, OpeningTellsCifFromStructureFiles) {
  TempDir dir;
  const std::string noExtension = dir.Write("zincite", Slurp(kCifDir + "wurtzite-ZnO.cif"));
  CKomorka doc;
  std::vector<DocMessage> messages;
  DocumentFormat format = DocumentFormat::kStructure;
  ASSERT_TRUE(OpenAnyStructure(doc, noExtension, Tables().elements, messages, &format)) << Texts(messages);
  EXPECT_EQ(format, DocumentFormat::kCif);
  EXPECT_FALSE(IsWritableFormat(format));
  ASSERT_TRUE(OpenAnyStructure(doc, PELMORA_EXAMPLES_DIR "/NaCl.xml", Tables().elements, messages, &format));
  EXPECT_EQ(format, DocumentFormat::kStructure);
}

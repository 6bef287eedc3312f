// CIF import: the same reflections as the structures typed by hand, the
// lattice types the symmetry gives, occupancies, and refused files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>

#include "ShippedTables.h"
#include "TestUtil.h"
#include "io/AtomicFile.h"
#include "documents/CifExport.h"
#include "documents/CifImport.h"
#include "documents/OpenStructure.h"
#include "documents/StructureFile.h"
#include "engine/CalcProgress.h"
#include "io/NumberFormat.h"
#include "refdata/ReferenceData.h"

using namespace pelmora;
using namespace pelmora::test;

namespace {

const std::string kCifDir = std::string(PELMORA_SOURCE_DIR) + "/tests/data/cif/";

const std::string kCell = "data_x\n_cell_length_a 4\n_cell_length_b 4\n_cell_length_c 4\n";
const std::string kAtoms = "loop_\n_atom_site_label\n_atom_site_fract_x\n_atom_site_fract_y\n_atom_site_fract_z\n";
const std::string kAniso =
    "loop_\n_atom_site_aniso_label\n_atom_site_aniso_U_11\n_atom_site_aniso_U_22\n_atom_site_aniso_U_33\n"
    "_atom_site_aniso_U_12\n_atom_site_aniso_U_13\n_atom_site_aniso_U_23\n";
const std::string kTypedAtoms =
    "loop_\n_atom_site_label\n_atom_site_type_symbol\n_atom_site_fract_x\n_atom_site_fract_y\n_atom_site_fract_z\n";

bool Import(CKomorka& doc, const std::string& text, std::vector<DocMessage>& messages,
            CifImportReport* report = nullptr) {
  return ImportCifText(doc, text, Tables().elements, messages, report);
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
    ASSERT_TRUE(Import(imported, ReadFile(kCifDir + c.cif), messages)) << Texts(messages);
    EXPECT_EQ(BravaisTable[static_cast<size_t>(imported.crystal.bravaisIndex)].type, c.lattice);
    EXPECT_EQ(imported.crystal.structureAtoms.size(), c.structureAtoms);
    EXPECT_EQ(imported.crystal.cellAtoms.size(), c.cellAtoms);
    // The typed files carry other tables' factors: give the imported atoms
    // the same ones, element by element.
    std::map<int, ScatteringFactors> byElement;
    for (const AtomSite& a : typed.crystal.structureAtoms) byElement.emplace(a.nr, a.factors());
    // With the group kept, the sites are what generates the atoms.
    EXPECT_FALSE(imported.crystal.spaceGroup.empty());
    for (auto* list : {&imported.crystal.structureAtoms, &imported.crystal.asymmetricUnit})
      for (AtomSite& a : *list) {
        ASSERT_TRUE(byElement.count(a.nr)) << a.name;
        a.factors() = byElement[a.nr];
        a.biso.reset();  // nor the displacements the CIF gives
      }
    imported.crystal.ExpandCellAtoms();
    Calculate(typed);
    Calculate(imported);
    // Coordinates of special positions differ in the sixth decimal.
    ExpectSameReflections(imported, typed, 1e-4);
  }
}

TEST(CifImport, FactorsFromTheTablesScaledByTheOccupancy) {
  const std::string full = ReadFile(kCifDir + "rutile.cif");
  std::string half = full;
  for (const char* row : {"Ti1 Ti4+ 0 0 0 1 ", "O1 O2- 0.30476(6) 0.30476(6) 0 1 "}) {
    std::string r = row, h = r.substr(0, r.size() - 2) + "0.5 ";
    half.replace(half.find(r), r.size(), h);
  }
  CKomorka whole, halved;
  std::vector<DocMessage> messages;
  CifImportReport report;
  ASSERT_TRUE(Import(whole, full, messages, &report));
  EXPECT_EQ(report.partialSites, 0);
  // U_iso given: each site's own B = 8 pi^2 U.
  EXPECT_EQ(report.displacementSites, 2);
  ASSERT_TRUE(whole.crystal.structureAtoms.front().biso.has_value());
  EXPECT_DOUBLE_EQ(*whole.crystal.structureAtoms.front().biso, 8 * M_PI * M_PI * 0.0063);

  // As the periodic-table dialog gives them: the tabulated ion, the natural
  // isotope mixture, no anomalous terms.
  const ElementTable& table = Tables().elements;
  const AtomSite& ti = whole.crystal.structureAtoms.front();
  const IonRecord& ion = table.Entry(22).ions[static_cast<size_t>(table.FindIon(22, 4))];
  EXPECT_EQ(std::tie(ti.name, ti.ionCharge, ti.isotopeMass), std::tuple("Ti+4", 4, 0));
  EXPECT_EQ(std::tie(ti.a1, ti.b4, ti.c, ti.fprim), std::tuple(ion.a1, ion.b4, ion.c, 0.0));
  EXPECT_EQ(ti.s, table.Entry(22).isotopes[static_cast<size_t>(table.FindIsotope(22, 0))].s);
  EXPECT_EQ(whole.crystal.structureAtoms.back().name, "O-2");

  messages.clear();
  ASSERT_TRUE(Import(halved, half, messages, &report));
  EXPECT_EQ(report.partialSites, 2);
  // The factors stay those of the whole atom; the occupancy is the site's.
  EXPECT_EQ(halved.crystal.structureAtoms.front().factors(), ti.factors());
  EXPECT_EQ(halved.crystal.structureAtoms.front().occupancy, 0.5);
  Calculate(whole);
  Calculate(halved);
  ExpectSameReflections(halved, whole, 1e-12, 0.25);

  // A charge the tables lack falls back to the neutral atom.
  CKomorka odd;
  ASSERT_TRUE(Import(odd, kCell + kTypedAtoms + "Fe1 Fe5+ 0 0 0\n", messages));
  EXPECT_EQ(std::tie(odd.crystal.structureAtoms[0].name, odd.crystal.structureAtoms[0].ionCharge), std::tuple("Fe", 0));

  // Deuterium, by type symbol or by label alone: hydrogen's X-ray factors
  // with the neutron scattering length of isotope 2; Dy stays dysprosium.
  CKomorka heavy, typed;
  ASSERT_TRUE(Import(heavy, kCell + kAtoms + "D1 0 0 0\nDy1 0.5 0.5 0.5\nH1 0.5 0 0\n", messages));
  ASSERT_TRUE(Import(typed, kCell + kTypedAtoms + "H5 D 0 0 0\n", messages));
  const double sD = 6.671;  // deuterium's coherent scattering length, fm
  for (const AtomSite* d : {&heavy.crystal.structureAtoms[0], &typed.crystal.structureAtoms[0]})
    EXPECT_EQ(std::tie(d->nr, d->isotopeMass, d->s, d->a1), std::tuple(1, 2, sD, heavy.crystal.structureAtoms[2].a1));
  EXPECT_EQ(std::tie(heavy.crystal.structureAtoms[1].nr, heavy.crystal.structureAtoms[2].isotopeMass), std::tuple(66, 0));
}

TEST(CifImport, BrokenFilesAreRefusedWithAMessage) {
  const std::string &cell = kCell, &atoms = kAtoms;
  std::string crowded = cell + "_symmetry_space_group_name_H-M 'P m -3 m'\n" + atoms;
  // 2084 sites on the general position, none an image of another (x, y and
  // z in ranges that no sign change or swap of coordinates maps into each
  // other): 48 x 2084 = 100 032 atoms.
  for (int i = 0; i < 2084; ++i)
    crowded += cformat("Si%d 0.%03d 0.%03d 0.%03d\n", i, 300 + 4 * (i % 41), 50 + 4 * (i / 41 % 41), 235 + 20 * (i / 1681));
  const std::pair<std::string, std::string> cases[] = {
      {"", "brak bloku danych"},
      {"data_x\n" + atoms + "Si 0 0 0\n", "brak komórki"},
      {cell, "brak atomów"},
      {cell + atoms + "Qq1 0 0 0\n", "nieznany pierwiastek w etykiecie \"Qq1\""},
      {cell + atoms + "Si ? 0 0\n", "nieczytelna współrzędna x (atom Si)"},
      // The parser's words follow a sentence of ours.
      {cell + "loop_\n_atom_site_label\n_atom_site_fract_x\nSi 0 0\n",
       "Plik CIF: błąd składni w wierszu 5: liczba wartości w pętli (loop_) nie jest wielokrotnością liczby jej pól "
       "(CIF:5:1: Wrong number of values in the loop)"},
      {cell + "_symmetry_cell_setting 'cubic\n" + atoms + "Si 0 0 0\n", "w wierszu 5: tekst w apostrofach nie jest zamknięty"},
      {cell + "_cell_length_a 5\n" + atoms + "Si 0 0 0\n", "w wierszu 5: znacznik powtarza się w bloku"},
      {cell + "_cell_angle_alpha 120\n_cell_angle_beta 120\n_cell_angle_gamma 120\n" + atoms + "Si 0 0 0\n",
       "kąty komórki"},
      {cell + "loop_\n_symmetry_equiv_pos_as_xyz\nx,y,z\n-y,x,z\n" + atoms + "Si 0 0 0\n", "nie tworzą grupy"},
      {cell + "loop_\n_symmetry_equiv_pos_as_xyz\nx,y,z\nx+y,y,z\n" + atoms + "Si 0 0 0\n",
       "nie jest krystalograficzny"},
      {cell + "_symmetry_space_group_name_H-M 'Q 9'\n" + atoms + "Si 0 0 0\n", "nieznany symbol grupy"},
      {crowded, "za dużo atomów"},
      // Displacements: below U = -0.01 Å² no rounding, and text that is no number.
      {cell + atoms + "_atom_site_U_iso_or_equiv\nSi 0 0 0 -0.011\n",
       "ujemny parametr drgań termicznych U = -0.011 (atom Si)"},
      {cell + atoms + "_atom_site_B_iso_or_equiv\nSi 0 0 0 -0.8\n", "ujemny parametr drgań termicznych B = -0.8"},
      {cell + atoms + "_atom_site_B_iso_or_equiv\nSi 0 0 0 0,5\n",
       "nieczytelny parametr drgań termicznych B = \"0,5\" (atom Si)"},
      {cell + atoms + "Si 0 0 0\n" + kAniso + "Si 0.01 0.01 abc 0 0 0\n",
       "nieczytelny anizotropowy parametr drgań termicznych \"abc\" (atom Si)"},
      {cell + atoms + "Si 0 0 0\n" + kAniso + "Si -0.02 -0.02 -0.02 0 0 0\n", "Ueq = -0.02 z parametrów"},
  };
  for (const auto& [text, expected] : cases) {
    SCOPED_TRACE(text);
    CKomorka doc;
    doc.cell.a = 7.0;
    doc.crystal.structureAtoms.push_back(MakeAtom("keep", 0, 0, 0));
    std::vector<DocMessage> messages;
    EXPECT_FALSE(Import(doc, text, messages));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].caption, kErrorCaption);
    EXPECT_NE(messages[0].text.find(expected), std::string::npos) << messages[0].text;
    EXPECT_EQ(std::tuple(doc.cell.a, doc.crystal.structureAtoms.size()), std::tuple(7.0, 1u));  // nothing half-made
  }
}

TEST(CifImport, OpeningTellsCifFromStructureFiles) {
  TempDir dir;
  const std::string noExtension = dir.Write("zincite", ReadFile(kCifDir + "wurtzite-ZnO.cif"));
  CKomorka doc;
  std::vector<DocMessage> messages;
  DocumentFormat format = DocumentFormat::kStructure;
  ASSERT_TRUE(OpenAnyStructure(doc, noExtension, Tables().elements, messages, &format)) << Texts(messages);
  EXPECT_EQ(format, DocumentFormat::kCif);
  EXPECT_FALSE(IsWritableFormat(format));
  ASSERT_TRUE(OpenAnyStructure(doc, PELMORA_EXAMPLES_DIR "/NaCl.xml", Tables().elements, messages, &format));
  EXPECT_EQ(format, DocumentFormat::kStructure);
  EXPECT_TRUE(messages.empty()) << Texts(messages);
  // A file that cannot be read says so, whatever its name promises.
  for (const char* name : {"missing.cif", "missing.xml", "missing"}) {
    messages.clear();
    EXPECT_FALSE(OpenAnyStructure(doc, dir.File(name), Tables().elements, messages));
    ASSERT_EQ(messages.size(), 1u) << name;
    EXPECT_EQ(messages[0].text, kCannotOpenFile) << name;
  }
}

TEST(CifImport, AFileOfSeveralBlocksIsReadFromTheOneChosen) {
  // A publication block without a cell, then two structures.
  const std::string text =
      "data_global\n_publ_section_title 'Two phases'\n"
      "data_NaCl\n_chemical_formula_sum 'Cl Na'\n_space_group_name_H-M_alt 'F m -3 m'\n"
      "_cell_length_a 5.64\n_cell_length_b 5.64\n_cell_length_c 5.64\n"
      "_cell_angle_alpha 90\n_cell_angle_beta 90\n_cell_angle_gamma 90\n"
      "loop_\n_symmetry_equiv_pos_as_xyz\nx,y,z\nx,y+1/2,z+1/2\nx+1/2,y,z+1/2\nx+1/2,y+1/2,z\n" +
      kTypedAtoms + "Na1 Na 0 0 0\nCl1 Cl 0.5 0.5 0.5\n"
      "data_Cu\n_chemical_formula_sum Cu\n_symmetry_space_group_name_H-M 'P 1'\n"
      "_cell_length_a 3.615\n_cell_length_b 3.7\n_cell_length_c 3.8\n_cell_angle_gamma 100\n" +
      kTypedAtoms + "Cu1 Cu 0 0 0\n";

  const std::vector<CifBlockInfo> listed = ListCifBlocks(text);
  ASSERT_EQ(listed.size(), 2u);
  EXPECT_EQ(std::tie(listed[0].name, listed[0].formula, listed[0].group, listed[0].cell[0]),
            std::tuple("NaCl", "Cl Na", "F m -3 m", 5.64));
  EXPECT_EQ(std::tie(listed[1].group, listed[1].cell[1], listed[1].cell[5]), std::tuple("P 1", 3.7, 100.0));
  EXPECT_TRUE(std::isnan(listed[1].cell[3]));  // alpha not given
  EXPECT_TRUE(ListCifBlocks("no CIF at all").empty());

  // By default the first block with atoms; a block by name in any case.
  CKomorka doc;
  std::vector<DocMessage> messages;
  CifImportReport report;
  ASSERT_TRUE(Import(doc, text, messages, &report)) << Texts(messages);
  EXPECT_EQ(std::tie(report.blockName, doc.cell.a), std::tuple("NaCl", 5.64));
  EXPECT_EQ(std::tuple(report.blocks.size(), doc.crystal.cellAtoms.size()), std::tuple(2u, 8u));
  ASSERT_TRUE(ImportCifText(doc, text, Tables().elements, messages, &report, "cu")) << Texts(messages);
  EXPECT_EQ(std::tie(report.blockName, doc.cell.b, doc.cell.gamma), std::tuple("Cu", 3.7, 100.0));
  ASSERT_EQ(doc.crystal.cellAtoms.size(), 1u);

  // A block that is not there, or holds no structure, is refused by name
  // and the document stays as it was.
  messages.clear();
  EXPECT_FALSE(ImportCifText(doc, text, Tables().elements, messages, &report, "KCl"));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_NE(messages[0].text.find("\"KCl\"; bloki pliku: \"NaCl\", \"Cu\""), std::string::npos) << messages[0].text;
  messages.clear();
  EXPECT_FALSE(ImportCifText(doc, text, Tables().elements, messages, &report, "global"));
  EXPECT_EQ(doc.cell.b, 3.7);

  // Opening the file: the blocks are listed before, the one asked for read.
  TempDir dir;
  const std::string path = dir.Write("two.cif", text);
  EXPECT_EQ(CifBlocksOfFile(path).size(), 2u);
  CifBlockChoice choice;
  choice.wanted = "Cu";
  DocumentFormat format{};
  CKomorka opened;
  ASSERT_TRUE(OpenAnyStructure(opened, path, Tables().elements, messages, &format, &choice));
  EXPECT_EQ(std::tuple(choice.read, opened.crystal.cellAtoms.size()), std::tuple("Cu", 1u));
}

TEST(CifImport, CoordinatesStandAsWrittenUnlessTheyRoundAFraction) {
  const std::pair<const char*, double> cases[] = {
      {"0.3333", 1.0 / 3},     {"0.66667", 2.0 / 3},  {".3333", 1.0 / 3},        {"-0.3333", -1.0 / 3},
      {"1.6667", 5.0 / 3},     {"0.20833", 5.0 / 24}, {"0.083", 1.0 / 12},       {"0.33", 1.0 / 3},
      {"0.208300", 0.2083},    {"0.2084", 0.2084},    {"0.333333", 0.333333},    {"0.3333(2)", 0.3333},
      {"0.292(1)", 0.292},     {"0.08", 0.08},        {"0.21", 0.21},            {"0.125", 0.125},
      {"0.13", 0.13},          {"3.333e-1", 0.3333},  {"0.5", 0.5},              {"0.3", 0.3},
  };
  for (const auto& [text, value] : cases) EXPECT_EQ(CifCoordinate(text), value) << text;
  EXPECT_TRUE(std::isnan(CifCoordinate("abc")));

}

TEST(CifImport, PositionsKeepTheirSymmetryThroughImportAndSaving) {
  // Beryl (P 6/m c c) with coordinates written to eight decimals, as some
  // programs write them: every image computed from the site as read.
  const std::string beryl =
      "data_beryl\n_cell_length_a 9.2088\n_cell_length_b 9.2088\n_cell_length_c 9.1896\n_cell_angle_gamma 120\n"
      "_symmetry_space_group_name_H-M 'P 6/m c c'\n" + kTypedAtoms +
      "Al1 Al 0.66666667 0.33333333 0.25\nBe1 Be 0.5 0 0.25\nSi1 Si 0.38753211 0.11592416 0\n"
      "O1 O 0.31012345 0.23654321 0\nO2 O 0.49876543 0.14567891 0.14532109\n";
  const std::string cod = ReadFile(kCifDir + "cod-1010541-beryl.cif");
  for (const std::string* text : {&beryl, &cod}) {
    CKomorka doc;
    std::vector<DocMessage> messages;
    ASSERT_TRUE(Import(doc, *text, messages)) << Texts(messages);
    ASSERT_EQ(doc.crystal.cellAtoms.size(), 58u);  // Be3Al2Si6O18, Z = 2
    // Saved and read back: within the 1e-12 the file keeps (the COD file's
    // 0.6667 is two thirds, written to twelve decimals; its images then
    // agree to 1e-11 in |F|^2, not to the last bit).
    CKomorka back;
    ASSERT_EQ(ReadStructureBytes(back, FormatStructureFile(doc), messages), StructureReadStatus::kOk);
    back.crystal.ExpandCellAtoms();
    for (size_t i = 0; i < doc.crystal.cellAtoms.size(); ++i) {
      const AtomSite &p = back.crystal.cellAtoms[i], &q = doc.crystal.cellAtoms[i];
      EXPECT_LT(std::max({std::fabs(p.x - q.x), std::fabs(p.y - q.y), std::fabs(p.z - q.z)}), 1e-12) << i;
    }
    // The twelve reflections that 6/mmm makes equivalent to (h k l), with
    // i = -h-k, have one |F|^2.
    for (const auto& [h, k, l] : {std::tuple(1, 0, 2), std::tuple(2, 1, 1), std::tuple(3, 1, 4), std::tuple(4, 2, 3)}) {
      const int i = -h - k;
      const std::pair<int, int> hk[] = {{h, k}, {k, i}, {i, h}, {k, h}, {h, i}, {i, k}};
      double re, im;
      const double want = back.StructureFactor(h, k, l, 0.3, 1.5406, re, im);
      for (const auto& [p, q] : hk)
        for (int m : {l, -l}) {
          SCOPED_TRACE(cformat("%d %d %d from %d %d %d", p, q, m, h, k, l));
          EXPECT_NEAR(back.StructureFactor(p, q, m, 0.3, 1.5406, re, im), want, 1e-10 * want);
        }
    }
  }
}

// Magnesite with C a hair off the origin: its images merge onto it at a
// rounding error below zero, O's images at 1 - 0.2394. Every cell atom in
// [0, 1), and the files written keep short coordinates, never -0, and the
// same bytes when read and written again.
TEST(CifImport, SitesMergedOntoTheOriginStayInTheCellAndWriteShort) {
  const std::string path = std::string(PELMORA_SOURCE_DIR) + "/tests/fuzz/regressions/cif/magnesite-site-beside-the-origin.cif";
  CKomorka doc;
  std::vector<DocMessage> messages;
  ASSERT_TRUE(Import(doc, ReadFile(path), messages)) << Texts(messages);
  // Mg and C twice; O as the file gives it (x, -x, 0) is a general position.
  ASSERT_EQ(doc.crystal.cellAtoms.size(), 16u);
  for (const AtomSite& a : doc.crystal.cellAtoms)
    for (double v : {a.x, a.y, a.z}) EXPECT_TRUE(v >= 0.0 && v < 1.0 && !std::signbit(v)) << a.name << " " << v;
  // The sites' own images too hold a whole 0, not the rounding error.
  for (const AtomSite& a : doc.crystal.structureAtoms)
    for (double v : {a.x, a.y, a.z}) EXPECT_TRUE(std::fabs(v) >= 1e-12 || (v == 0 && !std::signbit(v))) << a.name << " " << v;
  std::vector<DocMessage> notes;
  const std::string cif = FormatCif(doc, Tables().elements, notes);
  const std::string structure = FormatStructureFile(doc);
  for (const std::string* text : {&structure, &cif}) {
    EXPECT_EQ(text->find("-0.000000"), std::string::npos) << *text;
    EXPECT_EQ(text->find("9999999"), std::string::npos) << *text;
    EXPECT_EQ(text->find("0000000000"), std::string::npos) << *text;
  }
  EXPECT_NE(structure.find("<x>0.760600</x>"), std::string::npos) << structure;
  CKomorka back;
  ASSERT_EQ(ReadStructureBytes(back, structure, messages), StructureReadStatus::kOk);
  back.crystal.ExpandCellAtoms();
  EXPECT_EQ(FormatStructureFile(back), structure);
  ASSERT_EQ(back.crystal.cellAtoms.size(), doc.crystal.cellAtoms.size());
  for (size_t i = 0; i < doc.crystal.cellAtoms.size(); ++i) {
    const AtomSite &p = back.crystal.cellAtoms[i], &q = doc.crystal.cellAtoms[i];
    EXPECT_NEAR(std::fabs(p.x - q.x) + std::fabs(p.y - q.y) + std::fabs(p.z - q.z), 0.0, 3e-12) << i;
  }
}

TEST(CifImport, SpaceGroupSymbolsAsFilesSpellThem) {
  const std::string hexCell = "data_x\n_cell_length_a 5\n_cell_length_b 5\n_cell_length_c 13\n_cell_angle_gamma 120\n";
  const std::string rhombCell = "data_x\n_cell_length_a 5\n_cell_length_b 5\n_cell_length_c 5\n_cell_angle_alpha 55\n"
                                "_cell_angle_beta 55\n_cell_angle_gamma 55\n";
  const std::string sg = "_symmetry_space_group_name_H-M ";
  // Si at 0, 0, 0 is 8a (8 atoms) in the first origin of F d -3 m, 16c in
  // the second: the spelling decides, whatever fits the atoms better.
  const std::string si = kAtoms + "Si 0 0 0\n";
  struct Case {
    std::string text;
    LatticeType lattice;
    size_t cellAtoms;
  };
  const Case cases[] = {
      // NaCl: F centring, one atom per centring class; alpha-Fe's I from a Hall symbol.
      {kCell + sg + "'F m -3 m'\n" + kAtoms + "Na 0 0 0\nCl 0.5 0.5 0.5\n", kCubic | kFaceCentred, 8},
      {kCell + "_space_group_name_Hall '-I 4 2 3'\n" + kAtoms + "Fe 0 0 0\n", kCubic | kBodyCentred, 2},
      // A centring: primitive, every atom listed, the user's axes kept.
      {kCell + sg + "'A m m 2'\n" + kAtoms + "Si 0.1 0.2 0.3\n", kOrthorhombic, 8},
      {kCell + sg + "'F d -3 m S'\n" + si, kCubic | kFaceCentred, 8},
      {kCell + sg + "'F d -3 m Z'\n" + si, kCubic | kFaceCentred, 16},
      {kCell + sg + "'F d -3 m 2'\n" + si, kCubic | kFaceCentred, 16},
      {kCell + sg + "'F d -3 m (origin choice 2)'\n" + si, kCubic | kFaceCentred, 16},
      {kCell + sg + "'Fd-3m:2'\n" + si, kCubic | kFaceCentred, 16},
      {kCell + sg + "'F d 3 m origin choice 1'\n" + si, kCubic | kFaceCentred, 8},
      // P 4/n m m: (0, 0, 0) is 2a in both origins, (1/4, 1/4, 0) only in the second.
      {kCell + sg + "'P 4/n m m (origin choice 2)'\n" + kAtoms + "Si 0.25 0.25 0\n", kTetragonal, 2},
      {kCell + sg + "'P 4/n m m :1'\n" + kAtoms + "Si 0.25 0.25 0\n", kTetragonal, 4},
      {kCell + sg + "'P 4_2/m n m'\n" + kAtoms + "Si 0 0 0\n", kTetragonal, 2},
      {kCell + sg + "'I -4 2 d S'\n" + kAtoms + "Si 0 0 0\n", kTetragonal | kBodyCentred, 4},
      // A rhombohedral group without its axes: the cell tells them.
      {hexCell + sg + "'R -3 m'\n" + kAtoms + "Bi 0 0 0.4\n", kHexagonal, 6},
      {rhombCell + sg + "'R -3 m'\n" + kAtoms + "Bi 0.4 0.4 0.4\n", kRhombohedral, 2},
      {hexCell + sg + "'R -3 m H'\n" + kAtoms + "Bi 0 0 0.4\n", kHexagonal, 6},
      {rhombCell + sg + "'R -3 m R'\n" + kAtoms + "Bi 0.4 0.4 0.4\n", kRhombohedral, 2},
      {rhombCell + sg + "'R -3 m {rhombohedral axes}'\n" + kAtoms + "Bi 0.4 0.4 0.4\n", kRhombohedral, 2},
      {rhombCell + sg + "'R -3 m :R'\n" + kAtoms + "Bi 0.4 0.4 0.4\n", kRhombohedral, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    CKomorka doc;
    std::vector<DocMessage> messages;
    ASSERT_TRUE(Import(doc, c.text, messages)) << Texts(messages);
    EXPECT_EQ(doc.crystal.latticeType, c.lattice);
    EXPECT_EQ(doc.crystal.cellAtoms.size(), c.cellAtoms);
    // One structure atom per centring class.
    const LatticeType centring = c.lattice & kCentringMask;
    const size_t copies = centring == kFaceCentred ? 4 : centring ? 2 : 1;
    EXPECT_EQ(doc.crystal.structureAtoms.size() * copies, c.cellAtoms);
    EXPECT_TRUE(messages.empty()) << Texts(messages);  // the setting was named or is the only one
  }

  // A symbol naming no origin, atoms that give as many images in both: the
  // first origin, and the note says which was taken.
  {
    CKomorka doc;
    std::vector<DocMessage> messages;
    ASSERT_TRUE(Import(doc, kCell + sg + "'P 4/n m m'\n" + kAtoms + "Si 0.1 0.2 0.3\n", messages));
    EXPECT_EQ(doc.crystal.spaceGroup, "P 4/n m m:1");
    EXPECT_EQ(doc.crystal.cellAtoms.size(), 16u);
    EXPECT_NE(Texts(messages).find("przyjęto wariant 1"), std::string::npos) << Texts(messages);
  }

  // LiNbO3 as the COD gives it: "rhombohedral axes" beside a hexagonal cell
  // and hexagonal coordinates. The cell wins, and the user is told; cctbx
  // expands the sites in R 3 c :H to these 30 atoms.
  CKomorka doc;
  std::vector<DocMessage> messages;
  ASSERT_TRUE(Import(doc, ReadFile(kCifDir + "cod-2101182-LiNbO3.cif"), messages)) << Texts(messages);
  EXPECT_EQ(doc.crystal.latticeType, kHexagonal);
  ASSERT_EQ(doc.crystal.cellAtoms.size(), 30u);
  EXPECT_EQ(doc.crystal.cellAtoms[12].z, 1.0 / 12);  // O at z = .0833, the origin the authors fix
  EXPECT_NE(Texts(messages).find("przyjęto osie komórki"), std::string::npos) << Texts(messages);

  // A trigonal group beside a cell with gamma = 90 (as COD 5910041 has it):
  // read, with a word that the cell does not fit.
  CKomorka odd;
  messages.clear();
  ASSERT_TRUE(Import(odd, kCell + sg + "'P -3'\n" + kAtoms + "W1 0.3333 0.6667 0.25\n", messages));
  EXPECT_EQ(odd.crystal.latticeType, kHexagonal);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_NE(messages[0].text.find("(komórka heksagonalna)"), std::string::npos) << messages[0].text;
}

TEST(CifImport, RowsThatAreNoAtomsAndLabelsThatAreNoSymbols) {
  // The ICSD's row for hydrogen atoms it did not locate: left out, and said.
  CKomorka nh3;
  std::vector<DocMessage> messages;
  CifImportReport report;
  ASSERT_TRUE(Import(nh3, ReadFile(kCifDir + "cod-1010490-ammonia.cif"), messages, &report)) << Texts(messages);
  // N on 4a of P 21 3.
  EXPECT_EQ(std::tuple(nh3.crystal.cellAtoms.size(), report.dummySites, messages.size()), std::tuple(4u, 1, 1u));
  EXPECT_EQ(messages[0].caption, "Info");
  EXPECT_NE(messages[0].text.find("_atom_site_calc_flag dum"), std::string::npos);
  EXPECT_NE(messages[0].text.find("H1"), std::string::npos);

  // Labels alone: water labels are water oxygen and said so; "W", "W1",
  // "W2a" and "Wa1" stay tungsten, the last with a word, as of "HS1" read
  // as hassium; "O1", "O1W", "Ti2a" and "Cl3" are plain. The ICSD writes 0
  // as ".".
  CKomorka water;
  messages.clear();
  const std::vector<std::pair<std::string, int>> labels = {
      {"Wat1", 8}, {"WAT", 8}, {"wat2", 8}, {"HOH", 8}, {"OW", 8}, {"OW1", 8}, {"Ow2", 8}, {"O_W", 8},
      {"W", 74},   {"W1", 74}, {"W2a", 74}, {"Wa1", 74}, {"O1", 8}, {"O1W", 8}, {"Ti2a", 22}, {"Cl3", 17},
      {"NH4", 7},  {"HS1", 108}};
  std::string rows;
  for (size_t i = 0; i < labels.size(); ++i) rows += labels[i].first + cformat(" 0.%02zu 0.5 .\n", 2 * i + 1);
  ASSERT_TRUE(Import(water, kCell + kAtoms + rows, messages, &report)) << Texts(messages);
  ASSERT_EQ(water.crystal.structureAtoms.size(), labels.size());
  for (size_t i = 0; i < labels.size(); ++i) EXPECT_EQ(water.crystal.structureAtoms[i].nr, labels[i].second) << labels[i].first;
  EXPECT_EQ(water.crystal.structureAtoms[0].z, 0.0);
  EXPECT_EQ(water.crystal.structureAtoms[0].name, "O");
  EXPECT_EQ(water.crystal.latticeType, kTriclinic);  // no symmetry at all: P 1
  EXPECT_EQ(report.waterLabels, 8);
  EXPECT_EQ(report.labelElements, 3);
  // After the word that the file gives no symmetry.
  ASSERT_EQ(messages.size(), 3u) << Texts(messages);
  EXPECT_NE(messages[1].text.find("oznaczają cząsteczki wody; przyjęto dla nich tlen (O): Wat1, WAT, wat2, HOH, OW, "
                                  "OW1, Ow2, O_W."),
            std::string::npos)
      << messages[1].text;
  EXPECT_NE(messages[2].text.find("przyjęto: Wa1 → W (wolfram), NH4 → N"), std::string::npos) << messages[2].text;
  EXPECT_NE(messages[2].text.find("HS1 → Hs"), std::string::npos) << messages[2].text;
  for (const char* plain : {"W1", "W2a", "O1W", "Ti2a", "Cl3"}) EXPECT_EQ(messages[2].text.find(plain), std::string::npos) << plain;
  // A type symbol decides over a water label.
  CKomorka typedWater;
  ASSERT_TRUE(Import(typedWater, kCell + kTypedAtoms + "Wat1 W 0 0 0\n", messages, &report));
  EXPECT_EQ(std::tie(typedWater.crystal.structureAtoms[0].nr, report.waterLabels), std::tuple(74, 0));

  // Operators written with decimals ("z+.5") are read as fractions.
  CKomorka c2m;
  ASSERT_TRUE(Import(c2m, kCell + "_cell_angle_beta 100\nloop_\n_symmetry_equiv_pos_as_xyz\nx,y,z\n-x,y,-z\n-x,-y,-z\n"
                                  "x,-y,z\nx+.5,y+.5,z\n-x+0.5,y+0.50,-z\n-x+.5,-y+.5,-z\nx+0.5,-y+0.5,z\n" + kAtoms +
                                  "Si 0.1 0.2 0.3\n",
                     messages))
      << Texts(messages);
  EXPECT_EQ(c2m.crystal.latticeType, kMonoclinic | kBaseCentred);
  EXPECT_EQ(c2m.crystal.cellAtoms.size(), 8u);
}

TEST(CifImport, ASiteListedTwiceIsOneSite) {
  struct Case {
    std::string text;
    size_t cellAtoms;
    int duplicates;
  };
  const Case cases[] = {
      // The same place one cell further on.
      {kCell + kAtoms + "O1 0.6947 0.6947 0\nO2 -0.3053 -0.3053 0\n", 1, 1},
      // Either side of a cell edge: 0.0008 apart.
      {kCell + kAtoms + "O1 0.9996 0.3 0.2\nO2 0.0004 0.3 0.2\n", 1, 1},
      // Images of one site on the centre of symmetry at the edge merge too.
      {kCell + "_symmetry_space_group_name_H-M 'P -1'\n" + kAtoms + "O1 0.9996 0 0.5\n", 1, 0},
      // One an image of the other under the symmetry (P 42/m n m: -x, -y, z).
      {kCell + "_symmetry_space_group_name_H-M 'P 42/m n m'\n" + kAtoms + "O1 0.3053 0.3053 0\nO2 0.6947 0.6947 0\n",
       4, 1},
      // A mixed site: two elements share the place, occupancies adding to 1.
      {kCell + "loop_\n_atom_site_label\n_atom_site_fract_x\n_atom_site_fract_y\n_atom_site_fract_z\n"
               "_atom_site_occupancy\nFe1 0 0 0 0.5\nMg1 1 0 0 0.5\n",
       2, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    CKomorka doc;
    std::vector<DocMessage> messages;
    CifImportReport report;
    ASSERT_TRUE(Import(doc, c.text, messages, &report)) << Texts(messages);
    EXPECT_EQ(doc.crystal.cellAtoms.size(), c.cellAtoms);
    EXPECT_EQ(report.duplicateSites, c.duplicates);
    EXPECT_EQ(Texts(messages).find("dwukrotnie") != std::string::npos, c.duplicates > 0) << Texts(messages);
  }
  // A file that lists all 24 atoms of the cell beside the symbol P n m a:
  // the 128 atoms their images would make are the 24 of the cell.
  CKomorka cuso4;
  std::vector<DocMessage> messages;
  CifImportReport report;
  ASSERT_TRUE(Import(cuso4, ReadFile(kCifDir + "cod-5910168-CuSO4.cif"), messages, &report)) << Texts(messages);
  EXPECT_EQ(cuso4.crystal.cellAtoms.size(), 24u);
  EXPECT_EQ(report.duplicateSites, 19);
}

TEST(CifImport, DisplacementsPerSite) {
  // B given, U given, nothing given, and only anisotropic U in a monoclinic
  // cell, whose U_eq is 1/3 (U11 + U33 + 2 U13 cos beta) / sin^2 beta + U22 / 3.
  const std::string text = "data_x\n_cell_length_a 5\n_cell_length_b 6\n_cell_length_c 7\n_cell_angle_beta 110\n"
                           "loop_\n_atom_site_label\n_atom_site_fract_x\n_atom_site_fract_y\n_atom_site_fract_z\n"
                           "_atom_site_B_iso_or_equiv\n_atom_site_U_iso_or_equiv\n_atom_site_occupancy\n"
                           "Fe1 0 0 0 1.25 ? 1\nO1 0.5 0 0 ? 0.02 0.8\nO2 0 0.5 0 ? ? 1\nO3 0 0 0.5 ? ? 1\n"
                           "loop_\n_atom_site_aniso_label\n_atom_site_aniso_U_11\n_atom_site_aniso_U_22\n"
                           "_atom_site_aniso_U_33\n_atom_site_aniso_U_12\n_atom_site_aniso_U_13\n_atom_site_aniso_U_23\n"
                           "O3 0.010 0.020 0.030 0 0.004 0\n";
  CKomorka doc;
  std::vector<DocMessage> messages;
  CifImportReport report;
  ASSERT_TRUE(Import(doc, text, messages, &report)) << Texts(messages);
  ASSERT_EQ(doc.crystal.structureAtoms.size(), 4u);
  const double beta = 110 * M_PI / 180, s2 = std::sin(beta) * std::sin(beta);
  const double ueq = (0.010 + 0.030 + 2 * 0.004 * std::cos(beta)) / s2 / 3 + 0.020 / 3;
  const std::vector<AtomSite>& sites = doc.crystal.structureAtoms;
  EXPECT_EQ(std::tie(sites[0].biso, sites[1].occupancy, sites[2].biso), std::tuple(1.25, 0.8, std::nullopt));
  EXPECT_NEAR(sites[1].biso.value_or(-1), 8 * M_PI * M_PI * 0.02, 1e-12);
  EXPECT_NEAR(sites[3].biso.value_or(-1), 8 * M_PI * M_PI * ueq, 1e-12);
  EXPECT_EQ(std::tie(report.displacementSites, report.anisotropicSites), std::tuple(3, 1));
  EXPECT_NE(Texts(messages).find("równoważnymi izotropowymi"), std::string::npos) << Texts(messages);

  // Slightly below zero, as refinements publish them: B = 0 for the site,
  // named in a message; U_eq of the anisotropic ones likewise. 0 stays 0.
  const std::string negative = kCell + kAtoms +
                               "_atom_site_U_iso_or_equiv\n_atom_site_B_iso_or_equiv\n"
                               "Zr1 0 0 0 -0.001(2) ?\nO1 0.5 0 0 ? -0.5\nO2 0 0.5 0 ? 0\nO3 0 0 0.5 -0.01 ?\n"
                               "O4 0.5 0.5 0 ? ?\nO5 0.5 0 0.5 0.004 ?\n" + kAniso + "O4 -0.002 -0.001 0 0 0 0\n";
  CKomorka low;
  messages.clear();
  ASSERT_TRUE(Import(low, negative, messages, &report)) << Texts(messages);
  ASSERT_EQ(low.crystal.structureAtoms.size(), 6u);
  for (size_t i = 0; i < 5; ++i) EXPECT_EQ(low.crystal.structureAtoms[i].biso, std::optional<double>(0.0)) << i;
  EXPECT_NEAR(low.crystal.structureAtoms[5].biso.value_or(-1), 8 * M_PI * M_PI * 0.004, 1e-12);
  EXPECT_EQ(std::tie(report.displacementSites, report.anisotropicSites, report.zeroDisplacementSites),
            std::tuple(6, 1, 4));
  EXPECT_NE(Texts(messages).find("przyjęto jako B = 0 dla atomów: Zr1 (U = -0.001(2)), O1 (B = -0.5), "
                                 "O3 (U = -0.01), O4 (Ueq = -0.001)."),
            std::string::npos)
      << Texts(messages);
}

TEST(CifExport, WrittenCifReadsBackToTheSameStructure) {
  // Rutile by its group with a partly occupied site and B per site; Si as a
  // whole cell, whose group spglib finds; a cell without symmetry as P 1.
  CKomorka rutile, silicon;
  std::vector<DocMessage> messages;
  ASSERT_TRUE(OpenStructureDocument(rutile, PELMORA_EXAMPLES_DIR "/rutile-TiO2.xml", messages));
  ASSERT_TRUE(OpenStructureDocument(silicon, PELMORA_EXAMPLES_DIR "/Si.xml", messages));
  ASSERT_TRUE(rutile.SetSpaceGroup("P 42/m n m"));
  rutile.crystal.asymmetricUnit[1].occupancy = 0.875;
  rutile.crystal.asymmetricUnit[1].biso = 0.61;
  rutile.crystal.asymmetricUnit[0].biso = 0.39;
  rutile.crystal.ExpandCellAtoms();
  CKomorka skew;
  SetCell(skew.cell, 5, 6, 7, 80, 95, 100);
  skew.crystal.latticeType = kTriclinic;
  skew.crystal.structureAtoms = {MakeAtom("Si", 0.1, 0.2, 0.3), MakeAtom("O", 0.35, 0.1, 0.75)};
  skew.crystal.structureAtoms[0].nr = 14, skew.crystal.structureAtoms[1].nr = 8;
  skew.crystal.ExpandCellAtoms();

  const struct {
    CKomorka* doc;
    const char* group;
    size_t sites;
  } cases[] = {{&rutile, "P 42/m n m", 2}, {&silicon, "F d -3 m:1", 1}, {&skew, "", 2}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.group);
    std::vector<DocMessage> notes;
    const std::string cif = FormatCif(*c.doc, Tables().elements, notes);
    CKomorka back;
    back.experiment.ApplyValues(static_cast<const ExperimentValues&>(c.doc->experiment));
    ASSERT_TRUE(Import(back, cif, messages)) << Texts(messages) << cif;
    EXPECT_EQ(back.crystal.spaceGroup, c.group);
    EXPECT_EQ(back.crystal.cellAtoms.size(), c.doc->crystal.cellAtoms.size());
    const std::vector<AtomSite>& sites = back.crystal.spaceGroup.empty() ? back.crystal.structureAtoms : back.crystal.asymmetricUnit;
    ASSERT_EQ(sites.size(), c.sites);
    // The reference tables' factors for the written file's: the documents'
    // own, element by element.
    std::map<int, ScatteringFactors> byElement;
    for (const AtomSite& a : c.doc->crystal.cellAtoms) byElement.emplace(a.nr, a.factors());
    for (auto* list : {&back.crystal.structureAtoms, &back.crystal.asymmetricUnit})
      for (AtomSite& a : *list) a.factors() = byElement.at(a.nr);
    back.crystal.ExpandCellAtoms();
    Calculate(*c.doc);
    Calculate(back);
    ExpectSameReflections(back, *c.doc, 1e-12);
  }
  EXPECT_EQ(rutile.crystal.asymmetricUnit[1].occupancy, 0.875);

  // The group's Hall symbol; B a site's own, else the experiment's when its
  // temperature factor is on, else unknown.
  std::vector<DocMessage> notes;
  const std::string written = FormatCif(rutile, Tables().elements, notes);
  EXPECT_NE(written.find("_space_group_name_Hall '-P 4n 2n'\n"), std::string::npos) << written;
  EXPECT_NE(written.find(" 0.875 0.61\n"), std::string::npos) << written;
  for (const auto& [on, b, tail] : {std::tuple{0, 0.45, " 1 ?\n"}, {1, 0.45, " 1 0.45\n"}, {1, 0.0, " 1 0\n"}}) {
    silicon.experiment.IsDW = on;
    silicon.experiment.dwfactor = b;
    const std::string si = FormatCif(silicon, Tables().elements, notes);
    EXPECT_NE(si.find(std::string("Si1 Si 0.000000 0.000000 0.000000") + tail), std::string::npos) << si;
  }
}

TEST(CifExport, PositionsNearFractionsComeBackUnchanged) {
  // Refined positions near thirds, twelfths and twenty-fourths (ZrO2's Zr
  // at z = 0.2083), read from a CIF that writes six decimals, kept as a
  // structure file, written as a CIF and read again: the reader must not
  // take any of them for the fraction.
  const std::string cif = kCell + "_cell_angle_beta 99.23\n_symmetry_space_group_name_H-M 'P 1 21/c 1'\n" +
                          kTypedAtoms +
                          "Zr1 Zr4+ 0.275400 0.039500 0.208300\nO1 O2- 0.333300 0.666700 0.083300\n"
                          "O2 O2- 0.166700 0.416700 0.583300\nO3 O2- 0.330000 0.916700 0.291700\n";
  CKomorka first, saved, back;
  std::vector<DocMessage> messages;
  ASSERT_TRUE(Import(first, cif, messages)) << Texts(messages);
  ASSERT_EQ(ReadStructureBytes(saved, FormatStructureFile(first), messages), StructureReadStatus::kOk);
  saved.crystal.ExpandCellAtoms();
  std::vector<DocMessage> notes;
  const std::string written = FormatCif(saved, Tables().elements, notes);
  ASSERT_TRUE(Import(back, written, messages)) << Texts(messages) << written;
  EXPECT_NE(written.find("Zr1 Zr4+ 0.275400 0.039500 0.208300 "), std::string::npos) << written;
  ASSERT_EQ(back.crystal.spaceGroup, saved.crystal.spaceGroup);
  ASSERT_EQ(back.crystal.asymmetricUnit.size(), 4u);
  for (size_t i = 0; i < 4; ++i)
    EXPECT_EQ(std::tie(back.crystal.asymmetricUnit[i].x, back.crystal.asymmetricUnit[i].y, back.crystal.asymmetricUnit[i].z),
              std::tie(saved.crystal.asymmetricUnit[i].x, saved.crystal.asymmetricUnit[i].y, saved.crystal.asymmetricUnit[i].z));
  EXPECT_EQ(back.crystal.asymmetricUnit[0].z, 0.2083);
  Calculate(saved);
  Calculate(back);
  ASSERT_EQ(back.results.reflectionsAll.size(), saved.results.reflectionsAll.size());
  for (size_t i = 0; i < saved.results.reflectionsAll.size(); ++i) {
    const Reflection &t = saved.results.reflectionsAll[i], &m = back.results.reflectionsAll[i];
    EXPECT_EQ(std::tie(m.h, m.k, m.l, m.multiplicity, m.d, m.f2), std::tie(t.h, t.k, t.l, t.multiplicity, t.d, t.f2));
  }
}

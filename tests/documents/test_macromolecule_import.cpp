// PDB and mmCIF import: cell, group, sites with occupancy and B, fractional
// coordinates and |F|^2 against independent computations
// (tools/make_pdb_golden.py), the same structure from both formats, the
// way in through OpenAnyStructure, and refused files.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

#include <zlib.h>

#include "ShippedTables.h"
#include "TestUtil.h"
#include "documents/MacromoleculeImport.h"
#include "documents/OpenStructure.h"
#include "documents/StructureFile.h"
#include "io/AtomicFile.h"
#include "io/NumberFormat.h"
#include "refdata/ReferenceData.h"

using namespace pelmora;
using namespace pelmora::test;

namespace {

// A window reaching past 30 degrees comes down to low angles, with this note.
const std::string kWindowNote =
    "Info: Zakres kątów 2θ ustawiono na 1.0–30.0°, jak dla makrocząsteczek; zmienisz go w parametrach eksperymentu.\n";
// An atom of occupancy 0 scatters nothing: left out, and said so.
const std::string kEmptyNote = "Info: Pominięto atomy o obsadzeniu 0 (1): nie rozpraszają.\n";
// Every import of a model without solvent says how to add it.
const std::string kSolventNote =
    "Info: Model z pliku nie zawiera rozpuszczalnika: linie pod małymi kątami są liczone jak dla białka w próżni i "
    "wychodzą za silne. Poprawka na rozpuszczalnik (Babinet: k = 0.8, B = 200 Å²) jest na stronie eksperymentu "
    "(\"Rozpuszczalnik\"), w pelmora-cli --solvent.\n";

bool Import(CKomorka& doc, const std::string& text, bool mmcif, std::vector<DocMessage>& messages,
            MacromoleculeImportReport* report = nullptr) {
  return ImportMacromoleculeText(doc, text, mmcif, Tables().elements, messages, report);
}

// Orthorhombic, so that the fractional coordinates are x/a, y/b, z/c: an
// alternate conformation, an element column, an atom record of the files
// from before 1996 (the entry's code and a line number in columns 73-80),
// and an anisotropic record and SCALE/ORIGX records that change nothing.
const std::string kP212121 =
    "HEADER    TEST STRUCTURE                          01-JAN-00   1ABC\n"
    "CRYST1   20.000   25.000   40.000  90.00  90.00  90.00 P 21 21 21    4\n"
    "ORIGX1      1.000000  0.000000  0.000000        0.00000\n"
    "ORIGX2      0.000000  1.000000  0.000000        0.00000\n"
    "ORIGX3      0.000000  0.000000  1.000000        0.00000\n"
    "SCALE1      0.050000  0.000000  0.000000        0.00000\n"
    "SCALE2      0.000000  0.040000  0.000000        0.00000\n"
    "SCALE3      0.000000  0.000000  0.025000        0.00000\n"
    "ATOM      1  N   ALA A   1       2.000   5.000   4.000  1.00 11.00           N\n"
    "ANISOU    1  N   ALA A   1     1400   1300   1500     10     20     30       N\n"
    "ATOM      2  CA  ALA A   1       3.000   6.250   8.000  1.00 12.50      1ABC 187\n"
    "ATOM      3  CB AALA A   1       4.500   7.500  10.000  0.70 20.00           C\n"
    "ATOM      4  CB BALA A   1       5.000   8.000  12.000  0.30 25.00           C\n"
    "HETATM    5 ZN    ZN A 101      10.000  12.500  20.000  0.50  8.00          ZN2+\n"
    "HETATM    6  O   HOH A 201      -1.000  30.000  -4.000  1.00 30.00           O\n"
    "ATOM      7  OXT ALA A   1       6.000   9.000  14.000  0.00 40.00           O\n"
    "END\n";

// The same structure in mmCIF.
const std::string kP212121Mmcif =
    "data_1ABC\n"
    "_cell.length_a 20.000\n_cell.length_b 25.000\n_cell.length_c 40.000\n"
    "_cell.angle_alpha 90.00\n_cell.angle_beta 90.00\n_cell.angle_gamma 90.00\n"
    "_symmetry.space_group_name_H-M 'P 21 21 21'\n"
    "loop_\n_atom_site.group_PDB\n_atom_site.id\n_atom_site.type_symbol\n_atom_site.label_atom_id\n"
    "_atom_site.label_alt_id\n_atom_site.label_comp_id\n_atom_site.label_asym_id\n_atom_site.label_seq_id\n"
    "_atom_site.Cartn_x\n_atom_site.Cartn_y\n_atom_site.Cartn_z\n_atom_site.occupancy\n"
    "_atom_site.B_iso_or_equiv\n_atom_site.pdbx_formal_charge\n_atom_site.auth_seq_id\n"
    "_atom_site.auth_asym_id\n_atom_site.pdbx_PDB_model_num\n"
    "ATOM 1 N N . ALA A 1 2.000 5.000 4.000 1.00 11.00 ? 1 A 1\n"
    "ATOM 2 C CA . ALA A 1 3.000 6.250 8.000 1.00 12.50 ? 1 A 1\n"
    "ATOM 3 C CB A ALA A 1 4.500 7.500 10.000 0.70 20.00 ? 1 A 1\n"
    "ATOM 4 C CB B ALA A 1 5.000 8.000 12.000 0.30 25.00 ? 1 A 1\n"
    "HETATM 5 ZN ZN . ZN B . 10.000 12.500 20.000 0.50 8.00 2 101 A 1\n"
    "HETATM 6 O O . HOH C . -1.000 30.000 -4.000 1.00 30.00 ? 201 A 1\n"
    "ATOM 7 O OXT . ALA A 1 6.000 9.000 14.000 0.00 40.00 ? 1 A 1\n";

// The structure of tools/make_pdb_golden.py.
const std::string kMonoclinicPdb =
    "CRYST1    8.100    9.300   10.600  90.00 103.50  90.00 P 1 21 1      2\n"
    "ATOM      1  N   GLY A   1       1.234   2.345   3.456  1.00 12.50           N\n"
    "ATOM      2  CA  GLY A   1       2.456   1.987   4.321  1.00 14.20           C\n"
    "ATOM      6  H   GLY A   1       0.602   2.910   2.871  1.00 15.00           H\n"
    "ATOM      3  SD  MET A   2      -0.812   5.120   7.003  1.00 30.00           S\n"
    "ATOM      4  OG ASER A   3       4.410   6.650   1.210  0.60 18.00           O\n"
    "ATOM      5  OG BSER A   3       4.020   7.150   1.905  0.40 21.00           O\n"
    "HETATM    7 FE   HEM A   4       3.300   0.450   8.800  1.00  9.75          FE2+\n";

}  // namespace

TEST(MacromoleculeImport, CellGroupAndSitesOfAPdbFileAndTheSameFromMmcif) {
  CKomorka pdb;
  std::vector<DocMessage> messages;
  MacromoleculeImportReport report;
  pdb.experiment.angleMin = 5.0;
  pdb.experiment.angleMax = 150.0;
  ASSERT_TRUE(Import(pdb, kP212121, false, messages, &report)) << Texts(messages);
  // A small molecule's window would be millions of reflections: it comes down to low angles.
  EXPECT_EQ(Texts(messages), kEmptyNote + kWindowNote + kSolventNote);
  EXPECT_EQ(report.emptySites, 1);
  EXPECT_EQ(std::tie(pdb.experiment.angleMin, pdb.experiment.angleMax), std::make_tuple(1.0, 30.0));
  EXPECT_EQ(std::tie(pdb.cell.a, pdb.cell.b, pdb.cell.c, pdb.cell.alfa, pdb.cell.beta, pdb.cell.gamma),
            std::make_tuple(20.0, 25.0, 40.0, 90.0, 90.0, 90.0));
  EXPECT_EQ(pdb.crystal.spaceGroup, "P 21 21 21");
  EXPECT_EQ(pdb.crystal.latticeType, kOrthorhombic);
  EXPECT_EQ(std::tie(report.sites, report.partialSites, report.cellAtoms), std::tuple(6, 3, 24));
  EXPECT_EQ(pdb.crystal.cellAtoms.size(), 24u);

  struct Want {
    int nr, charge;
    double x, y, z, occupancy, b;
  };
  const Want want[] = {
      {7, 0, 0.1, 0.2, 0.1, 1.0, 11.0},     {6, 0, 0.15, 0.25, 0.2, 1.0, 12.5},
      {6, 0, 0.225, 0.3, 0.25, 0.7, 20.0},  {6, 0, 0.25, 0.32, 0.3, 0.3, 25.0},
      {30, 2, 0.5, 0.5, 0.5, 0.5, 8.0},     {8, 0, -0.05, 1.2, -0.1, 1.0, 30.0},
  };
  ASSERT_EQ(pdb.crystal.asymmetricUnit.size(), std::size(want));
  for (size_t i = 0; i < std::size(want); ++i) {
    SCOPED_TRACE(i);
    const AtomSite& s = pdb.crystal.asymmetricUnit[i];
    EXPECT_EQ(std::tie(s.nr, s.ionCharge, s.occupancy), std::tie(want[i].nr, want[i].charge, want[i].occupancy));
    EXPECT_LT(std::fabs(s.x - want[i].x) + std::fabs(s.y - want[i].y) + std::fabs(s.z - want[i].z), 1e-12);
    EXPECT_EQ(s.biso, std::optional<double>(want[i].b));
    EXPECT_GT(s.a1, 0.0);  // the factors of the tables
  }
  EXPECT_EQ(pdb.crystal.asymmetricUnit[4].name, "Zn+2");

  // SCALE records of another frame than the cell's standard one give the
  // fractional coordinates: here an origin shifted by 0.1 along a.
  std::string shifted = kP212121;
  const std::string scale1 = "SCALE1      0.050000  0.000000  0.000000        0.00000";
  shifted.replace(shifted.find(scale1), scale1.size(), "SCALE1      0.050000  0.000000  0.000000        0.10000");
  CKomorka moved;
  ASSERT_TRUE(Import(moved, shifted, false, messages)) << Texts(messages);
  for (size_t i = 0; i < std::size(want); ++i) {
    EXPECT_NEAR(moved.crystal.asymmetricUnit[i].x, want[i].x + 0.1, 1e-12) << i;
    EXPECT_NEAR(moved.crystal.asymmetricUnit[i].y, want[i].y, 1e-12) << i;
  }

  CKomorka mmcif;
  mmcif.experiment.angleMin = 1.0;
  mmcif.experiment.angleMax = 30.0;
  messages.clear();
  ASSERT_TRUE(IsMmcifText(kP212121Mmcif));
  ASSERT_TRUE(Import(mmcif, kP212121Mmcif, true, messages)) << Texts(messages);
  EXPECT_EQ(Texts(messages), kEmptyNote + kSolventNote);
  EXPECT_EQ(std::tie(mmcif.crystal.spaceGroup, mmcif.cell.a, mmcif.cell.b, mmcif.cell.c),
            std::tie(pdb.crystal.spaceGroup, pdb.cell.a, pdb.cell.b, pdb.cell.c));
  ASSERT_EQ(mmcif.crystal.cellAtoms.size(), pdb.crystal.cellAtoms.size());
  for (size_t i = 0; i < pdb.crystal.cellAtoms.size(); ++i) {
    const AtomSite &p = pdb.crystal.cellAtoms[i], &m = mmcif.crystal.cellAtoms[i];
    SCOPED_TRACE(i);
    EXPECT_EQ(std::tie(m.name, m.x, m.y, m.z, m.occupancy, m.biso), std::tie(p.name, p.x, p.y, p.z, p.occupancy, p.biso));
    EXPECT_TRUE(m.factors() == p.factors());
  }
  // Without the empty atom the structure still calculates.
  NullProgress none;
  ASSERT_EQ(mmcif.CalculateReflections(none), 0);
  EXPECT_GT(mmcif.results.count1(), 0);
}

TEST(MacromoleculeImport, FractionalCoordinatesAndStructureFactorsMatchIndependentCalculations) {
  // tools/make_pdb_golden.py: numpy for the coordinates, cctbx for |F|^2.
  const double fract[][3] = {
      {0.254779282887, 0.252150537634, 0.335302161255}, {0.431281520739, 0.213655913978, 0.419224721871},
      {0.159415570039, 0.312903225806, 0.278545285001}, {0.107317475289, 0.550537634409, 0.679433169928},
      {0.580308061542, 0.715053763441, 0.117394564560}, {0.552759263710, 0.768817204301, 0.184823673956},
      {0.668233713569, 0.048387096774, 0.853778651345},
  };
  const struct {
    int h, k, l;
    double d, f2;
  } golden[] = {
      {1, 0, 0, 7.87619635522, 534.514419294}, {0, 1, 1, 6.90477187458, 154.878811366},
      {1, 1, -1, 5.6483833706, 2840.79842212}, {2, 0, 1, 3.42201579137, 592.815986019},
      {1, 2, 3, 2.46678064604, 28.0186520596}, {-3, 1, 2, 2.5016657984, 834.893081323},
      {0, 4, 0, 2.325, 1050.99964647},         {2, 3, -4, 1.91342211027, 199.459174212},
  };
  CKomorka doc;
  std::vector<DocMessage> messages;
  ASSERT_TRUE(Import(doc, kMonoclinicPdb, false, messages)) << Texts(messages);
  EXPECT_EQ(std::tie(doc.crystal.spaceGroup, doc.crystal.latticeType), std::tuple("P 1 21 1", kMonoclinic));
  ASSERT_EQ(doc.crystal.asymmetricUnit.size(), std::size(fract));
  for (size_t i = 0; i < std::size(fract); ++i) {
    const AtomSite& s = doc.crystal.asymmetricUnit[i];
    EXPECT_LT(std::fabs(s.x - fract[i][0]) + std::fabs(s.y - fract[i][1]) + std::fabs(s.z - fract[i][2]), 1e-9) << i;
  }
  EXPECT_EQ(doc.crystal.asymmetricUnit.back().name, "Fe+2");
  EXPECT_EQ(doc.crystal.cellAtoms.size(), 14u);

  doc.experiment.radiation = 0;
  doc.experiment.lambda1 = 1.54059;
  doc.experiment.lambda2 = 0.0;
  for (const auto& g : golden) {
    SCOPED_TRACE(cformat("%d %d %d", g.h, g.k, g.l));
    const double theta = std::asin(doc.experiment.lambda1 / (2 * g.d));
    double re, im;
    // cctbx keeps the coefficients in single precision.
    EXPECT_NEAR(doc.StructureFactor(g.h, g.k, g.l, theta, doc.experiment.lambda1, re, im), g.f2, 1e-6 * g.f2);
  }
}

TEST(MacromoleculeImport, OccupancyOfAnAtomOnASymmetryAxisCountsItsImagesOnce) {
  // P 31 2 1: (x, 0, 1/3) lies on a twofold axis. A water given 0.50 there
  // is the PDB's whole atom; one given 0.80 is the site's own share.
  const std::string text =
      "CRYST1   50.000   50.000   60.000  90.00  90.00 120.00 P 31 2 1      6\n"
      "HETATM    1  O   HOH A   1      10.000   0.000  20.000  0.50 20.00           O\n"
      "HETATM    2  O   HOH A   2      20.000   0.000  20.000  0.80 20.00           O\n"
      "HETATM    3  O   HOH A   3       5.000   8.000  13.000  0.50 20.00           O\n";
  CKomorka doc;
  doc.experiment.angleMin = 2.0;
  doc.experiment.angleMax = 25.0;
  std::vector<DocMessage> messages;
  MacromoleculeImportReport report;
  ASSERT_TRUE(Import(doc, text, false, messages, &report)) << Texts(messages);
  EXPECT_EQ(std::tie(doc.experiment.angleMin, doc.experiment.angleMax), std::make_tuple(2.0, 25.0));
  EXPECT_EQ(doc.crystal.spaceGroup, "P 31 2 1");
  EXPECT_EQ(report.specialSites, 1);
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_NE(messages[0].text.find("HOH 1 O A (0.5 → 1)"), std::string::npos) << messages[0].text;
  const std::vector<AtomSite>& sites = doc.crystal.asymmetricUnit;
  EXPECT_EQ(std::tie(sites[0].occupancy, sites[1].occupancy, sites[2].occupancy), std::tuple(1.0, 0.8, 0.5));
  EXPECT_EQ(doc.crystal.cellAtoms.size(), 3u + 3u + 6u);
}

TEST(MacromoleculeImport, RefusesWhatGivesNoCrystalAndLeavesTheDocumentAlone) {
  const std::string kMmcifCell =
      "data_x\n_cell.length_a 10\n_cell.length_b 10\n_cell.length_c 10\n_cell.angle_alpha 90\n"
      "_cell.angle_beta 90\n_cell.angle_gamma 90\n_symmetry.space_group_name_H-M 'P 1'\n";
  const std::string kMmcifAtoms =
      "loop_\n_atom_site.group_PDB\n_atom_site.id\n_atom_site.type_symbol\n_atom_site.label_atom_id\n"
      "_atom_site.label_alt_id\n_atom_site.label_comp_id\n_atom_site.label_asym_id\n_atom_site.Cartn_x\n"
      "_atom_site.Cartn_y\n_atom_site.Cartn_z\n_atom_site.occupancy\n_atom_site.B_iso_or_equiv\n"
      "_atom_site.auth_seq_id\n";
  const std::string atom = "ATOM      1  CA  GLY A   1       1.000   2.000   3.000  1.00 10.00           C\n";
  const struct {
    std::string text;
    bool mmcif;
    const char* says;
  } cases[] = {
      {atom, false, "brak komórki elementarnej (rekordu CRYST1)"},
      {"CRYST1    1.000    1.000    1.000  90.00  90.00  90.00 P 1           1\nMODEL        1\n" + atom, false,
       "1 × 1 × 1 Å nie opisuje kryształu"},
      {"CRYST1   10.000   10.000   10.000  90.00  90.00  90.00 P 7 7 7       1\n" + atom, false,
       "nieznana grupa przestrzenna \"P 7 7 7\""},
      {"CRYST1   10.000   10.000   10.000  90.00  90.00  90.00 P 1           1\n", false,
       "brak atomów (rekordów ATOM i HETATM)"},
      {"CRYST1   10.000   10.000   10.000  90.00  90.00  90.00 P 1           1\nREMARK\n" + atom +
           "ATOM      2  XX  UNK A   1       1.000   2.000   3.000  1.00 10.00          XX\n",
       false, "nieznany pierwiastek \"XX\" (wiersz 4: atom 2 XX, UNK 1, łańcuch A)"},
      {"CRYST1   10.000   10.000   10.000  90.00  90.00  90.00 P 1           1\n"
       "ATOM      1  CA  GLY A   1       1.000   2.000   3.000  1.70 10.00           C\n",
       false, "nieprawidłowe obsadzenie 1.7 (wiersz 2: atom 1 CA, GLY 1, łańcuch A)"},
      {"CRYST1   10.000   10.000   10.000  90.00  90.00  90.00 P 1           1\nATOM      1  CA\n", false,
       "błąd w wierszu 2"},
      {"data_x\n_symmetry.space_group_name_H-M 'P 1'\n" + kMmcifAtoms + "ATOM 1 C CA . GLY A 1 2 3 1 10 1\n", true,
       "brak komórki elementarnej (_cell.length_a, _cell.length_b"},
      {kMmcifCell + kMmcifAtoms + "ATOM 1 C CA . GLY A 1 2 3 1 10 1\nHETATM 2 Qq QQ . UNK B 1 2 3 1 10 2\n", true,
       "nieznany pierwiastek \"Qq\" (wiersz 24: atom 2 QQ, UNK 2, łańcuch B)"},
      {kMmcifCell + "loop_\n_atom_site.id\n_atom_site.type_symbol\n_atom_site.Cartn_x\n_atom_site.Cartn_y\n"
       "_atom_site.Cartn_z\n1 C 1 2 3\n", true, "pętla atomów nie ma pól _atom_site.label_alt_id, "
       "_atom_site.label_asym_id, _atom_site.occupancy, _atom_site.B_iso_or_equiv, _atom_site.auth_seq_id, "
       "_atom_site.label_comp_id, _atom_site.label_atom_id"},
      {"data_x\nloop_\n_a\n_b\n1 2 3\n", true, "błąd składni w wierszu 2"},
      {std::string("\0\xff\x01garbage", 10), false, "brak komórki"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    CKomorka doc;
    doc.crystal.structureAtoms = {MakeAtom("Keep", 0.1, 0.2, 0.3)};
    doc.crystal.ExpandCellAtoms();
    std::vector<DocMessage> messages;
    EXPECT_FALSE(Import(doc, c.text, c.mmcif, messages));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].caption, "Błąd");
    EXPECT_NE(messages[0].text.find(c.says), std::string::npos) << messages[0].text;
    EXPECT_EQ(messages[0].text.rfind(c.mmcif ? "Plik mmCIF: " : "Plik PDB: ", 0), 0u);
    ASSERT_EQ(doc.crystal.structureAtoms.size(), 1u);
    EXPECT_EQ(std::tie(doc.crystal.structureAtoms[0].name, doc.crystal.spaceGroup), std::tuple("Keep", ""));
  }
}

TEST(MacromoleculeImport, OpenedByNameOrContentAndSmallMoleculeCifsKeepTheirReader) {
  TempDir dir;
  const auto write = [&](const std::string& name, const std::string& text) { return dir.Write(name, text); };
  for (const auto& [name, text] : {std::pair{"a.pdb", kP212121}, std::pair{"b.ENT", kP212121},
                                   std::pair{"noextension", kP212121}, std::pair{"c.cif", kP212121Mmcif}}) {
    SCOPED_TRACE(name);
    CKomorka doc;
    std::vector<DocMessage> messages;
    DocumentFormat format = DocumentFormat::kStructure;
    ASSERT_TRUE(OpenAnyStructure(doc, write(name, text), Tables().elements, messages, &format)) << Texts(messages);
    EXPECT_EQ(format, DocumentFormat::kMacromolecule);
    EXPECT_FALSE(IsWritableFormat(format));
    EXPECT_EQ(doc.crystal.cellAtoms.size(), 24u);
  }
  // Compressed with gzip, as the PDB's archive serves entries: read under
  // the name without ".gz"; damaged data refused.
  {
    const std::string packed = dir.File("1abc.pdb.gz");
    gzFile gz = gzopen(packed.c_str(), "wb");
    ASSERT_NE(gz, nullptr);
    gzwrite(gz, kP212121Mmcif.data(), static_cast<unsigned>(kP212121Mmcif.size()));
    gzclose(gz);
    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(packed, bytes));
    CKomorka doc;
    std::vector<DocMessage> messages;
    DocumentFormat format = DocumentFormat::kStructure;
    ASSERT_TRUE(OpenAnyStructure(doc, packed, Tables().elements, messages, &format)) << Texts(messages);
    EXPECT_EQ(format, DocumentFormat::kMacromolecule);
    EXPECT_EQ(doc.crystal.cellAtoms.size(), 24u);
    const std::string damaged = write("damaged.pdb.gz", bytes.substr(0, bytes.size() / 2));
    EXPECT_FALSE(OpenAnyStructure(doc, damaged, Tables().elements, messages));
    EXPECT_NE(Texts(messages).find("(gzip) jest uszkodzony"), std::string::npos);
  }
  // Without element tables no PDB is read.
  CKomorka doc;
  std::vector<DocMessage> messages;
  EXPECT_FALSE(OpenStructureDocument(doc, dir.File("a.pdb"), messages));

  EXPECT_TRUE(IsMmcifText("data_x\nloop_\n  _ATOM_SITE.CARTN_X") && LooksLikePdb("x", "\nCRYST1   10.000"));
  EXPECT_FALSE(IsMmcifText("data_x\nloop_\n_atom_site_label\n_atom_site_fract_x\n_atom_site_Cartn_x\n") ||
               IsMmcifText("data_x\nloop_\n_atom_site.fract_x\n  _atom_site.Cartn_x\n") ||
               LooksLikePdb("x.xml", "<?xml version=\"1.0\"?>\n<pelmora>") || LooksLikePdb("x.dat", "TolvoInputFile\n"));
}

// A SCALE record's shift that puts an atom on the cell's face a rounding
// error below it (z = 0.7 * 0.1 - 0.07): a whole 0, in the cell and in the
// file; the fuzzing input the first byte of which chooses the PDB reader.
TEST(MacromoleculeImport, AnAtomARoundingErrorBelowAFaceIsOnIt) {
  std::string text;
  ASSERT_TRUE(ReadWholeFile(std::string(PELMORA_SOURCE_DIR) +
                                "/tests/fuzz/regressions/macromolecule/scale-shift-onto-the-face.pdb",
                            text));
  CKomorka doc;
  std::vector<DocMessage> messages;
  ASSERT_TRUE(Import(doc, text.substr(1), false, messages)) << Texts(messages);
  ASSERT_EQ(doc.crystal.cellAtoms.size(), 1u);
  for (const AtomSite* a : {&doc.crystal.structureAtoms[0], &doc.crystal.cellAtoms[0]}) {
    EXPECT_NEAR(a->x, 0.2, 1e-15);
    EXPECT_TRUE(a->z == 0.0 && !std::signbit(a->z)) << a->z;
  }
  EXPECT_NE(FormatStructureFile(doc).find("<x>0.200000</x><y>0.300000</y><z>0.000000</z>"), std::string::npos);
}

TEST(MacromoleculeImport, RealEntriesOfPymolData) {
  const struct {
    const char* path;
    const char* group;
    double a, c;
    size_t sites, cellAtoms;
  } entries[] = {
      {"/usr/share/pymol/data/tut/1hpv.pdb", "P 61", 63.4, 83.8, 1631, 9786},
      {"/usr/share/pymol/data/demo/1tii.pdb", "P 31 2 1", 105.7, 171.6, 5684, 34104},
  };
  for (const auto& e : entries) {
    if (!std::ifstream(e.path)) GTEST_SKIP() << e.path << " absent (Debian's pymol-data)";
    SCOPED_TRACE(e.path);
    CKomorka doc;
    std::vector<DocMessage> messages;
    ASSERT_TRUE(OpenAnyStructure(doc, e.path, Tables().elements, messages)) << Texts(messages);
    EXPECT_EQ(Texts(messages), kWindowNote + kSolventNote);
    EXPECT_EQ(std::tie(doc.crystal.spaceGroup, doc.crystal.latticeType), std::tuple(e.group, kHexagonal));
    EXPECT_EQ(std::tie(doc.cell.a, doc.cell.b, doc.cell.c, doc.cell.gamma), std::make_tuple(e.a, e.a, e.c, 120.0));
    EXPECT_EQ(std::tuple(doc.crystal.asymmetricUnit.size(), doc.crystal.cellAtoms.size()), std::tie(e.sites, e.cellAtoms));
    EXPECT_EQ(doc.ValidateCalculation(), "");
    // Atoms whose Cartesian position lies on a cell face come out of the
    // fractionalisation a rounding error beside it (-4e-17): a whole 0 in
    // the lists and in the structure file.
    for (const std::vector<AtomSite>* list : {&doc.crystal.structureAtoms, &doc.crystal.cellAtoms})
      for (const AtomSite& a : *list)
        for (double v : {a.x, a.y, a.z}) ASSERT_TRUE(std::fabs(v) >= 1e-12 || (v == 0 && !std::signbit(v))) << v;
    for (const AtomSite& a : doc.crystal.cellAtoms)
      for (double v : {a.x, a.y, a.z}) ASSERT_TRUE(v >= 0 && v < 1) << v;
    EXPECT_EQ(FormatStructureFile(doc).find(">-0.000000<"), std::string::npos);
  }
}

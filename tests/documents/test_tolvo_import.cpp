#include <gtest/gtest.h>

#include <memory>

#include "TempDir.h"
#include "documents/StructureFile.h"
#include "documents/OpenStructure.h"
#include "documents/TolvoInputFile.h"

namespace pelmora {
namespace {

struct OldFile {
  std::string centring = "prosta";
  std::string angles = "90,90,90";
  std::string cell = "5.64,5.64,5.64";
  std::string radiation = "0";
  std::string count;  // empty: the number of atom lines
  std::vector<std::string> atoms;

  // Mode 2 and the extra line each carry numbers the reader must skip.
  std::string Text(const char* eol = "\r\n") const {
    std::vector<std::string> lines = {"TolvoInputFile", "NaCl", "# opis", "sól kamienna", "# centrowanie", centring,
        "# katy", angles, "# stale", cell, "# tryb", "2 0.5", "# promieniowanie", radiation, "# ekstra",
        "1 0.1 0.2 0.3", "# liczba atomow", count.empty() ? std::to_string(atoms.size()) : count, "# atomy"};
    lines.insert(lines.end(), atoms.begin(), atoms.end());
    std::string s;
    for (const std::string& line : lines) s += line + eol;
    return s;
  }
};

std::unique_ptr<CKomorka> Imported(const std::string& text) {
  auto doc = std::make_unique<CKomorka>();
  EXPECT_EQ(ImportTolvoText(*doc, text), ImportStatus::kOk);
  return doc;
}

std::string AtomLine(const std::string& name, double x, double y, double z) {
  return name + " " + std::to_string(x) + " " + std::to_string(y) + " " + std::to_string(z) +
         " 0.5 1.0369 11.7695 7.3573 3.5222 2.3045 4.7611 0.3072 15.3535 76.8805 9";
}

TEST(TolvoImport, FaceCentredCubicKeepsOneAtomPerSite) {
  OldFile f;
  f.centring = "powierzchniowo centrowana";
  for (const char* n : {"Na", "Na", "Na", "Na"}) f.atoms.push_back(AtomLine(n, 0, 0, 0));
  for (const char* n : {"Cl", "Cl", "Cl", "Cl"}) f.atoms.push_back(AtomLine(n, 0.5, 0.5, 0.5));
  f.atoms[4] = AtomLine("Cl", 0.1234567, 0.5, 0.5);
  const auto doc = Imported(f.Text());
  ASSERT_EQ(doc->crystal.structureAtoms.size(), 2u);
  // x printed with six decimals and read back.
  EXPECT_EQ(std::tie(doc->crystal.structureAtoms[0].name, doc->crystal.structureAtoms[1].name, doc->crystal.structureAtoms[1].x),
            std::tuple("Na", "Cl", 0.123457));
  // The factors in the line's order s, c, a1..a4, b1..b4, each the plain
  // single-precision value.
  const AtomSite& cl = doc->crystal.structureAtoms[1];
  const double want[] = {0.5f, 1.0369f, 11.7695f, 7.3573f, 3.5222f, 2.3045f, 4.7611f, 0.3072f, 15.3535f, 76.8805f};
  const double got[] = {cl.s, cl.c, cl.a1, cl.a2, cl.a3, cl.a4, cl.b1, cl.b2, cl.b3, cl.b4};
  for (int i = 0; i < 10; ++i) EXPECT_EQ(got[i], want[i]) << "factor " << i;
  EXPECT_EQ(std::tie(cl.fprim, cl.fbis), std::tuple(0.0, 0.0));  // the fourteenth number is not used
}

TEST(TolvoImport, TakesTheLastFourteenSitesAndAtMost99999Lines) {
  OldFile f;
  f.radiation = "1";
  for (int i = 0; i < 16; ++i) f.atoms.push_back(AtomLine("S" + std::to_string(i), i / 100.0, 0, 0));
  const auto doc = Imported(f.Text("\n"));
  ASSERT_EQ(doc->crystal.structureAtoms.size(), 14u);
  EXPECT_EQ(std::tie(doc->crystal.structureAtoms.front().name, doc->crystal.structureAtoms.back().name, doc->experiment.radiation),
            std::tuple("S2", "S15", 1));

  f.atoms.clear();
  for (int i = 0; i < 2500; ++i) f.atoms.push_back(AtomLine("A", i / 10000.0, 0, 0));
  const auto big = Imported(f.Text());
  ASSERT_EQ(big->crystal.structureAtoms.size(), 14u);
  EXPECT_EQ(big->crystal.structureAtoms.back().x, 0.2499);  // every line of a large cell is read
  for (int i = 2500; i < 100500; ++i) f.atoms.push_back(AtomLine("A", i / 100000.0, 0, 0));
  const auto huge = Imported(f.Text());
  ASSERT_EQ(huge->crystal.structureAtoms.size(), 14u);
  EXPECT_EQ(huge->crystal.structureAtoms.back().x, 0.99998);  // line 99 999 is the last one read
}

TEST(TolvoImport, LatticeFromTheCellAndTheCentringName) {
  struct Case {
    const char *angles, *cell, *centring;
    int index;
    LatticeType type;
  } cases[] = {
      {"90,90,90", "5.64,5.64,5.64", "powierzchniowo centrowana", 2, 17},
      {"90,90,120", "3.25,3.25,5.2", "cokolwiek", 13, 5},
      {"90,100,90", "3,4,5", "centrowana na podstawie", 10, 38},
      {"80,85,95", "3,4,5", "powierzchniowo centrowana", 11, 7},
      {"70,70,70", "3,3,3", "prosta", 12, 4},
      {"90,100,100", "3,4,5", "prosta", -1, 1},             // nothing fits: the type stays
      {"90,90,90", "3,3,3", "centrowana na podstawie", 0, 1},  // no such cubic lattice: unchanged
  };
  for (const Case& c : cases) {
    OldFile f;
    f.angles = c.angles;
    f.cell = c.cell;
    f.centring = c.centring;
    f.atoms.push_back(AtomLine("X", 0, 0, 0));
    const auto doc = Imported(f.Text());
    EXPECT_EQ(std::tie(doc->crystal.bravaisIndex, doc->crystal.latticeType), std::tie(c.index, c.type)) << c.angles << " " << c.centring;
  }
}

TEST(TolvoImport, MalformedFilesKeepInitialValuesAndAreRefusedByTheCalculation) {
  OldFile f;
  f.cell = "abc";
  f.angles = "80;70;60";  // the first is read, the rest keep the document's
  f.count = "-5";
  const auto doc = Imported(f.Text());
  EXPECT_EQ(std::tuple(doc->cell.a, doc->cell.alfa, doc->cell.beta, doc->crystal.structureAtoms.size()), std::tuple(0.0, 80.0, 90.0, 0u));
  EXPECT_FALSE(doc->ValidateCalculation().empty());

  // A file cut short inside the atoms still has N entries, unread ones empty.
  OldFile cut;
  cut.count = "3";
  cut.atoms = {"Fe 0.1 0.2"};
  const auto doc2 = Imported(cut.Text());
  ASSERT_EQ(doc2->crystal.structureAtoms.size(), 3u);
  EXPECT_EQ(std::tie(doc2->crystal.structureAtoms[0].name, doc2->crystal.structureAtoms[0].z, doc2->crystal.structureAtoms[2].name),
            std::tuple("Fe", 0.0, ""));

  // Names are cut at five characters, the rest left for the next read as scanf
  // leaves it; control characters, which no XML file can hold, become "?".
  OldFile names;
  names.atoms = {AtomLine("A\x01", 0, 0, 0), AtomLine("Abcdefg", 0, 0, 0), "H 0 0 0"};
  const auto doc3 = Imported(names.Text());
  ASSERT_EQ(doc3->crystal.structureAtoms.size(), 3u);
  EXPECT_EQ(std::tie(doc3->crystal.structureAtoms[0].name, doc3->crystal.structureAtoms[1].name, doc3->crystal.structureAtoms[2].name),
            std::tuple("A?", "Abcde", "fg"));

  for (const std::string& text : {std::string(), std::string("TolvoInputFile"), std::string(60, 'T')})
    EXPECT_EQ(ImportTolvoText(*doc, text), ImportStatus::kUnknownFormat) << text;  // the second lacks its line end
}

TEST(TolvoImport, OpeningADocumentFallsBackToTheImport) {
  testing::TempDir dir;
  OldFile f;
  f.atoms.push_back(AtomLine("\xA3\xB9", 0.25, 0, 0));
  std::vector<DocMessage> messages;
  CKomorka doc;
  DocumentFormat format = DocumentFormat::kStructure;
  ASSERT_TRUE(OpenStructureDocument(doc, dir.Write("old.dat", f.Text()), messages, &format));
  EXPECT_TRUE(messages.empty());
  // Only read: saving must go to a new name beside it.
  EXPECT_FALSE(IsWritableFormat(format));
  EXPECT_EQ(std::tuple(ImportedSaveName("/a.b/old"), ImportedSaveName("/a/.dat")), std::tuple("/a.b/old.xml", "/a/.dat.xml"));
  ASSERT_EQ(doc.crystal.cellAtoms.size(), 1u);
  EXPECT_EQ(doc.crystal.cellAtoms[0].name, "Łą");

  CKomorka other;
  EXPECT_FALSE(OpenStructureDocument(other, dir.Write("x.xml", "<?xml version=\"1.0\"?><inne/>"), messages));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, "Nieznany format pliku");
}

}  // namespace
}  // namespace pelmora

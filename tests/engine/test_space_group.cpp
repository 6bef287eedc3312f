// Structures by space group: the table's settings, the cell generated from
// an asymmetric unit against the same structures typed atom by atom, special
// positions, the group spglib finds, and the structure file's round trip.
#include <gtest/gtest.h>

#include <gemmi/symmetry.hpp>

#include <map>
#include <memory>
#include <set>

#include "TestUtil.h"
#include "documents/OpenStructure.h"
#include "documents/StructureFile.h"
#include "engine/CalcProgress.h"
#include "engine/SpaceGroup.h"
#include "io/NumberFormat.h"

using namespace pelmora;
using namespace pelmora::test;

namespace {

std::unique_ptr<CKomorka> OpenExample(const std::string& name) {
  return OpenDoc(std::string(PELMORA_EXAMPLES_DIR) + "/" + name);
}

}  // namespace

TEST(SpaceGroup, EverySettingExpandsAGeneralPositionToItsOrderAndGivesItsLatticeType) {
  const std::vector<SpaceGroupSetting>& table = SpaceGroupSettings();
  std::set<int> numbers;
  for (const SpaceGroupSetting& g : table) {
    SCOPED_TRACE(g.Name());
    numbers.insert(g.number);
    const gemmi::SpaceGroup* sg = gemmi::find_spacegroup_by_name(g.Name());
    ASSERT_NE(sg, nullptr);
    const gemmi::GroupOps ops = sg->operations();
    EXPECT_EQ(g.order, static_cast<int>(ops.sym_ops.size() * ops.cen_ops.size()));
    EXPECT_EQ(SiteMultiplicity(g, {0.1234, 0.2345, 0.3456}), g.order);
    // The system by the table's own word; trigonal groups are hexagonal
    // unless set on rhombohedral axes.
    using S = gemmi::CrystalSystem;
    const std::map<S, LatticeType> systems = {{S::Triclinic, kTriclinic},     {S::Monoclinic, kMonoclinic},
                                              {S::Orthorhombic, kOrthorhombic}, {S::Tetragonal, kTetragonal},
                                              {S::Hexagonal, kHexagonal},     {S::Cubic, kCubic}};
    const LatticeType want = sg->crystal_system() != S::Trigonal ? systems.at(sg->crystal_system())
                             : sg->ext == 'R'                    ? kRhombohedral
                                                                 : kHexagonal;
    const LatticeType type = LatticeTypeOf(g);
    EXPECT_EQ(type & kSystemMask, want);
    // The centring letter of the symbol, where the program has that lattice.
    const char letter = sg->ext == 'R' ? 'P' : g.hm[0];
    const LatticeType centring = type & kCentringMask;
    if (centring || letter == 'P') {
      EXPECT_EQ(letter, centring == kBodyCentred ? 'I' : centring == kFaceCentred ? 'F' : centring ? 'C' : 'P');
    }
    // Each setting is found by its own name and by its Hall symbol.
    ASSERT_TRUE(FindSpaceGroup(g.Name()));
    EXPECT_EQ(FindSpaceGroup(g.Name())->hall, g.hall);
    ASSERT_TRUE(FindSpaceGroup(g.hall));
    EXPECT_EQ(FindSpaceGroup(g.hall)->number, g.number);
  }
  EXPECT_EQ(numbers.size(), 230u);
  // As users type them.
  for (auto [typed, name] : {std::pair{"P42/mnm", "P 42/m n m"}, {"P 4_2/m n m", "P 42/m n m"}, {"136", "P 42/m n m"},
                              {"Fd-3m:2", "F d -3 m:2"}, {"P b n m", "P b n m"}})
    EXPECT_EQ(FindSpaceGroup(typed)->Name(), name) << typed;
  EXPECT_FALSE(FindSpaceGroup("P 5") || FindSpaceGroup("231"));
}

TEST(SpaceGroup, StructuresByGroupGiveTheReflectionsOfTheirWholeCells) {
  // The shipped full cells, reduced to their sites by the group and
  // generated again: the same reflections.
  const struct {
    const char* file;
    const char* group;
    size_t sites;
    double tolerance;
  } cases[] = {// The file writes 1/3 as 0.333333: its equivalent reflections differ
               // in the sixth digit, the group's images are exact.
               {"wurtzite-ZnO.xml", "P 63 m c", 2, 1e-4},
               {"rutile-TiO2.xml", "P 42/m n m", 2, 1e-9},
               {"NaCl.xml", "F m -3 m", 2, 1e-9},
               {"Si.xml", "F d -3 m:1", 1, 1e-9}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    std::unique_ptr<CKomorka> full = OpenExample(c.file), byGroup = OpenExample(c.file);
    const size_t cellAtoms = full->crystal.cellAtoms.size();
    ASSERT_TRUE(byGroup->SetSpaceGroup(c.group));
    EXPECT_EQ(byGroup->crystal.asymmetricUnit.size(), c.sites);
    EXPECT_EQ(byGroup->crystal.cellAtoms.size(), cellAtoms);
    Calculate(*full);
    Calculate(*byGroup);
    ExpectSameReflections(*byGroup, *full, c.tolerance);
    // Equivalent reflections (same d and nearly the same |F|^2) have one
    // |F|^2 to rounding, where the file's six decimals leave 1e-5.
    const std::vector<Reflection> r = byGroup->results.Line(1);
    for (size_t i = 1; i < r.size(); ++i)
      if (std::fabs(r[i].d - r[i - 1].d) < 1e-12 && std::fabs(r[i].f2 - r[i - 1].f2) < 1e-3 * r[i].f2) {
        EXPECT_NEAR(r[i].f2, r[i - 1].f2, 1e-11 * r[i].f2) << r[i].h << r[i].k << r[i].l;
      }
  }

  // Rutile typed as the two sites of P 42/m n m: Ti on 2a does not double.
  CKomorka typed;
  SetCell(typed.cell, 4.5937, 4.5937, 2.9587, 90, 90, 90);
  typed.crystal.spaceGroup = "P 42/m n m";
  typed.crystal.asymmetricUnit = {MakeAtom("Ti", 0, 0, 0), MakeAtom("O", 0.30476, 0.30476, 0)};
  typed.crystal.ExpandCellAtoms();
  EXPECT_EQ(typed.crystal.latticeType, kTetragonal);
  ASSERT_EQ(typed.crystal.cellAtoms.size(), 6u);
  const SpaceGroupSetting g = *FindSpaceGroup(typed.crystal.spaceGroup);
  EXPECT_EQ(SiteMultiplicity(g, {0, 0, 0}), 2);
  EXPECT_EQ(SiteMultiplicity(g, {0.30476, 0.30476, 0}), 4);
  const std::vector<char> letters = WyckoffLetters(g, typed.cell, typed.crystal.cellAtoms, 2);
  EXPECT_EQ(std::string(letters.begin(), letters.end()), "af");
  const std::vector<char> probed = WyckoffLettersByProbes(g, typed.cell, typed.crystal.cellAtoms, 2);
  EXPECT_EQ(std::string(probed.begin(), probed.end()), "af");

  // A rhombohedral structure on rhombohedral axes: Bi at (x, x, x) of R -3 m
  // against its two atoms typed by hand.
  CKomorka rhomb, handTyped;
  for (CKomorka* d : {&rhomb, &handTyped}) {
    SetCell(d->cell, 4.75, 4.75, 4.75, 57.2, 57.2, 57.2);
    d->crystal.latticeType = kRhombohedral;
  }
  rhomb.crystal.spaceGroup = "R -3 m:R";
  rhomb.crystal.asymmetricUnit = {MakeAtom("Bi", 0.2339, 0.2339, 0.2339)};
  rhomb.crystal.ExpandCellAtoms();
  handTyped.crystal.structureAtoms = {MakeAtom("Bi", 0.2339, 0.2339, 0.2339),
                                      MakeAtom("Bi", -0.2339, -0.2339, -0.2339)};
  handTyped.crystal.ExpandCellAtoms();
  EXPECT_EQ(rhomb.crystal.latticeType, kRhombohedral);
  ASSERT_EQ(rhomb.crystal.cellAtoms.size(), 2u);
  Calculate(rhomb);
  Calculate(handTyped);
  ExpectSameReflections(rhomb, handTyped, 1e-9);
}

TEST(SpaceGroup, SitesNearSpecialPositionsAreOfferedTheirFractionsNeverMoved) {
  const SpaceGroupSetting g = *FindSpaceGroup("P 63 m c");
  const auto near = NearSpecialPosition(g, {0.3333, 0.6667, 0.0});
  ASSERT_TRUE(near);
  EXPECT_EQ(*near, (std::array<double, 3>{1.0 / 3, 2.0 / 3, 0.0}));
  // Not for one on it already, nor for a general position.
  EXPECT_FALSE(NearSpecialPosition(g, {1.0 / 3, 2.0 / 3, 0.0}) || NearSpecialPosition(g, {0.1234, 0.3333, 0.2}));
  // The site typed as 0.3333 stays so in the document; its images merge.
  CKomorka doc;
  SetCell(doc.cell, 3.25, 3.25, 5.2, 90, 90, 120);
  doc.crystal.spaceGroup = g.Name();
  doc.crystal.asymmetricUnit = {MakeAtom("Zn", 0.3333, 0.6667, 0.0)};
  doc.crystal.ExpandCellAtoms();
  EXPECT_EQ(std::tuple(doc.crystal.asymmetricUnit[0].x, doc.crystal.cellAtoms.size(), SiteMultiplicity(g, {0.3333, 0.6667, 0.0})),
            std::tuple(0.3333, 2u, 2));
}

TEST(SpaceGroup, SpglibFindsTheGroupsOfTheShippedExamples) {
  const struct {
    const char* file;
    int number;
    size_t sites;
  } cases[] = {{"CsCl.xml", 221, 2}, {"NaCl.xml", 225, 2},        {"Si.xml", 227, 1},
               {"alpha-Fe.xml", 229, 1}, {"rutile-TiO2.xml", 136, 2}, {"wurtzite-ZnO.xml", 186, 2}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    std::unique_ptr<CKomorka> doc = OpenExample(c.file);
    const std::optional<FoundSymmetry> found = FindSymmetry(doc->cell, doc->crystal.cellAtoms, 1e-3);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->group.number, c.number);
    EXPECT_EQ(found->sites.size(), c.sites);
  }
  // Broken symmetry is not found: one atom moved by 0.05 angstrom.
  std::unique_ptr<CKomorka> doc = OpenExample("rutile-TiO2.xml");
  doc->crystal.cellAtoms.back().x += 0.05 / doc->cell.a;
  EXPECT_NE(FindSymmetry(doc->cell, doc->crystal.cellAtoms, 1e-3)->group.number, 136);
  EXPECT_EQ(FindSymmetry(doc->cell, doc->crystal.cellAtoms, 0.1)->group.number, 136);
}

TEST(SpaceGroup, FoundSymmetryAveragesADistortedCellAndSaysHowFarEachSiteWas) {
  // Rutile with every atom but the second Ti pushed a little off its place
  // (fractions of a, a, c). The golden values come from the site's images
  // worked out by hand: O at (x, x, 0) in P 42/m n m takes
  // x' = x + [(d1x + d1y) - (d2x + d2y) + (d3x - d3y) + (d4y - d4x)] / 8,
  // and Ti at 2a goes back to the origin.
  std::unique_ptr<CKomorka> doc = OpenExample("rutile-TiO2.xml");
  std::vector<AtomSite>& atoms = doc->crystal.cellAtoms;
  ASSERT_EQ(atoms.size(), 6u);
  ASSERT_NEAR(atoms[2].x, 0.30476, 1e-9);
  ASSERT_NEAR(atoms[4].x, 0.80476, 1e-9);
  const double shifts[6][3] = {{0.002, 0, 0.001},      {0, 0, 0},     {0.003, -0.001, 0.002},
                               {0.001, 0.002, 0}, {-0.002, 0.001, -0.001}, {0, 0.002, 0.001}};
  for (size_t i = 0; i < 6; ++i) {
    atoms[i].x += shifts[i][0];
    atoms[i].y += shifts[i][1];
    atoms[i].z += shifts[i][2];
  }
  const std::optional<FoundSymmetry> found = FindSymmetry(doc->cell, atoms, 0.1);
  ASSERT_TRUE(found);
  EXPECT_EQ(found->group.number, 136);
  ASSERT_EQ(found->sites.size(), 2u);
  ASSERT_EQ(found->deviations.size(), 2u);
  const AtomSite &ti = found->sites[0], &o = found->sites[1];
  EXPECT_EQ(std::tie(ti.name, o.name), std::tuple("Ti", "O"));
  // Not the first atom's place but the orbit's.
  for (double v : {ti.x, ti.y, ti.z}) EXPECT_NEAR(std::min(v, 1 - v), 0.0, 1e-9);
  EXPECT_LT(std::fabs(o.x - 0.30451) + std::fabs(o.y - 0.30451) + std::min(o.z, 1 - o.z), 1e-9);
  EXPECT_NEAR(found->deviations[0], 0.0096520580, 1e-8);
  EXPECT_NEAR(found->deviations[1], 0.0164248671, 1e-8);

  // The undistorted cell: the sites as they stand, no deviation.
  std::unique_ptr<CKomorka> exact = OpenExample("rutile-TiO2.xml");
  const std::optional<FoundSymmetry> same = FindSymmetry(exact->cell, exact->crystal.cellAtoms, 1e-3);
  ASSERT_TRUE(same);
  EXPECT_NEAR(same->sites[1].x, 0.30476, 1e-12);
  for (double d : same->deviations) EXPECT_LT(d, 1e-9);
}

TEST(SpaceGroup, StructureFileKeepsTheGroupTheSitesTheirOccupancyAndB) {
  std::unique_ptr<CKomorka> doc = OpenExample("rutile-TiO2.xml");
  ASSERT_TRUE(doc->SetSpaceGroup("P 42/m n m"));
  doc->crystal.asymmetricUnit[1].occupancy = 0.9;
  doc->crystal.asymmetricUnit[1].biso = 0.55;
  doc->crystal.asymmetricUnit[1].x = 0.3 + 0.00476;  // every digit must come back
  doc->crystal.ExpandCellAtoms();
  const std::string text = FormatStructureFile(*doc);
  EXPECT_NE(text.find("<spacegroup number=\"136\" hall=\"-P 4n 2n\">P 42/m n m</spacegroup>"), std::string::npos);
  CKomorka back;
  std::vector<DocMessage> messages;
  ASSERT_EQ(ReadStructureBytes(back, text, messages), StructureReadStatus::kOk);
  back.crystal.ExpandCellAtoms();
  ASSERT_EQ(back.crystal.asymmetricUnit.size(), 2u);
  const AtomSite& o = back.crystal.asymmetricUnit[1];
  EXPECT_EQ(std::tie(back.crystal.spaceGroup, o.x, o.occupancy, o.biso),
            std::tuple("P 42/m n m", 0.3 + 0.00476, 0.9, std::optional<double>(0.55)));
  EXPECT_EQ(back.crystal.cellAtoms.size(), 6u);
  EXPECT_EQ(FormatStructureFile(back), text);

  // Without the group the atoms stay as generated, each its own.
  ASSERT_TRUE(back.SetSpaceGroup(""));
  EXPECT_EQ(back.crystal.structureAtoms.size(), 6u);
  EXPECT_EQ(FormatStructureFile(back).find("<site"), std::string::npos);
  // A group the table does not know: the atoms as listed, and a message.
  std::string unknown = text;
  unknown.replace(unknown.find(">P 42/m n m<"), 12, ">P 4 7<");
  unknown.replace(unknown.find("-P 4n 2n"), 8, "xyz");
  CKomorka odd;
  messages.clear();
  ASSERT_EQ(ReadStructureBytes(odd, unknown, messages), StructureReadStatus::kOk);
  EXPECT_EQ(std::tuple(odd.crystal.spaceGroup, odd.crystal.structureAtoms.size(), messages.size()), std::tuple("", 6u, 1u));
}

TEST(SpaceGroup, WyckoffLettersOfACellTooLargeForOneSearch) {
  // F m -3 m: 4a, 8c, 24e and general positions (192l), 2148 atoms in all.
  CKomorka doc;
  SetCell(doc.cell, 30, 30, 30, 90, 90, 90);
  doc.crystal.spaceGroup = "F m -3 m";
  doc.crystal.asymmetricUnit = {MakeAtom("A", 0, 0, 0), MakeAtom("B", 0.25, 0.25, 0.25), MakeAtom("C", 0.2, 0, 0)};
  for (int i = 0; i < 10; ++i) doc.crystal.asymmetricUnit.push_back(MakeAtom("D", 0.311 + 0.007 * i, 0.061, 0.173));
  doc.crystal.ExpandCellAtoms();
  ASSERT_EQ(doc.crystal.cellAtoms.size(), 4u + 8u + 24u + 1920u);
  const SpaceGroupSetting g = *FindSpaceGroup(doc.crystal.spaceGroup);
  const std::vector<char> letters = WyckoffLetters(g, doc.cell, doc.crystal.cellAtoms, 13);
  EXPECT_EQ(std::string(letters.begin(), letters.end()), "acellllllllll");
}


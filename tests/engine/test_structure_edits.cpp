// The edit rules every front end goes through: the cell ties of each crystal
// system, the lattice and group changes, the sites' positions, the range and
// the source.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "TestUtil.h"
#include "engine/StructureEdits.h"

namespace pelmora {
namespace {

using test::MakeAtom;

TEST(StructureEdits, EachSystemTiesItsCellOneWay) {
  const CellConstants start = {5.0, 6.0, 7.0, 80.0, 85.0, 95.0};
  const struct {
    LatticeType type;
    char axis;
    CellConstants tied;
    std::array<bool, 6> free;
  } cases[] = {
      {kCubic | kFaceCentred, 'b', {5, 5, 5, 90, 90, 90}, {1, 0, 0, 0, 0, 0}},
      {kTetragonal, 'b', {5, 5, 7, 90, 90, 90}, {1, 0, 1, 0, 0, 0}},
      {kOrthorhombic | kBaseCentred, 'b', {5, 6, 7, 90, 90, 90}, {1, 1, 1, 0, 0, 0}},
      {kRhombohedral, 'b', {5, 5, 5, 80, 80, 80}, {1, 0, 0, 1, 0, 0}},
      // A hexagonal cell read with a != b is mended to a = b.
      {kHexagonal, 'b', {5, 5, 7, 90, 90, 120}, {1, 0, 1, 0, 0, 0}},
      {kMonoclinic, 'b', {5, 6, 7, 90, 85, 90}, {1, 1, 1, 0, 1, 0}},
      {kMonoclinic, 'c', {5, 6, 7, 90, 90, 95}, {1, 1, 1, 0, 0, 1}},
      {kMonoclinic, 'a', {5, 6, 7, 80, 90, 90}, {1, 1, 1, 1, 0, 0}},
      {kTriclinic, 'b', start, {1, 1, 1, 1, 1, 1}},
  };
  for (const auto& k : cases) {
    CellConstants c = start;
    TieCell(k.type, k.axis, c);
    EXPECT_EQ(c, k.tied) << k.type << k.axis;
    EXPECT_EQ(FreeCellConstants(k.type, k.axis), k.free) << k.type << k.axis;
  }
}

TEST(StructureEdits, CellConstantsKeepTheTiesOrAreRefused) {
  CKomorka doc;
  ASSERT_TRUE(SetLatticeType(doc, kCubic | kFaceCentred, SitesOnLatticeChange::kRefuse).ok());
  ASSERT_TRUE(SetCellConstant(doc, 0, 5.64).ok());
  EXPECT_EQ(ConstantsOf(doc.cell), (CellConstants{5.64, 5.64, 5.64, 90, 90, 90}));
  EXPECT_DOUBLE_EQ(doc.cell.CellVolume(), 5.64 * 5.64 * 5.64);  // the metric follows
  const EditResult b = SetCellConstant(doc, 1, 6.0);
  EXPECT_EQ(std::tie(b.status, b.other, doc.cell.b), std::tuple(EditStatus::kTiedConstant, 0, 5.64));
  EXPECT_TRUE(SetCellConstant(doc, 2, 5.64).ok());  // the value it has is no change
  EXPECT_EQ(SetCellConstant(doc, 3, 91.0).status, EditStatus::kTiedConstant);
  EXPECT_NE(RefusalText(SetCellConstant(doc, 4, 91.0), doc).find("beta is fixed at 90 degrees in a cubic cell"),
            std::string::npos);
  // A whole cell: tied values that disagree leave everything as it was.
  const EditResult whole = SetCell(doc, {6, 6, 6.5, 90, 90, 90});
  EXPECT_EQ(std::tie(whole.status, whole.index, doc.cell.c), std::tuple(EditStatus::kTiesBroken, 2, 5.64));
  EXPECT_TRUE(SetCell(doc, {6, 6, 6, 90, 90, 90}).ok());
  EXPECT_EQ(SetCellConstant(doc, 0, NAN).status, EditStatus::kNotFinite);

  // A monoclinic group on the c axis frees gamma and ties beta.
  CKomorka mono;
  ASSERT_TRUE(SetSpaceGroup(mono, "P 1 1 21/b").ok());
  ASSERT_EQ(UniqueAxisOf(mono.crystal), 'c');
  EXPECT_TRUE(SetCellConstant(mono, 5, 104.0).ok());
  EXPECT_EQ(SetCellConstant(mono, 4, 104.0).status, EditStatus::kTiedConstant);
  EXPECT_EQ(mono.cell.gamma, 104.0);
  // Choosing a group on the b axis keeps the cell's beta; a number takes the
  // group's first setting (origin choice 1, hexagonal axes).
  CKomorka p21c;
  ASSERT_TRUE(SetLatticeType(p21c, kMonoclinic, SitesOnLatticeChange::kRefuse).ok());
  ASSERT_TRUE(SetCell(p21c, {5, 6, 7, 90, 104, 90}).ok());
  ASSERT_TRUE(SetSpaceGroup(p21c, "P 1 21/c 1").ok());
  EXPECT_EQ(ConstantsOf(p21c.cell), (CellConstants{5, 6, 7, 90, 104, 90}));
  for (const auto& [number, name] : {std::pair{"14", "P 1 21/c 1"}, {"227", "F d -3 m:1"}, {"166", "R -3 m:H"},
                                     {"68", "C c c a:1"}, {"5", "C 1 2 1"}}) {
    ASSERT_TRUE(SetSpaceGroup(p21c, number).ok()) << number;
    EXPECT_EQ(p21c.crystal.spaceGroup, name);
  }
}

TEST(StructureEdits, LatticeAndGroupChangesKeepTheSitesUnlessAllowed) {
  CKomorka doc;
  ASSERT_TRUE(AddSite(doc.crystal, MakeAtom("Na", 0, 0, 0)).ok());
  ASSERT_TRUE(AddSite(doc.crystal, MakeAtom("Cl", 0.5, 0, 0)).ok());
  EXPECT_EQ(SetLatticeType(doc, kTetragonal, SitesOnLatticeChange::kRefuse).status, EditStatus::kSitesPresent);
  EXPECT_EQ(SetLatticeType(doc, 12345, SitesOnLatticeChange::kClear).status, EditStatus::kNoLatticeType);
  EXPECT_EQ(std::tuple(doc.crystal.structureAtoms.size(), doc.crystal.latticeType), std::tuple(2u, kCubic));
  // Each system the refusal lists is a name the lattice type is read by.
  const std::string names = LatticeNamesText();
  const std::string systems = names.substr(9, names.find(';') - 9);
  for (size_t at = 0; at < systems.size();) {
    const size_t end = std::min(systems.find(", ", at), systems.size());
    EXPECT_NE(LatticeTypeFromNames(systems.substr(at, end - at), "P"), 0) << systems.substr(at, end - at);
    at = end + 2;
  }
  ASSERT_TRUE(SetLatticeType(doc, kOrthorhombic | kBaseCentred, SitesOnLatticeChange::kClear).ok());
  EXPECT_TRUE(doc.crystal.structureAtoms.empty() && doc.crystal.cellAtoms.empty());
  EXPECT_EQ(doc.crystal.bravaisIndex, 7);
  EXPECT_EQ(BravaisTable[7].centringName, "centrowana na podstawie");
  // Either language's name; no cubic C Bravais lattice.
  for (auto [system, letter, type] : {std::tuple{"orthorhombic", "C", kOrthorhombic | kBaseCentred},
                                      {"rombowa", "C", kOrthorhombic | kBaseCentred}, {"cubic", "C", 0u}, {"cubic", "X", 0u}})
    EXPECT_EQ(LatticeTypeFromNames(system, letter), type) << system << letter;

  ASSERT_TRUE(SetSpaceGroup(doc, "225").ok());
  EXPECT_EQ(doc.crystal.latticeType, kCubic | kFaceCentred);
  EXPECT_EQ(SetLatticeType(doc, kCubic, SitesOnLatticeChange::kClear).status, EditStatus::kGroupDecides);
  EXPECT_EQ(SetSpaceGroup(doc, "P 99 q").status, EditStatus::kUnknownGroup);
  EXPECT_EQ(doc.crystal.spaceGroup, "F m -3 m");
}

TEST(StructureEdits, OneSiteStandsOnOnePosition) {
  CKomorka doc;
  ASSERT_TRUE(SetLatticeType(doc, kCubic | kFaceCentred, SitesOnLatticeChange::kClear).ok());
  ASSERT_TRUE(AddSite(doc.crystal, MakeAtom("Na", 0, 0, 0)).ok());
  ASSERT_TRUE(AddSite(doc.crystal, MakeAtom("Cl", 0.5, 0, 0)).ok());
  // A whole translation and a centring vector away: the same sites.
  EXPECT_EQ(AddSite(doc.crystal, MakeAtom("X", 1.0, -1.0, 0)).status, EditStatus::kSiteOccupied);
  const EditResult centred = AddSite(doc.crystal, MakeAtom("X", 0.5, 0.5, 0.5));
  EXPECT_EQ(std::tuple(centred.status, centred.index, doc.crystal.structureAtoms.size()),
            std::tuple(EditStatus::kSiteOccupied, 1, 2u));
  // Moving Cl onto Na is refused; a new occupancy in its place is not.
  EXPECT_EQ(ReplaceSite(doc.crystal, 1, MakeAtom("Cl", 0.5, 0.5, 0)).status, EditStatus::kSiteOccupied);
  AtomSite half = doc.crystal.structureAtoms[1];
  half.occupancy = 0.5;
  ASSERT_TRUE(ReplaceSite(doc.crystal, 1, half).ok());
  EXPECT_EQ(std::tuple(doc.crystal.cellAtoms.size(), doc.crystal.cellAtoms[4].occupancy), std::tuple(8u, 0.5));
  half.occupancy = 0.0;
  EXPECT_EQ(ReplaceSite(doc.crystal, 1, half).status, EditStatus::kBadSiteValue);
  EXPECT_EQ(ReplaceSite(doc.crystal, 7, half).status, EditStatus::kNoSite);
  // A whole list with two sites on one position leaves the old list.
  const EditResult twice = ReplaceSites(doc.crystal, {MakeAtom("A", 0.25, 0.25, 0.25), MakeAtom("B", 0.75, 0.75, 0.25)});
  EXPECT_EQ(std::tie(twice.status, twice.other, doc.crystal.structureAtoms[0].name),
            std::tuple(EditStatus::kSiteOccupied, 1, "Na"));

  // With a group the images of the sites are taken too.
  CKomorka rutile;
  ASSERT_TRUE(SetSpaceGroup(rutile, "P 42/m n m").ok());
  ASSERT_TRUE(AddSite(rutile.crystal, MakeAtom("O", 0.3053, 0.3053, 0)).ok());
  EXPECT_EQ(AddSite(rutile.crystal, MakeAtom("O2", 0.1947, 0.8053, 0.5)).status, EditStatus::kSiteOccupied);
  EXPECT_EQ(rutile.crystal.asymmetricUnit.size(), 1u);

  // The cell's capacity counts the centring copies.
  CKomorka full;
  ASSERT_TRUE(SetLatticeType(full, kCubic | kFaceCentred, SitesOnLatticeChange::kClear).ok());
  std::vector<AtomSite> many;
  // Points of a 1/31 grid: no two are one site under the F centring.
  for (int i = 0; i <= Crystal::kMaxAtoms / 4; ++i)
    many.push_back(MakeAtom("C", (i % 31) / 31.0, (i / 31 % 31) / 31.0, (i / 961) / 31.0));
  EXPECT_EQ(ReplaceSites(full.crystal, {many.begin(), many.begin() + 20000}).status, EditStatus::kDone);
  EXPECT_EQ(ReplaceSites(full.crystal, many).status, EditStatus::kOverCapacity);
  EXPECT_EQ(full.crystal.structureAtoms.size(), 20000u);
}

TEST(StructureEdits, RangeAndSourceByTheSameRules) {
  CKomorka doc;
  EditResult r = SetAngleRange(doc.experiment, -10, 200);
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(std::tuple(r.clamped, doc.experiment.angleMin, doc.experiment.angleMax, EditNotes(r, doc).size()),
            std::tuple(true, 0.0, 180.0, 1u));
  EXPECT_EQ(SetAngleRange(doc.experiment, 150, 20).status, EditStatus::kEmptyRange);
  EXPECT_EQ(SetAngleRange(doc.experiment, 190, 200).status, EditStatus::kEmptyRange);  // nothing left of it
  EXPECT_EQ(SetAngleRange(doc.experiment, NAN, 20).status, EditStatus::kNotFinite);
  EXPECT_EQ(doc.experiment.angleMax, 180.0);
  EXPECT_FALSE(SetAngleRange(doc.experiment, 20, 80).clamped);

  // f' and f'' taken at Cu K alpha are stale under Mo K alpha, and fresh
  // again back at copper.
  AtomSite cu = MakeAtom("Cu", 0, 0, 0);
  cu.fprim = -2.0, cu.fbis = 0.6;
  ASSERT_TRUE(AddSite(doc.crystal, cu).ok());
  EXPECT_FALSE(SetSource(doc, {1.54059, 1.54443, 0.5, "Cu", 0}).anomalStale);
  r = SetSource(doc, {0.70932, 0.71361, 0.5, "Mo", 0});
  EXPECT_EQ(std::tie(r.anomalStale, doc.experiment.lambda2), std::tuple(true, 0.71361));
  EXPECT_NE(EditNotes(r, doc).back().find("lambda = 1.54059"), std::string::npos);
  EXPECT_FALSE(SetWavelengths(doc, {1.54059, 1.54443, 0.5}).anomalStale);
  // Neutrons have no anomalous terms to be stale.
  EXPECT_FALSE(SetSource(doc, {1.9, 0, 0, "D2B", 1}).anomalStale);
  // The radiation alone switches with the source's wavelengths and name kept.
  r = SetRadiation(doc, 0);
  EXPECT_EQ(std::tie(r.anomalStale, doc.experiment.radiation, doc.experiment.lambda1, doc.experiment.sourceName),
            std::tuple(true, 0, 1.9, "D2B"));
  ASSERT_TRUE(SetRadiation(doc, 1).ok());
  ASSERT_TRUE(SetLatticeType(doc, kCubic, SitesOnLatticeChange::kClear).ok());
  EXPECT_FALSE(SetSource(doc, {0.70932, 0.71361, 0.5, "Mo", 0}).anomalStale);  // no terms at all
}

}  // namespace
}  // namespace pelmora

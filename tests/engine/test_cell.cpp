// Cell metric, centring expansion and the small document operations.
#include <gtest/gtest.h>

#include <cmath>

#include "TestUtil.h"
#include "engine/Komorka.h"
#include "engine/Validation.h"

using namespace pelmora;
using namespace pelmora::test;

TEST(CellMetric, DSpacingOfEveryCrystalSystemMatchesTheMetricTensor) {
  const struct {
    const char* system;
    double a, b, c, al, be, ga;
  } cells[] = {
      {"cubic", 5.43, 5.43, 5.43, 90, 90, 90},          {"tetragonal", 4.59, 4.59, 2.96, 90, 90, 90},
      {"orthorhombic", 5.1, 7.3, 9.8, 90, 90, 90},      {"hexagonal", 3.25, 3.25, 5.21, 90, 90, 120},
      {"rhombohedral", 5.0, 5.0, 5.0, 77.5, 77.5, 77.5}, {"monoclinic", 6.2, 4.8, 7.7, 90, 103.4, 90},
      {"triclinic", 5.5, 6.6, 7.7, 81.0, 95.5, 107.2},
  };
  for (const auto& cell : cells) {
    CKomorka doc;
    SetCell(doc.cell, cell.a, cell.b, cell.c, cell.al, cell.be, cell.ga);
    doc.cell.RefreshCellMetric();
    for (int h = -3; h <= 3; ++h)
      for (int k = -3; k <= 3; ++k)
        for (int l = -3; l <= 3; ++l) {
          if (!h && !k && !l) continue;
          const double ref = ReferenceD(cell.a, cell.b, cell.c, cell.al, cell.be, cell.ga, h, k, l);
          ASSERT_NEAR(doc.cell.DSpacing(h, k, l), ref, 1e-11 * ref) << cell.system << " " << h << k << l;
        }
  }
  // Right angles give exact zeros and ones, not cos(pi/2) ~ 6e-17.
  CKomorka right;
  SetCell(right.cell, 3.0, 4.0, 5.0, 90.0, 90.0, 90.0);
  right.cell.RefreshCellMetric();
  EXPECT_EQ(std::tuple(right.cell.cosAlfa, right.cell.sinBeta, right.cell.CellVolume()), std::tuple(0.0, 1.0, 60.0));
  CKomorka hex;
  SetCell(hex.cell, 3.0, 3.0, 5.0, 90, 90, 120);
  hex.cell.RefreshCellMetric();
  EXPECT_NEAR(hex.cell.CellVolume(), 9.0 * 5.0 * std::sqrt(3.0) / 2.0, 1e-12);
}

TEST(Centring, ExpansionShiftsAndReducesCoordinates) {
  CKomorka doc;
  doc.crystal.latticeType = kCubic | kFaceCentred;
  for (double x : {0.0, 0.75, 0.1}) doc.crystal.structureAtoms.push_back(MakeAtom("A", x, 0.0, 0.0));
  ASSERT_TRUE(doc.crystal.ExpandCellAtoms());
  ASSERT_EQ(doc.crystal.cellAtoms.size(), 12u);
  // Atom at x = 0.75 shifted by +0.5 lands at 0.25.
  EXPECT_EQ(std::tie(doc.crystal.cellAtoms[5].x, doc.crystal.cellAtoms[5].y, doc.crystal.cellAtoms[7].z),
            std::tuple(0.25, 0.5, 0.5));

  doc.crystal.latticeType = kCubic;
  doc.crystal.structureAtoms = {MakeAtom("A", 1.0, -0.25, 0.9999999)};
  doc.crystal.ExpandCellAtoms();
  ASSERT_EQ(doc.crystal.cellAtoms.size(), 1u);
  EXPECT_EQ(std::tie(doc.crystal.cellAtoms[0].x, doc.crystal.cellAtoms[0].y, doc.crystal.cellAtoms[0].z),
            std::tuple(0.0, 0.75, 0.9999999));

  // Rounding errors beside a face: a site merged onto the origin at
  // -6.7e-18, one a hair below a half that the centring moves to 1 - 1e-16,
  // and -0 all become +0, never 1 or -0.
  doc.crystal.latticeType = kCubic | kBodyCentred;
  doc.crystal.structureAtoms = {MakeAtom("A", -6.666713983522847e-18, std::nextafter(0.5, 0.0), -0.0),
                                MakeAtom("B", -1e-16, 1.0 - 1e-16, 0.5 - 3e-13)};
  doc.crystal.ExpandCellAtoms();
  ASSERT_EQ(doc.crystal.cellAtoms.size(), 4u);
  const double want[4][3] = {{0, 0.5, 0}, {0.5, 0, 0.5}, {0, 0, 0.5}, {0.5, 0.5, 0}};
  for (size_t i = 0; i < 4; ++i) {
    const AtomSite& a = doc.crystal.cellAtoms[i];
    for (int k = 0; k < 3; ++k) {
      const double v = k == 0 ? a.x : k == 1 ? a.y : a.z;
      EXPECT_FALSE(std::signbit(v)) << i << " " << k;
      EXPECT_NEAR(v, want[i][k], 1e-12) << i << " " << k;
      EXPECT_TRUE(v >= 0.0 && v < 1.0) << i << " " << k;
    }
  }
  EXPECT_EQ(doc.crystal.cellAtoms[1].y, 0.0);  // nextafter(0.5, 0) + 0.5 rounds to 1
  EXPECT_EQ(doc.crystal.cellAtoms[2].y, 0.0);  // 1 - 1e-16 itself
  EXPECT_EQ(doc.crystal.cellAtoms[2].z, 0.5 - 3e-13);  // a real position, however near a half

  doc.crystal.latticeType = kMonoclinic | kBaseCentred;
  doc.crystal.structureAtoms = {MakeAtom("A", 0.1, 0.2, 0.3)};
  doc.crystal.ExpandCellAtoms();
  ASSERT_EQ(doc.crystal.cellAtoms.size(), 2u);
  EXPECT_EQ(std::tie(doc.crystal.cellAtoms[1].x, doc.crystal.cellAtoms[1].y, doc.crystal.cellAtoms[1].z),
            std::tuple(0.6, 0.7, 0.3));
}

TEST(Centring, ASiteIsTakenUpToLatticeTranslationsAndTheCentring) {
  CKomorka doc;
  doc.crystal.structureAtoms = {MakeAtom("O", 0.6947, 0.6947, 0), MakeAtom("Ti", 0.1, 0.2, 0.3)};
  struct Case {
    LatticeType type;
    double x, y, z;
    int taken;  // the structure atom on that site, -1 for a free one
  };
  const Case cases[] = {
      {kTetragonal, -0.3053, -0.3053, 0, 0},  // one cell further on, not bit-equal
      {kTetragonal, 0.6947, 0.6947, 1, 0},
      {kTetragonal, 0.3053, 0.3053, 0, -1},   // a mirror image is another atom
      {kTetragonal, 0.6947, 0.6948, 0, -1},   // 1e-4 apart: two atoms
      {kTetragonal, 0.6, 0.7, 0.8, -1},       // the body centre of Ti without centring
      {kTetragonal | kBodyCentred, 0.6, 0.7, 0.8, 1},
      {kTetragonal | kBodyCentred, 0.6, 0.7, 0.3, -1},
      {kOrthorhombic | kBaseCentred, 0.6, -0.3, 1.3, 1},
      {kOrthorhombic | kBaseCentred, 0.6, 0.2, 0.8, -1},  // (1/2, 0, 1/2) is no C translation
      {kCubic | kFaceCentred, 0.6, 0.2, 0.8, 1},
      {kCubic | kFaceCentred, 0.1, 0.7, 0.8, 1},
      {kCubic | kFaceCentred, 0.6, 0.7, 0.8, -1},  // nor is (1/2, 1/2, 1/2) an F one
  };
  for (const Case& c : cases) {
    doc.crystal.latticeType = c.type;
    EXPECT_EQ(doc.crystal.FindOccupiedSite(c.x, c.y, c.z), c.taken)
        << c.type << ": " << c.x << " " << c.y << " " << c.z;
  }
}

TEST(Centring, BoundaryImagesForTheViewer) {
  CKomorka doc;
  std::vector<AtomSite> list;
  doc.crystal.structureAtoms = {MakeAtom("corner", 0, 0, 0), MakeAtom("face", 0.5, 0.5, 0),
                                MakeAtom("centre", 0.5, 0.5, 0.5)};
  doc.crystal.ExpandCellAtoms();
  ASSERT_EQ(doc.crystal.CopyCellAtoms(list), 3 + 7 + 1);
  // The corner atom's images are at the other seven corners.
  int corners = 0;
  for (const AtomSite& at : list)
    if (at.name == "corner") ++corners;
  EXPECT_EQ(corners, 8);

  // Never more than 255 records.
  doc.crystal.structureAtoms.assign(100, MakeAtom("corner", 0, 0, 0));
  doc.crystal.ExpandCellAtoms();
  EXPECT_EQ(doc.crystal.CopyCellAtoms(list), Crystal::kMaxImageRecords);
}

TEST(Document, LatticeNamesAndReset) {
  CKomorka doc;
  // The system name stores the bare code; "P" then leaves it primitive.
  doc.crystal.latticeType = 17;
  ASSERT_TRUE(doc.crystal.SetSystemFromName("heksagonalna") && doc.crystal.SetCentringFromLetter("P"));
  EXPECT_FALSE(doc.crystal.SetSystemFromName("kubiczna") || doc.crystal.SetCentringFromLetter("R"));
  EXPECT_EQ(doc.crystal.latticeType, 5u);

  doc.crystal.structureAtoms = {MakeAtom("A", 0.1, 0.2, 0.3)};
  doc.crystal.ExpandCellAtoms();
  doc.cell.a = 4.0;
  ASSERT_TRUE(doc.OnNewDocument());
  EXPECT_EQ(std::tuple(doc.cell.a, doc.crystal.latticeType, doc.crystal.structureAtoms.size(), doc.crystal.cellAtoms.size()),
            std::tuple(1.0, 1u, 0u, 0u));
}

TEST(Document, DisplayUpdateReachesEveryCopyOfTheSite) {
  CKomorka doc;
  doc.crystal.latticeType = kCubic | kBodyCentred;
  doc.crystal.structureAtoms = {MakeAtom("A", 0, 0, 0), MakeAtom("B", 0.25, 0.25, 0.25)};
  doc.crystal.structureAtoms[1].siteIndex = 1;
  doc.crystal.ExpandCellAtoms();
  AtomSite edited = doc.crystal.cellAtoms[3];
  edited.color = 0x123456;
  edited.radius = 40;
  edited.visible = 1;
  doc.crystal.UpdateAtomDisplay(edited);
  EXPECT_EQ(std::tie(doc.crystal.structureAtoms[1].color, doc.crystal.cellAtoms[2].radius, doc.crystal.cellAtoms[3].visible,
                     doc.crystal.cellAtoms[0].color),
            std::tuple(0x123456u, 40, 1, kDefaultAtomColor));
}

TEST(Document, ValidationNamesTheOffendingValue) {
  CKomorka doc;
  doc.cell.a = doc.cell.b = doc.cell.c = 4.0;
  EXPECT_EQ(doc.ValidateCalculation(), "");
  doc.experiment.angleMin = doc.experiment.angleMax = 40.0;  // no stretch of angles to draw a pattern over
  EXPECT_NE(doc.ValidateCalculation().find("zakres"), std::string::npos);
  doc.experiment.angleMin = 20.0;
  doc.experiment.lambda1 = 0.0;
  EXPECT_NE(doc.ValidateCalculation().find("lambda1"), std::string::npos);
  doc.experiment.lambda1 = 1.5;
  doc.cell.a = 0.0;
  EXPECT_NE(doc.ValidateCalculation().find("objętość"), std::string::npos);
  doc.cell.a = 4.0;
  doc.cell.alfa = doc.cell.beta = doc.cell.gamma = 120.0;  // degenerate: the three vectors lie in one plane
  EXPECT_FALSE(doc.ValidateCalculation().empty());
  doc.cell.alfa = doc.cell.beta = doc.cell.gamma = 90.0;
  doc.experiment.angleMax = 150.0;
  // The reflection count is refused by the memory it would need, named in
  // the message: a = 400 Å to 150° is some 5e8 reflections, more than any
  // desktop holds; a = 100 Å (8e6) fits in a few GB.
  doc.cell.a = doc.cell.b = doc.cell.c = 400.0;
  const std::string why = doc.ValidateCalculation();
  EXPECT_NE(why.find("GB pamięci"), std::string::npos) << why;
  EXPECT_GT(CKomorka::CalculationBytes(5e8), CalculationMemoryLimit());
  doc.cell.a = doc.cell.b = doc.cell.c = 100.0;
  EXPECT_EQ(doc.ValidateCalculation(), "");
}

TEST(Document, SampleAndDiffractometerValuesMustBeAboveZero) {
  CKomorka doc;
  doc.cell.a = doc.cell.b = doc.cell.c = 4.0;
  const struct {
    const char* name;
    double ExperimentParams::*field;
    ExperimentValue which;
  } sizes[] = {{"absorption", &ExperimentParams::absorption, ExperimentValue::Absorption},
               {"detslit", &ExperimentParams::detslit, ExperimentValue::DetSlit},
               {"beamarea", &ExperimentParams::beamarea, ExperimentValue::BeamArea},
               {"measurespeed", &ExperimentParams::measurespeed, ExperimentValue::MeasureSpeed},
               {"difradius", &ExperimentParams::difradius, ExperimentValue::DifRadius}};
  for (const auto& v : sizes) {
    const double kept = doc.experiment.*v.field;
    for (double bad : {-3095.87, -1e-12, 0.0}) {
      doc.experiment.*v.field = bad;
      const std::string why = doc.ValidateCalculation();
      EXPECT_NE(why.find(v.name), std::string::npos) << v.name << " = " << bad << ": " << why;
      // The page flags the field with the very message the run refuses with.
      EXPECT_EQ(CheckExperimentValue(doc.experiment, v.which), why) << v.name;
    }
    doc.experiment.*v.field = 1e-12;
    EXPECT_EQ(doc.ValidateCalculation(), "") << v.name;
    doc.experiment.*v.field = kept;
  }

  // B counts only while the temperature factor is on; zero is no damping.
  doc.experiment.dwfactor = -0.5;
  EXPECT_EQ(doc.ValidateCalculation(), "");
  doc.experiment.IsDW = 1;
  EXPECT_NE(doc.ValidateCalculation().find("B = -0.5"), std::string::npos);
  EXPECT_FALSE(CheckExperimentValue(doc.experiment, ExperimentValue::DwFactor).empty());
  doc.experiment.dwfactor = 0.0;
  // The grain size: never negative; zero is left to the profiles that need it.
  doc.experiment.gsize = -1.0;
  EXPECT_NE(doc.ValidateCalculation().find("gsize"), std::string::npos);
  doc.experiment.gsize = 0.0;
  EXPECT_EQ(doc.ValidateCalculation(), "");
  EXPECT_FALSE(CheckExperimentValue(doc.experiment, ExperimentValue::GrainSize).empty());
  doc.experiment.gsize = 1e6;

  doc.experiment.ratio = -0.5;  // a second line pointing down
  EXPECT_NE(doc.ValidateCalculation().find("ratio"), std::string::npos);
}

TEST(Radiation, NeutronEnergyIsTheKineticEnergyOfTheWavelength) {
  // E = 81.8042 meV / (lambda in Å)^2 for neutrons (CODATA 2018; the usual
  // tabulated conversion), far from the photon's 12398.4 eV / lambda.
  for (auto [lambda, meV] : {std::pair{1.0, 81.8042}, {1.594, 32.1958}, {2.36, 14.6876}})
    EXPECT_NEAR(NeutronEnergyMeV(lambda), meV, 1e-4) << lambda;
}

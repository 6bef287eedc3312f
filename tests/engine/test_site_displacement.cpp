// Occupancy and isotropic displacement per site: |F|^2 and intensities
// against an independent calculation (tools/make_site_golden.py), the
// structure file's round trip, and files without them reading as before.
#include <gtest/gtest.h>

#include "TestUtil.h"
#include "documents/StructureFile.h"
#include "engine/CalcProgress.h"
#include "engine/Komorka.h"
#include "engine/StructureFactorKernel.h"
#include "io/NumberFormat.h"

using namespace pelmora;
using namespace pelmora::test;

namespace {

// The structure of tools/make_site_golden.py.
void BuildGoldenStructure(CKomorka& doc, int radiation) {
  SetCell(doc.cell, 4.2, 4.2, 4.2, 90, 90, 90);
  doc.crystal.latticeType = kCubic;
  AtomSite a, b;
  a.name = "A";
  a.a1 = 11.77, a.a2 = 7.36, a.a3 = 3.52, a.a4 = 2.30;
  a.b1 = 4.76, a.b2 = 0.31, a.b3 = 15.35, a.b4 = 76.88;
  a.c = 1.04, a.fprim = -1.1, a.fbis = 3.2, a.s = 9.45;
  a.occupancy = 0.75;
  a.biso = 0.6;
  b.name = "B";
  b.x = b.y = b.z = 0.5;
  b.a1 = 3.05, b.a2 = 2.29, b.a3 = 1.55, b.a4 = 0.87;
  b.b1 = 13.28, b.b2 = 5.70, b.b3 = 0.32, b.b4 = 32.91;
  b.c = 0.25, b.fprim = 0.05, b.fbis = 0.03, b.s = 5.803;
  doc.crystal.structureAtoms = {a, b};
  doc.crystal.ExpandCellAtoms();
  doc.experiment.IsDW = 1;
  doc.experiment.dwfactor = 0.9;  // B's, which has none of its own
  doc.experiment.radiation = radiation;
  doc.experiment.lambda1 = 1.54059;
  doc.experiment.lambda2 = 0.0;
  doc.experiment.angleMin = 10;
  doc.experiment.angleMax = 100;
  doc.experiment.beamarea = 10, doc.experiment.detslit = 10, doc.experiment.difradius = 200,
  doc.experiment.absorption = 0.0001, doc.experiment.measurespeed = 1;
}

struct Golden {
  int h, k, l, m;
  double f2, intensity;
};

}  // namespace

TEST(SiteDisplacement, StructureFactorsAndIntensitiesMatchAnIndependentCalculation) {
  const Golden xray[] = {
      {1, 0, 0, 6, 92.5519723811, 355.034154739},  {1, 1, 0, 12, 440.570886611, 1608.97233169},
      {1, 1, 1, 8, 74.7843926977, 115.722411408},  {2, 0, 0, 6, 315.395914952, 262.229034783},
      {2, 1, 0, 24, 64.3932275063, 164.066449892}, {2, 1, 1, 24, 239.080518977, 487.714915005},
      {2, 2, 0, 12, 187.706680275, 134.296368869},
  };
  const Golden neutron[] = {
      {1, 0, 0, 6, 1.68489606608, 0.870538814815}, {1, 1, 0, 12, 159.38608017, 83.8220904236},
      {1, 1, 1, 8, 1.75255733246, 0.417228031843}, {2, 0, 0, 6, 152.889192077, 20.8679780092},
      {2, 1, 0, 24, 1.81713582136, 0.809559983116}, {2, 1, 1, 24, 146.662370233, 55.5856323962},
      {2, 2, 0, 12, 140.694174827, 20.8963698575},
  };
  for (int radiation : {0, 1}) {
    SCOPED_TRACE(radiation);
    CKomorka doc;
    BuildGoldenStructure(doc, radiation);
    ASSERT_EQ(doc.ValidateCalculation(), "");
    NullProgress none;
    ASSERT_EQ(doc.CalculateReflections(none), 0);
    const std::vector<Reflection> line1 = doc.results.Line(1);
    for (const Golden& g : radiation == 0 ? xray : neutron) {
      SCOPED_TRACE(cformat("%d %d %d", g.h, g.k, g.l));
      const double d = 4.2 / std::sqrt(g.h * g.h + g.k * g.k + g.l * g.l);
      const auto found = std::find_if(line1.begin(), line1.end(),
                                      [&](const Reflection& r) { return std::fabs(r.d - d) < 1e-9; });
      ASSERT_NE(found, line1.end());
      EXPECT_EQ(found->multiplicity, g.m);
      EXPECT_NEAR(found->f2, g.f2, 1e-9 * g.f2);
      EXPECT_NEAR(found->intensity, g.intensity, 1e-8 * g.intensity);
      // The plain sum, the fast kernel's reference, agrees.
      double re, im;
      EXPECT_NEAR(doc.StructureFactor(g.h, g.k, g.l, found->theta, doc.experiment.lambda1, re, im), g.f2, 1e-9 * g.f2);
    }
  }
}

TEST(SiteDisplacement, WholeAtomsWithoutTheirOwnBCalculateAsBefore) {
  CKomorka doc;
  BuildGoldenStructure(doc, 0);
  for (AtomSite& at : doc.crystal.structureAtoms) at.occupancy = 1.0, at.biso.reset();
  doc.crystal.ExpandCellAtoms();
  EXPECT_EQ(std::tuple(doc.crystal.HasSiteDisplacements(), doc.SiteDefaultB()), std::tuple(false, 0.0));
  const StructureFactorKernel plain(doc.crystal.cellAtoms, 3, 3, 3);
  EXPECT_FALSE(plain.weighted());

  // Every site given the experiment's B as its own: the same intensities,
  // now with the displacement inside |F|^2.
  NullProgress none;
  ASSERT_EQ(doc.CalculateReflections(none), 0);
  const std::vector<Reflection> common = doc.results.Line(1);
  for (AtomSite& at : doc.crystal.structureAtoms) at.biso = doc.experiment.dwfactor;
  doc.crystal.ExpandCellAtoms();
  ASSERT_EQ(doc.CalculateReflections(none), 0);
  const std::vector<Reflection> own = doc.results.Line(1);
  ASSERT_EQ(own.size(), common.size());
  for (size_t i = 0; i < common.size(); ++i) {
    EXPECT_NEAR(own[i].intensity, common[i].intensity, 1e-12 * common[i].intensity);
    EXPECT_LT(own[i].f2, common[i].f2);
  }

  // Occupancies and B outside their range are refused before a run.
  doc.crystal.structureAtoms[0].occupancy = 0.0;
  doc.crystal.ExpandCellAtoms();
  EXPECT_NE(doc.ValidateCalculation().find("obsadzenie"), std::string::npos);
  doc.crystal.structureAtoms[0].occupancy = 1.0;
  doc.crystal.structureAtoms[0].biso = -0.5;
  doc.crystal.ExpandCellAtoms();
  EXPECT_NE(doc.ValidateCalculation().find("czynnik temperaturowy"), std::string::npos);
}

TEST(SiteDisplacement, StructureFileKeepsOccupancyAndBAndOlderReadersTheScatteringPower) {
  CKomorka doc;
  BuildGoldenStructure(doc, 0);
  doc.crystal.structureAtoms[0].occupancy = 0.1 + 0.2;  // no short decimal
  doc.crystal.ExpandCellAtoms();
  const std::string text = FormatStructureFile(doc);
  // The optional elements come only with the atom that has them.
  EXPECT_NE(text.find("<occupancy>0.30000000000000004</occupancy>"), std::string::npos);
  EXPECT_NE(text.find("<biso>0.6</biso>"), std::string::npos);
  EXPECT_EQ(text.find("<biso>", text.find("name=\"B\"")), std::string::npos);
  // What a reader without occupancies sees: the scattering of 0.3 of an atom.
  EXPECT_NE(text.find("<factors>\r\n\t\t\t\t<s>2.835000</s><a1>3.531000</a1><b1>4.760000</b1>"), std::string::npos);
  EXPECT_NE(text.find("<atom_factors>\r\n\t\t\t\t<s>9.450000</s><a1>11.770000</a1>"), std::string::npos);

  CKomorka back;
  std::vector<DocMessage> messages;
  ASSERT_EQ(ReadStructureBytes(back, text, messages), StructureReadStatus::kOk);
  ASSERT_EQ(back.crystal.structureAtoms.size(), 2u);
  const AtomSite &a = back.crystal.structureAtoms[0], &b = back.crystal.structureAtoms[1];
  EXPECT_EQ(std::tie(a.occupancy, a.biso, b.occupancy, b.biso), std::tuple(0.1 + 0.2, 0.6, 1.0, std::nullopt));
  EXPECT_EQ(a.factors(), doc.crystal.structureAtoms[0].factors());
  EXPECT_EQ(FormatStructureFile(back), text);

  // A file written by hand with an occupancy but only the scattered factors.
  std::string hand = text;
  hand.erase(hand.find("\t\t\t<atom_factors>"), hand.find("</atom_factors>\r\n") + 17 - hand.find("\t\t\t<atom_factors>"));
  CKomorka byHand;
  ASSERT_EQ(ReadStructureBytes(byHand, hand, messages), StructureReadStatus::kOk);
  EXPECT_NEAR(byHand.crystal.structureAtoms[0].a1, 11.77, 1e-5);
}

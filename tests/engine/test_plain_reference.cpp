// The plain reference agrees with the calculation and catches faults planted
// in its list.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "TestUtil.h"
#include "engine/PlainReference.h"

using namespace pelmora;
using namespace pelmora::test;

namespace {

// What the rules of F touch: an oblique cell without a centre of symmetry,
// anomalous terms, an occupancy, a B of a site's own beside atoms that take
// the experiment's, and both lines.
void BuildCell(CKomorka& doc, int radiation) {
  SetCell(doc.cell, 5.1, 6.3, 7.2, 81, 97, 104);
  doc.crystal.latticeType = kTriclinic;
  AtomSite a = MakeAtom("A", 0.11, 0.23, 0.37), b = MakeAtom("B", 0.61, 0.12, 0.83, 3.0, 7.0, 0.4, 2.5);
  AtomSite c = MakeAtom("A", 0.42, 0.71, 0.05);
  a.fprim = -1.2, a.fbis = 2.9, b.fprim = 0.1, b.fbis = 0.4;
  c.fprim = a.fprim, c.fbis = a.fbis;
  b.occupancy = 0.7;
  b.biso = 1.3;
  doc.crystal.structureAtoms = {a, b, c};
  doc.crystal.ExpandCellAtoms();
  doc.experiment.IsDW = 1;
  doc.experiment.dwfactor = 0.5;
  doc.experiment.radiation = radiation;
  doc.experiment.lambda1 = 1.54059;
  doc.experiment.lambda2 = 1.54436;
  doc.experiment.angleMin = 15;
  doc.experiment.angleMax = 110;
}

}  // namespace

TEST(PlainReference, AgreesWithTheCalculationAndCatchesPlantedFaults) {
  NullProgress quiet;
  for (int radiation : {0, 1}) {
    SCOPED_TRACE(radiation);
    CKomorka doc;
    BuildCell(doc, radiation);
    ASSERT_EQ(doc.CalculateReflections(quiet), 0);
    const std::vector<Reflection>& all = doc.results.reflectionsAll;
    const PlainCheck fine = CheckAgainstPlainReference(doc, all, doc.results.maxIntensity, quiet);
    EXPECT_TRUE(fine.Agrees()) << (fine.problems.empty() ? "" : fine.problems[0]);
    EXPECT_EQ(fine.lines, static_cast<long>(all.size()));
    EXPECT_EQ(std::count_if(all.begin(), all.end(), [](const Reflection& r) { return r.line == 2; }) > 0,
              radiation == 0);

    // A line of some strength, not the strongest, whose angle keeps its
    // 1e-4 bin when moved a little.
    const auto target = std::find_if(all.begin(), all.end(), [&](const Reflection& r) {
      const double bin = std::floor(r.theta * 1e4);
      return r.f2 > 1.0 && r.intensity < doc.results.maxIntensity && std::floor((r.theta + 2e-6) * 1e4) == bin;
    });
    ASSERT_NE(target, all.end());
    const size_t at = static_cast<size_t>(target - all.begin());
    const auto planted = [&](const std::function<void(std::vector<Reflection>&)>& plant) {
      std::vector<Reflection> list = all;
      plant(list);
      return CheckAgainstPlainReference(doc, list, doc.results.maxIntensity, quiet);
    };
    const auto differing = [](const PlainCheck& c, const std::string& name) {
      for (const QuantityCheck& q : c.quantities)
        if (q.name == name) return q.differing;
      return -1L;
    };

    // |F|^2 off by two units of its last printed digit: that column alone,
    // at that line.
    PlainCheck c = planted([&](auto& l) { l[at].f2 += 0.002; });
    EXPECT_FALSE(c.Agrees());
    EXPECT_EQ(c.problemCount, 0);
    EXPECT_EQ(differing(c, "|F|^2"), 1);
    EXPECT_EQ(differing(c, "intensity"), 0);
    EXPECT_EQ(c.quantities[4].firstDiffering.h, target->h);
    EXPECT_EQ(c.quantities[4].firstDiffering.l, target->l);
    // The angle, Re(F) and the intensity each.
    EXPECT_EQ(differing(planted([&](auto& l) { l[at].theta += 2e-6; }), "2-theta"), 1);
    EXPECT_EQ(differing(planted([&](auto& l) { l[at].reF += 0.01; }), "Re(F)"), 1);
    EXPECT_EQ(differing(planted([&](auto& l) { l[at].intensity *= 1.001; }), "intensity"), 1);
    // A line missing, a wrong multiplicity, an extinct flag, lines out of
    // order: problems of the set of lines.
    EXPECT_GT(planted([&](auto& l) { l.erase(l.begin() + static_cast<long>(at)); }).problemCount, 0);
    c = planted([&](auto& l) { l[at].multiplicity += 1; });
    ASSERT_EQ(c.problemCount, 1);
    EXPECT_NE(c.problems[0].find("multiplicity"), std::string::npos);
    EXPECT_EQ(planted([&](auto& l) { l[at].nonZero = 0; }).problemCount, 1);
    EXPECT_GT(planted([&](auto& l) { std::swap(l[at], l.back()); }).problemCount, 0);
  }

  // A box whose sums would take hours is refused before anything is summed.
  CKomorka big;
  SetCell(big.cell, 50, 50, 50, 90, 90, 90);
  big.crystal.structureAtoms.assign(100000, MakeAtom("C", 0.1, 0.2, 0.3));
  big.crystal.ExpandCellAtoms();
  big.experiment.angleMin = 0;
  big.experiment.angleMax = 180;
  EXPECT_NE(PlainCheckRefusal(big).find("too long"), std::string::npos);
}

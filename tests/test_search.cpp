// The reflection search: ranges, order, grouping, both wavelengths and
// cancellation.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <tuple>
#include <random>
#include <set>

#include "TestUtil.h"
#include "documents/StructureFile.h"
#include "editors/ReflectionExport.h"
#include "engine/Komorka.h"

using namespace pelmora;
using namespace pelmora::test;

namespace {

void OneAtomCell(CKomorka& doc, LatticeType type, double a) {
  doc.latticeType = type;
  SetCell(doc, a, a, a, 90, 90, 90);
  doc.structureAtoms = {MakeAtom("A", 0, 0, 0)};
  doc.ExpandCellAtoms();
}

void SetLinesAndRange(CKomorka& doc, double lambda1, double lambda2, double from, double to) {
  doc.SetLambda1(lambda1);
  doc.SetLambda2(lambda2);
  doc.angleMin = from;
  doc.angleMax = to;
}

const Reflection* Find(const std::vector<Reflection>& list, int h, int k, int l) {
  for (const Reflection& r : list)
    if (r.h == h && r.k == k && r.l == l) return &r;
  return nullptr;
}

}  // namespace

// Physics the lists must show: cubic P multiplicities 6, 12, 8; body-centred
// (1 0 0) kept with F = 0 and intensity 0; NaCl's strongest line is (2 0 0)
// at 31.70 degrees with Cu Ka1.
TEST(Search, MultiplicitiesExtinctionAndNaCl) {
  NullProgress none;
  CKomorka cubic;
  OneAtomCell(cubic, kCubic, 4.0);
  ASSERT_EQ(cubic.CalculateReflections(none), 0);
  EXPECT_EQ(Find(cubic.reflections1, 1, 0, 0)->multiplicity, 6);
  EXPECT_EQ(Find(cubic.reflections1, 1, 1, 0)->multiplicity, 12);
  EXPECT_EQ(Find(cubic.reflections1, 1, 1, 1)->multiplicity, 8);

  CKomorka bcc;
  OneAtomCell(bcc, kCubic | kBodyCentred, 2.8665);
  ASSERT_EQ(bcc.CalculateReflections(none), 0);
  const Reflection* r100 = Find(bcc.reflections1, 1, 0, 0);
  ASSERT_NE(r100, nullptr);
  EXPECT_EQ(r100->nonZero, 0);
  EXPECT_LT(r100->intensity, 1e-20 * bcc.maxIntensity);

  CKomorka nacl;
  std::vector<DocMessage> messages;
  ASSERT_TRUE(OpenStructureDocument(nacl, PELMORA_EXAMPLES_DIR "/NaCl.xml", messages));
  nacl.ApplySource(*nacl.sourceRecord);
  ASSERT_EQ(nacl.CalculateReflections(none), 0);
  const auto strongest = std::max_element(nacl.reflections1.begin(), nacl.reflections1.end(),
                                          [](const Reflection& a, const Reflection& b) { return a.intensity < b.intensity; });
  EXPECT_EQ(std::tie(strongest->h, strongest->k, strongest->l), std::make_tuple(2, 0, 0));
  EXPECT_NEAR(TwoThetaDegrees(*strongest), 31.70, 0.01);
}

TEST(Search, BothWavelengthsAreMergedInAngleOrder) {
  CKomorka doc;
  OneAtomCell(doc, kCubic, 4.0);
  NullProgress none;
  ASSERT_EQ(doc.CalculateReflections(none), 0);
  ASSERT_GT(doc.count2(), 0);
  int lines[3] = {0, 0, 0};
  for (int i = 0; i < doc.countAll(); ++i) {
    const Reflection& r = doc.reflectionsAll[i];
    ++lines[r.line];
    EXPECT_EQ(r.fwhm, -1.0);
    EXPECT_TRUE(i == 0 || !ReflectionBefore(r, doc.reflectionsAll[i - 1])) << i;
  }
  EXPECT_EQ(lines[1], doc.count1());
  EXPECT_EQ(lines[2], doc.count2());
  // Kα2 follows its Kα1 partner closely and carries half of it at its angle.
  EXPECT_EQ(doc.reflectionsAll[0].line, 1);
  EXPECT_EQ(doc.reflectionsAll[1].line, 2);

  // No second line: no second list.
  doc.SetLambda2(0.0);
  ASSERT_EQ(doc.CalculateReflections(none), 0);
  EXPECT_EQ(doc.count2(), 0);
  for (const Reflection& r : doc.reflectionsAll) EXPECT_EQ(r.line, 1);

  // Neutrons are monochromatic: no second list even with lambda2 set.
  doc.SetLambda2(1.6);
  doc.radiation = 1;
  ASSERT_EQ(doc.CalculateReflections(none), 0);
  EXPECT_EQ(doc.count2(), 0);
}

TEST(Search, RangeEndsAreIncludedAndAnEmptyRangeInstallsNothing) {
  CKomorka doc;
  OneAtomCell(doc, kCubic, 4.0);
  doc.SetLambda2(0.0);
  doc.RefreshCellMetric();
  // 2-theta of (1 1 1), computed the way the search does.
  const double tt = TwoThetaDegrees(std::asin(doc.lambda1 / (2.0 * doc.DSpacing(1, 1, 1))));
  doc.angleMin = tt;
  doc.angleMax = tt;
  NullProgress none;
  ASSERT_EQ(doc.CalculateReflections(none), 0);
  ASSERT_EQ(doc.count1(), 1);
  EXPECT_EQ(doc.reflections1[0].multiplicity, 8);

  // A window holding only second-wavelength reflections: nothing changes.
  doc.SetLambda2(1.6);
  const double tt2 = TwoThetaDegrees(std::asin(1.6 / (2.0 * doc.DSpacing(1, 1, 1))));
  doc.angleMin = tt2 - 0.01;
  doc.angleMax = tt2 + 0.01;
  EXPECT_EQ(doc.CalculateReflections(none), -1);
  EXPECT_EQ(doc.count1(), 1);
  EXPECT_EQ(doc.count2(), 0);
}

TEST(Search, LargeCellsFindIndicesAboveFifteen) {
  CKomorka doc;
  OneAtomCell(doc, kCubic, 25.0);
  SetLinesAndRange(doc, 1.54056, 0.0, 140.0, 150.0);
  NullProgress none;
  ASSERT_EQ(doc.CalculateReflections(none), 0);
  int maxIndex = 0;
  for (const Reflection& r : doc.reflections1) maxIndex = std::max({maxIndex, r.h, r.k, r.l});
  EXPECT_EQ(maxIndex, 31);  // 25 / d_min = 31.35
  // Every reflection of the window is there: count the index triples by brute force.
  doc.RefreshCellMetric();
  long expected = 0, found = 0;
  for (int h = -40; h <= 40; ++h)
    for (int k = -40; k <= 40; ++k)
      for (int l = -40; l <= 40; ++l) {
        if (!h && !k && !l) continue;
        const double s = doc.lambda1 / (2.0 * doc.DSpacing(h, k, l));
        if (s > 1.0) continue;
        const double tt = TwoThetaDegrees(std::asin(s));
        if (tt >= 140.0 && tt <= 150.0) ++expected;
      }
  for (const Reflection& r : doc.reflections1) found += r.multiplicity;
  EXPECT_EQ(found, expected);
}

// Grouping as first described: each record compared with every group made so
// far, in order of creation; the first that matches takes it. The hexagonal
// trial splits {1 0 0} from {1 -1 0}: same angle, other absolute indices.
TEST(Search, HashedGroupingEqualsTheFirstMatchRule) {
  std::mt19937 rng(11);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  for (int trial = 0; trial < 5; ++trial) {
    CKomorka doc;
    doc.latticeType = trial == 4 ? kHexagonal : trial % 2 ? kTetragonal : kCubic;
    SetCell(doc, 5.0, 5.0, trial % 2 ? 7.0 : 5.0, 90, 90, trial == 4 ? 120 : 90);
    for (int i = 0; i < 4; ++i) doc.structureAtoms.push_back(MakeAtom("A", u(rng), u(rng), u(rng)));
    if (trial == 3) doc.structureAtoms = {MakeAtom("A", 0, 0, 0), MakeAtom("B", 0.5, 0.5, 0.5, 3.0)};
    if (trial == 4) doc.structureAtoms = {MakeAtom("A", 0, 0, 0)};
    doc.ExpandCellAtoms();
    doc.SetLambda2(0.0);
    NullProgress none;
    ASSERT_EQ(doc.CalculateReflections(none), 0);

    // Reference: every record in range with the plain structure factor.
    std::vector<Reflection> records;
    doc.RefreshCellMetric();
    for (int h = -15; h <= 15; ++h)
      for (int k = -15; k <= 15; ++k)
        for (int l = -15; l <= 15; ++l) {
          if (!h && !k && !l) continue;
          Reflection r;
          r.h = h, r.k = k, r.l = l;
          r.d = doc.DSpacing(h, k, l);
          const double s = doc.lambda1 / (2.0 * r.d);
          if (s > 1.0) continue;
          r.theta = std::asin(s);
          const double tt = TwoThetaDegrees(r.theta);
          if (tt < doc.angleMin || tt > doc.angleMax) continue;
          r.f2 = doc.StructureFactor(h, k, l, r.theta, doc.lambda1, r.reF, r.imF);
          records.push_back(r);
        }
    std::sort(records.begin(), records.end(), ReflectionBefore);
    const auto rd4 = [](double x) { return std::floor(x * 1e4) / 1e4; };
    const auto absSet = [](const Reflection& r) {
      std::multiset<int> s{std::abs(r.h), std::abs(r.k), std::abs(r.l)};
      return s;
    };
    std::vector<Reflection> groups;
    for (const Reflection& r : records) {
      bool matched = false;
      for (Reflection& g : groups) {
        if (rd4(g.theta) == rd4(r.theta) && rd4(g.f2) == rd4(r.f2) && absSet(g) == absSet(r)) {
          ++g.multiplicity;
          matched = true;
          break;
        }
      }
      if (!matched) groups.push_back(r);
    }
    ASSERT_EQ(groups.size(), doc.reflections1.size()) << "trial " << trial;
    for (size_t i = 0; i < groups.size(); ++i) {
      const Reflection& a = groups[i];
      const Reflection& b = doc.reflections1[i];
      ASSERT_EQ(std::tie(a.h, a.k, a.l, a.multiplicity), std::tie(b.h, b.k, b.l, b.multiplicity)) << i;
      ASSERT_NEAR(a.f2, b.f2, 1e-9 * (1 + a.f2));
    }
  }
}


// A list long enough to be sorted, grouped and rated in two halves at once
// (both lines, some 28 000 records each) against a plain reference: every
// record in range, sorted, grouped by its exact key; intensities as rated
// one by one; the list text in pieces as in one.
TEST(Search, LongListsSplitAcrossThreadsEqualThePlainReference) {
  CKomorka doc;
  doc.latticeType = kCubic;
  SetCell(doc, 15.0, 15.0, 15.0, 90, 90, 90);
  std::mt19937 rng(5);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  for (int i = 0; i < 4; ++i) doc.structureAtoms.push_back(MakeAtom("A", u(rng), u(rng), u(rng), 1.0 + i));
  doc.ExpandCellAtoms();
  SetLinesAndRange(doc, 1.54056, 1.54439, 5.0, 150.0);
  NullProgress none;
  ASSERT_EQ(doc.CalculateReflections(none), 0);

  const auto rd4 = [](double x) { return std::floor(x * 1e4) / 1e4; };
  for (int line = 1; line <= 2; ++line) {
    const double lambda = line == 1 ? doc.lambda1 : doc.lambda2;
    std::vector<Reflection> records;
    const int lim = doc.SearchLimits()[0];
    for (int h = -lim; h <= lim; ++h)
      for (int k = -lim; k <= lim; ++k)
        for (int l = -lim; l <= lim; ++l) {
          if (!h && !k && !l) continue;
          Reflection r;
          r.h = h, r.k = k, r.l = l;
          r.d = doc.DSpacing(h, k, l);
          const double s = lambda / (2.0 * r.d);
          if (s > 1.0) continue;
          r.theta = std::asin(s);
          const double tt = TwoThetaDegrees(r.theta);
          if (tt < doc.angleMin || tt > doc.angleMax) continue;
          r.f2 = doc.StructureFactor(h, k, l, r.theta, lambda, r.reF, r.imF);
          records.push_back(r);
        }
    ASSERT_GT(records.size(), 20000u);
    std::sort(records.begin(), records.end(), ReflectionBefore);
    std::map<std::tuple<double, double, int, int, int>, size_t> index;
    std::vector<Reflection> groups;
    for (const Reflection& r : records) {
      int v[3] = {std::abs(r.h), std::abs(r.k), std::abs(r.l)};
      std::sort(v, v + 3);
      const auto [it, fresh] = index.try_emplace({rd4(r.theta), rd4(r.f2), v[0], v[1], v[2]}, groups.size());
      if (fresh) groups.push_back(r);
      else ++groups[it->second].multiplicity;
    }
    const std::vector<Reflection>& got = line == 1 ? doc.reflections1 : doc.reflections2;
    ASSERT_EQ(groups.size(), got.size()) << "line " << line;
    for (size_t i = 0; i < groups.size(); ++i) {
      const Reflection& a = groups[i];
      const Reflection& b = got[i];
      ASSERT_EQ(std::tie(a.h, a.k, a.l, a.multiplicity), std::tie(b.h, b.k, b.l, b.multiplicity)) << i;
      ASSERT_EQ(b.intensity, doc.GroupIntensity(b, line)) << i;
    }
  }
  ASSERT_EQ(doc.reflectionsAll.size(), doc.reflections1.size() + doc.reflections2.size());
  EXPECT_TRUE(std::is_sorted(doc.reflectionsAll.begin(), doc.reflectionsAll.end(), ReflectionBefore));

  for (const ReflectionFilter filter : {ReflectionFilter{true, false, false}, ReflectionFilter{false, true, true}}) {
    const std::string whole = FormatReflectionList(doc, filter);
    for (unsigned parts : {2u, 3u}) {
      std::string joined;
      for (const std::string& piece : FormatReflectionListParts(doc, filter, parts)) joined += piece;
      EXPECT_EQ(joined, whole) << parts;
    }
  }
}


TEST(Search, CancelInEveryPhaseKeepsThePreviousResults) {
  CKomorka doc;
  OneAtomCell(doc, kCubic | kFaceCentred, 4.0);
  NullProgress none;
  ASSERT_EQ(doc.CalculateReflections(none), 0);
  const auto before = doc.reflectionsAll;
  const double maxBefore = doc.maxIntensity;
  doc.a = doc.b = doc.c = 5.0;  // a different structure, so new results would show
  for (const char* phase :
       {"Wyszukiwanie refleksów", "Sortowanie refleksów", "Grupowanie refleksów", "Obliczanie natężenia"}) {
    doc.cancelRequested = false;
    CancelAtPhase watcher(doc, phase);
    EXPECT_EQ(doc.CalculateReflections(watcher), -1) << phase;
    EXPECT_FALSE(watcher.textWhileCancelled) << phase;
    ASSERT_EQ(doc.reflectionsAll.size(), before.size()) << phase;
    EXPECT_EQ(doc.reflectionsAll.front().theta, before.front().theta) << phase;
    EXPECT_EQ(doc.maxIntensity, maxBefore);
  }
}

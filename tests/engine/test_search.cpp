// The reflection search: ranges, order, grouping and both wavelengths
// (cancellation is checked with the whole run).
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>
#include <new>
#include <stdexcept>
#include <random>
#include <thread>
#include <tuple>

#include <sched.h>

#include "TestUtil.h"
#include "engine/Komorka.h"
#include "engine/LargeArrays.h"
#include "engine/ReflectionExport.h"
#include "engine/ReflectionGroups.h"
#include "engine/SearchThreads.h"

using namespace pelmora;
using namespace pelmora::test;

namespace {

void OneAtomCell(CKomorka& doc, LatticeType type, double a) {
  doc.crystal.latticeType = type;
  SetCell(doc.cell, a, a, a, 90, 90, 90);
  doc.crystal.structureAtoms = {MakeAtom("A", 0, 0, 0)};
  doc.crystal.ExpandCellAtoms();
}

const Reflection* Find(const std::vector<Reflection>& list, int h, int k, int l) {
  for (const Reflection& r : list)
    if (r.h == h && r.k == k && r.l == l) return &r;
  return nullptr;
}

// Every index triple up to lim whose 2-theta lies in the document's range,
// with the plain structure factor, in the list's order.
std::vector<Reflection> RecordsInRange(CKomorka& doc, double lambda, int lim) {
  doc.cell.RefreshCellMetric();
  std::vector<Reflection> records;
  for (int h = -lim; h <= lim; ++h)
    for (int k = -lim; k <= lim; ++k)
      for (int l = -lim; l <= lim; ++l) {
        if (!h && !k && !l) continue;
        Reflection r;
        r.h = h, r.k = k, r.l = l;
        r.d = doc.cell.DSpacing(h, k, l);
        const double s = lambda / (2.0 * r.d);
        if (s > 1.0) continue;
        r.theta = std::asin(s);
        const double tt = TwoThetaDegrees(r.theta);
        if (tt < doc.experiment.angleMin || tt > doc.experiment.angleMax) continue;
        r.f2 = doc.StructureFactor(h, k, l, r.theta, lambda, r.reF, r.imF);
        records.push_back(r);
      }
  std::sort(records.begin(), records.end(), ReflectionBefore);
  return records;
}

// The symmetry a trial structure has, which decides its forms.
enum class Forms { kFriedel, kCubic, kHexagonal };

// The grouping rule: a record joins the first group with the same angle
// (cut to 4 decimals) and form, else starts one; a group's |F|^2 is the
// mean of its members'.
std::vector<Reflection> Group(const std::vector<Reflection>& records, Forms forms) {
  const auto rd4 = [](double x) { return std::floor(x * 1e4) / 1e4; };
  const auto key = [forms](const Reflection& r) -> std::array<int, 4> {
    int v[3] = {std::abs(r.h), std::abs(r.k), std::abs(r.l)};
    switch (forms) {
      case Forms::kFriedel: return std::max(std::array{r.h, r.k, r.l, 0}, std::array{-r.h, -r.k, -r.l, 0});
      case Forms::kCubic: std::sort(v, v + 3); return {v[0], v[1], v[2], 0};
      case Forms::kHexagonal:  // 6/mmm permutes |h|, |k|, |h + k| and turns l over
        v[2] = std::abs(r.h + r.k);
        std::sort(v, v + 3);
        return {v[0], v[1], v[2], std::abs(r.l)};
    }
    return {};
  };
  std::map<std::pair<double, std::array<int, 4>>, size_t> index;
  std::vector<Reflection> groups;
  for (const Reflection& r : records) {
    const auto [it, fresh] = index.try_emplace({rd4(r.theta), key(r)}, groups.size());
    if (fresh) groups.push_back(r);
    else {
      Reflection& g = groups[it->second];
      g.f2 = (g.f2 * g.multiplicity + r.f2) / (g.multiplicity + 1);
      ++g.multiplicity;
    }
  }
  return groups;
}

void ExpectSameGroups(const std::vector<Reflection>& want, const std::vector<Reflection>& got) {
  ASSERT_EQ(want.size(), got.size());
  for (size_t i = 0; i < want.size(); ++i) {
    const Reflection& a = want[i];
    const Reflection& b = got[i];
    ASSERT_EQ(std::tie(a.h, a.k, a.l, a.multiplicity), std::tie(b.h, b.k, b.l, b.multiplicity)) << i;
    ASSERT_NEAR(a.f2, b.f2, 1e-6 * (1 + a.f2)) << i;
  }
}

}  // namespace

TEST(Search, RangeEndsAreIncludedAndAnEmptyRangeInstallsNothing) {
  CKomorka doc;
  OneAtomCell(doc, kCubic, 4.0);
  doc.experiment.lambda2 = 0.0;
  doc.cell.RefreshCellMetric();
  // 2-theta of (1 1 1), computed the way the search does.
  doc.experiment.angleMin = doc.experiment.angleMax =
      TwoThetaDegrees(std::asin(doc.experiment.lambda1 / (2.0 * doc.cell.DSpacing(1, 1, 1))));
  NullProgress none;
  ASSERT_EQ(doc.CalculateReflections(none), 0);
  ASSERT_EQ(doc.results.count1(), 1);
  EXPECT_EQ(doc.results.Line(1)[0].multiplicity, 8);
  EXPECT_EQ(std::tuple(doc.results.count2(), doc.results.countAll()), std::tuple(0, 1));  // no second line, no second list

  // A window holding only second-wavelength reflections: nothing changes.
  doc.experiment.lambda2 = 1.6;
  const double tt2 = TwoThetaDegrees(std::asin(1.6 / (2.0 * doc.cell.DSpacing(1, 1, 1))));
  doc.experiment.angleMin = tt2 - 0.01;
  doc.experiment.angleMax = tt2 + 0.01;
  EXPECT_EQ(doc.CalculateReflections(none), -1);
  EXPECT_EQ(doc.results.count1(), 1);
  EXPECT_EQ(doc.results.count2(), 0);
}

// Random cubic and tetragonal cells (no symmetry: Friedel pairs only);
// zinc blende with anomalous terms, whose Bijvoet mates (1 1 1) and
// (1 1 -1) make one line; a hexagonal atom, whose {1 0 0} holds (1 -1 0);
// the hexagonal cell typed with thirds to six decimals.
TEST(Search, GroupingFollowsTheRule) {
  std::mt19937 rng(11);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  for (int trial = 0; trial < 6; ++trial) {
    SCOPED_TRACE(trial);
    CKomorka doc;
    const bool hexagonal = trial >= 4;
    doc.crystal.latticeType = hexagonal ? kHexagonal : trial % 2 ? kTetragonal : kCubic;
    SetCell(doc.cell, 5.0, 5.0, trial % 2 ? 7.0 : 5.0, 90, 90, hexagonal ? 120 : 90);
    for (int i = 0; i < 4; ++i) doc.crystal.structureAtoms.push_back(MakeAtom("A", u(rng), u(rng), u(rng)));
    if (trial == 3) {
      doc.crystal.latticeType = kCubic | kFaceCentred;
      doc.crystal.structureAtoms = {MakeAtom("A", 0, 0, 0), MakeAtom("B", 0.25, 0.25, 0.25, 3.0)};
      doc.crystal.structureAtoms[1].fbis = 2.5;
    }
    if (trial == 4) doc.crystal.structureAtoms = {MakeAtom("A", 0, 0, 0)};
    if (trial == 5)
      doc.crystal.structureAtoms = {MakeAtom("A", 0.333333, 0.666667, 0.25), MakeAtom("A", 0.666667, 0.333333, 0.75)};
    doc.crystal.ExpandCellAtoms();
    doc.experiment.lambda2 = 0.0;
    NullProgress none;
    ASSERT_EQ(doc.CalculateReflections(none), 0);
    const Forms forms = hexagonal ? Forms::kHexagonal : trial == 3 ? Forms::kCubic : Forms::kFriedel;
    const std::vector<Reflection> want = Group(RecordsInRange(doc, doc.experiment.lambda1, 15), forms);
    ExpectSameGroups(want, doc.results.Line(1));
    if (trial == 3) {
      const std::vector<Reflection> line1 = doc.results.Line(1);
      const Reflection* r111 = Find(line1, 1, 1, 1);
      ASSERT_NE(r111, nullptr);
      EXPECT_EQ(r111->multiplicity, 8);
    }
  }
}

// A list long enough to be searched, sorted, grouped and rated in two
// halves at once (both lines, some 28 000 records each, indices up to 18
// where the search once stopped at 15; atoms enough for the search to take
// both threads) against the plain reference; intensities as rated one by
// one; the list text in pieces as in one.
TEST(Search, LongListsSplitAcrossThreadsEqualThePlainReference) {
  // With the pages of the run's large buffers handed on, as the command
  // line has them.
  KeepPagesOfLargeBuffers(true);
  struct Off {
    ~Off() { KeepPagesOfLargeBuffers(false); }
  } off;
  CKomorka doc;
  doc.crystal.latticeType = kCubic;
  SetCell(doc.cell, 15.0, 15.0, 15.0, 90, 90, 90);
  std::mt19937 rng(5);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  for (int i = 0; i < 64; ++i) doc.crystal.structureAtoms.push_back(MakeAtom("A", u(rng), u(rng), u(rng), 1.0 + i % 4));
  doc.crystal.ExpandCellAtoms();
  doc.experiment.lambda1 = 1.54056;
  doc.experiment.lambda2 = 1.54439;
  doc.experiment.angleMin = 5.0;
  doc.experiment.angleMax = 150.0;
  NullProgress none;
  ASSERT_EQ(doc.CalculateReflections(none), 0);
  EXPECT_EQ(KeptPagesBytes(), 0u);

  for (int line = 1; line <= 2; ++line) {
    SCOPED_TRACE(line);
    const std::vector<Reflection> records =
        RecordsInRange(doc, line == 1 ? doc.experiment.lambda1 : doc.experiment.lambda2, 20);
    ASSERT_GT(records.size(), 20000u);
    const std::vector<Reflection>& got = line == 1 ? doc.results.Line(1) : doc.results.Line(2);
    ExpectSameGroups(Group(records, Forms::kFriedel), got);
    for (size_t i = 0; i < got.size(); ++i) ASSERT_EQ(got[i].intensity, doc.GroupIntensity(got[i], line)) << i;
  }
  ASSERT_EQ(doc.results.reflectionsAll.size(), static_cast<size_t>(doc.results.count1() + doc.results.count2()));
  EXPECT_TRUE(std::is_sorted(doc.results.reflectionsAll.begin(), doc.results.reflectionsAll.end(), ReflectionBefore));

  for (const ReflectionFilter filter : {ReflectionFilter{true, false, false}, ReflectionFilter{false, true, true}}) {
    const std::string whole = FormatReflectionList(doc, filter);
    // Blocks that end inside and at the end of a round of threads, and a
    // block longer than the list, which the threads share.
    for (const auto& [threads, rows] : {std::pair{2u, 7001u}, std::pair{3u, 4096u}, std::pair{2u, 1000000u}}) {
      std::string joined;
      WriteReflectionListBlocks(
          doc, filter, threads,
          [&joined](std::string_view block) {
            joined += block;
            return true;
          },
          rows);
      EXPECT_EQ(joined, whole) << threads;
    }
  }
  // A write that fails stops the threads formatting ahead.
  int writes = 0;
  EXPECT_FALSE(WriteReflectionListBlocks(
      doc, ReflectionFilter{true, true, true}, 2, [&writes](std::string_view) { return ++writes < 3; }, 1000));
  EXPECT_EQ(writes, 3);
}

// Babinet's solvent scales every F by 1 - k exp(-B s^2), s = sin(theta) /
// lambda: strongly at low angles, hardly at high ones.
TEST(Search, BulkSolventScalesEachStructureFactor) {
  CKomorka doc;
  OneAtomCell(doc, kCubic | kFaceCentred, 30.0);
  doc.experiment.lambda2 = 0.0;
  doc.experiment.angleMin = 2.0;
  doc.experiment.angleMax = 30.0;
  NullProgress none;
  ASSERT_EQ(doc.CalculateReflections(none), 0);
  const std::vector<Reflection> vacuum = doc.results.Line(1);
  doc.experiment.solvent = {true, 0.8, 200.0};
  ASSERT_EQ(doc.CalculateReflections(none), 0);
  const std::vector<Reflection>& solvent = doc.results.Line(1);
  ASSERT_EQ(solvent.size(), vacuum.size());
  for (size_t i = 0; i < vacuum.size(); ++i) {
    const double s = std::sin(vacuum[i].theta) / doc.experiment.lambda1;
    const double g = 1.0 - 0.8 * std::exp(-200.0 * s * s);
    EXPECT_NEAR(solvent[i].reF, vacuum[i].reF * g, 1e-9 * std::fabs(vacuum[i].reF)) << i;
    EXPECT_NEAR(solvent[i].f2, vacuum[i].f2 * g * g, 1e-9 * vacuum[i].f2) << i;
  }
  // (1 1 1) at d = 17.3 A keeps a tenth of its |F|^2, the last line nearly all.
  const Reflection* first = Find(solvent, 1, 1, 1);
  ASSERT_NE(first, nullptr);
  EXPECT_NEAR(first->f2 / Find(vacuum, 1, 1, 1)->f2, 0.1042, 1e-4);
  EXPECT_GT(solvent.back().f2, 0.9 * vacuum.back().f2);
}

// Tables past their first blocks (some 90 000 groups): every group found,
// merged across tables, counted and summed once, and sorted in list order;
// appended groups the same.
TEST(Search, LargeGroupTablesKeepEveryGroup) {
  const ReflectionForms forms({ReflectionForms::Matrix{1, 0, 0, 0, 1, 0, 0, 0, 1}});
  std::mt19937 rng(17);
  std::uniform_int_distribution<int> coarse(1, 20000);
  std::vector<search::Found> records;
  for (int h = 1; h <= 45; ++h)
    for (int k = -20; k < 20; ++k)
      for (int l = 0; l < 50; ++l) {
        // Angles of four decimals or fewer: many records share one.
        const double theta = coarse(rng) * 1e-4;
        records.push_back({theta, 1.0 / theta, 0.0, 0.0, static_cast<double>(h + k + l), h, k, l});
      }
  // Indices past 511 in the last records as well (wide): runs of one angle
  // then mix the two ways of ordering equal angles.
  search::GroupTable a(&forms), b(&forms), appended(&forms), wide(&forms);
  std::vector<search::Found> wideRecords = records;
  for (size_t i = 0; i < records.size(); ++i) {
    (i % 3 ? a : b).Add(records[i]);
    a.Add(records[i]);
    search::Found twice = records[i];
    twice.f2 *= 2.0;
    appended.Append(twice, 2);
    if (i > records.size() / 2) wideRecords[i].h *= 12;
    wide.Append(wideRecords[i], 1);
  }
  a.MergeFrom(b);
  const auto expect = [](const search::GroupTable& t, std::vector<search::Found> want, int count) {
    std::sort(want.begin(), want.end(), search::FoundBefore);
    const auto order = t.Sorted();
    ASSERT_EQ(order.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
      ASSERT_EQ(std::tuple(order[i]->first.h, order[i]->first.k, order[i]->first.l, order[i]->count),
                std::tuple(want[i].h, want[i].k, want[i].l, count))
          << i;
      ASSERT_EQ(order[i]->first.f2, count * want[i].f2) << i;
    }
  };
  expect(a, records, 2);
  expect(appended, records, 2);
  expect(wide, wideRecords, 1);
}

// An exception on any thread (memory running out) ends the work and
// reaches the caller once every thread has stopped, instead of ending the
// program from a thread of its own.
TEST(Search, AnExceptionOnAnyThreadReachesTheCallerOnceAllStopped) {
  std::atomic<int> ran{0};
  EXPECT_THROW(search::OnThreads(3,
                                 [&](int t) {
                                   ++ran;
                                   if (t == 1) throw std::bad_alloc();
                                 }),
               std::bad_alloc);
  EXPECT_EQ(ran.load(), 3);
  EXPECT_THROW(search::OnThreads(2, [](int t) {
                 if (t == 0) throw std::runtime_error("here");
               }),
               std::runtime_error);

  // The list writer: a write that throws stops the threads formatting ahead
  // (which wait for room otherwise) and the exception comes out.
  CKomorka doc;
  OneAtomCell(doc, kCubic, 12.0);
  doc.experiment.lambda1 = 1.54056;
  doc.experiment.angleMin = 5.0;
  doc.experiment.angleMax = 150.0;
  NullProgress none;
  ASSERT_EQ(doc.CalculateReflections(none), 0);
  for (const int failAt : {1, 3}) {
    int writes = 0;
    EXPECT_THROW(WriteReflectionListBlocks(
                     doc, ReflectionFilter{true, true, true}, 3,
                     [&](std::string_view) {
                       if (++writes == failAt) throw std::bad_alloc();
                       return true;
                     },
                     4),
                 std::bad_alloc);
    EXPECT_EQ(writes, failAt);
  }
}

// A helper thread starts off its parent's processor and is then left free:
// a mask left narrowed would keep it from a core for the whole run.
TEST(Search, ThreadsStartedAwayKeepTheProcessorsTheyMayUse) {
  cpu_set_t before;
  ASSERT_EQ(sched_getaffinity(0, sizeof before, &before), 0);
  std::vector<cpu_set_t> seen(3);
  search::OnThreads(3, [&](int t) {
    sched_getaffinity(0, sizeof seen[static_cast<size_t>(t)], &seen[static_cast<size_t>(t)]);
  });
  for (const cpu_set_t& s : seen) EXPECT_TRUE(CPU_EQUAL(&s, &before));
  // Started from a thread held to one processor, a thread has nowhere else
  // to go: it starts there and keeps that mask.
  std::thread([&] {
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(sched_getcpu(), &one);
    ASSERT_EQ(sched_setaffinity(0, sizeof one, &one), 0);
    cpu_set_t inner;
    bool ran = false;
    AwayThread([&] {
      ran = true;
      sched_getaffinity(0, sizeof inner, &inner);
    }).Join();
    EXPECT_TRUE(ran);
    EXPECT_TRUE(CPU_EQUAL(&inner, &one));
  }).join();
}

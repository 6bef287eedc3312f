// A calculation run as the user starts it: cancel at any phase keeps the old
// results and pattern; a completed run is synthesised.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "TestUtil.h"
#include "diffractogram/PatternRun.h"
#include "documents/StructureFile.h"
#include "documents/OpenStructure.h"

using namespace pelmora;
using pelmora::test::CancelAtPhase;

namespace {

void OpenNaCl(CKomorka& doc) {
  std::vector<DocMessage> messages;
  ASSERT_TRUE(OpenStructureDocument(doc, PELMORA_EXAMPLES_DIR "/NaCl.xml", messages));
  if (doc.sourceRecord) doc.experiment.ApplySource(*doc.sourceRecord);
  if (doc.aparatRecord) doc.experiment.ApplyApparatus(*doc.aparatRecord);
}

bool SameGrid(const PatternGrid& a, const PatternGrid& b) {
  return a.maximum == b.maximum &&
         std::memcmp(a.points(), b.points(), sizeof(PatternPoint) * kPatternPoints) == 0;
}

}  // namespace

TEST(PatternRun, CancelAtEveryPhaseKeepsResultsAndPattern) {
  CKomorka doc;
  OpenNaCl(doc);
  PatternGrid grid;
  std::vector<PseudoVoigtInfo> info;
  SynthesisSetup setup;
  setup.pseudoVoigtInfo = &info;

  CancelAtPhase never("");
  ASSERT_EQ(RunPatternCalculation(doc, never, setup, grid).outcome, CalcOutcome::Ok);
  ASSERT_GT(grid.maximum, 0.0);
  EXPECT_FALSE(info.empty());
  const std::vector<Reflection> before = doc.results.reflectionsAll;
  const double maxBefore = doc.results.maxIntensity;
  PatternGrid kept;
  std::memcpy(kept.points(), grid.points(), sizeof(PatternPoint) * kPatternPoints);
  kept.maximum = grid.maximum;

  // A changed structure that is never installed: any leak would show.
  doc.cell.a = 5.9;
  doc.cell.RefreshCellMetric();
  for (const std::string phase : {"Wyszukiwanie refleksów", "Sortowanie refleksów", "Grupowanie refleksów",
                                  "Obliczanie natężenia"}) {
    SCOPED_TRACE(phase);
    CancelAtPhase cancel(phase);
    const PatternRunResult r = RunPatternCalculation(doc, cancel, setup, grid, &cancel.cancel);
    EXPECT_EQ(r.outcome, CalcOutcome::Cancel);
    EXPECT_EQ(cancel.statuses.back(), phase);  // no phase text once a cancel is pending
    ASSERT_EQ(doc.results.reflectionsAll.size(), before.size());
    EXPECT_EQ(doc.results.reflectionsAll.front().theta, before.front().theta);
    EXPECT_EQ(doc.results.maxIntensity, maxBefore);
    EXPECT_TRUE(SameGrid(grid, kept));
  }

  // The next run clears a flag left set and goes through.
  std::atomic<bool> stale{true};
  EXPECT_EQ(RunPatternCalculation(doc, never, setup, grid, &stale).outcome, CalcOutcome::Ok);
  EXPECT_NE(doc.results.reflectionsAll.front().theta, before.front().theta);
}

TEST(PatternRun, EmptyRangeEndsOkAndRefusedValuesNeverRun) {
  CKomorka doc;
  OpenNaCl(doc);
  PatternGrid grid;
  SynthesisSetup setup;
  CancelAtPhase never("");
  ASSERT_EQ(RunPatternCalculation(doc, never, setup, grid).outcome, CalcOutcome::Ok);
  const size_t count = doc.results.reflectionsAll.size();

  // No reflection between 1 and 2 degrees: the run ends with OK and the old
  // reflections are drawn again over the new range.
  doc.experiment.angleMin = 1.0;
  doc.experiment.angleMax = 2.0;
  const PatternRunResult empty = RunPatternCalculation(doc, never, setup, grid);
  EXPECT_EQ(empty.outcome, CalcOutcome::Ok);
  EXPECT_EQ(empty.calcResult, -1);
  EXPECT_EQ(doc.results.reflectionsAll.size(), count);
  EXPECT_FALSE(grid.snapshot.DiffersFrom(doc));

  // A grain size of zero would divide by zero in the widths: refused before the run.
  doc.experiment.angleMin = 10.0;
  doc.experiment.angleMax = 150.0;
  doc.experiment.gsize = 0.0;
  CancelAtPhase watch("");
  const PatternRunResult refused = RunPatternCalculation(doc, watch, setup, grid);
  EXPECT_FALSE(refused.refusal.empty());
  EXPECT_TRUE(watch.statuses.empty());
  setup.profile = kProfileStick;  // the stick needs no grain size, yet refuses a negative one
  EXPECT_TRUE(RunPatternCalculation(doc, watch, setup, grid).refusal.empty());
  doc.experiment.gsize = -100.0;
  EXPECT_NE(RunPatternCalculation(doc, watch, setup, grid).refusal.find("gsize"), std::string::npos);
}

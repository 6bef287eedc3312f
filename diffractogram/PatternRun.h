// One calculation, the same for every front end: PrepareRun refuses the
// values or prepares the profile, the reflections are calculated on a worker
// thread with progress and cancel (the GUI's progress dialog or the runner
// below), and FinishRun synthesises a run that ended with OK over the
// document's range on the calling thread (where plug-ins must be called).
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "diffractogram/PatternSynthesis.h"
#include "engine/CalculationRunner.h"

namespace pelmora {

// Before a calculation the user starts: a usable profile plug-in's
// pelmora_ProfileInit, or for the pseudo-Voigt an emptied info list.
void PrepareProfile(const SynthesisSetup& setup);

// The refusal of the document's values with this profile (nothing is
// touched then); empty when the run may start, and the profile is prepared.
std::string PrepareRun(const CKomorka& doc, const SynthesisSetup& setup);

// After a run that ended with OK: rewrites `grid` from the document's
// reflections over its range.
SynthesisReport FinishRun(const SynthesisSetup& setup, CKomorka& doc, PatternGrid& grid);

struct PatternRunResult {
  std::string refusal;  // non-empty: the values were refused, nothing ran
  CalcOutcome outcome = CalcOutcome::Cancel;
  std::string failure;  // with Failed: why, for the user
  int calcResult = -1;  // CalculateReflections' result (-1 also when nothing was found)
  SynthesisReport synthesis;
};

// PrepareRun, then runs the calculation on a worker and
// waits; on OK FinishRun. On Cancel the document's results and the
// grid stay as they were. Setting `*cancel` (cleared at the start) from
// another thread stops the run; null for a run nobody cancels.
PatternRunResult RunPatternCalculation(CKomorka& doc, CalcProgress& progress, const SynthesisSetup& setup,
                                       PatternGrid& grid, std::atomic<bool>* cancel = nullptr);

// The reflections alone, for a list without a pattern: the same refusals
// but the profile's, the same run; nothing is synthesised.
PatternRunResult RunReflectionCalculation(CKomorka& doc, CalcProgress& progress, std::atomic<bool>* cancel = nullptr);

}  // namespace pelmora

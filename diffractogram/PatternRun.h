// One calculation the way the user starts it, without the dialog: the
// profile is prepared, the reflections are calculated on a worker thread
// with progress and cancel, and a run that ends with OK is synthesised over
// the document's range on the calling thread (where plug-ins must be called).
// The GUI does the same steps itself around its progress dialog.
#pragma once

#include <string>
#include <vector>

#include "diffractogram/PatternSynthesis.h"
#include "engine/CalculationRunner.h"

namespace pelmora {

// Before a calculation the user starts: a usable profile plug-in's
// pelmora_ProfileInit, or for the pseudo-Voigt an emptied info list.
void PrepareProfile(const SynthesisSetup& setup);

struct PatternRunResult {
  std::string refusal;  // non-empty: the values were refused, nothing ran
  CalcOutcome outcome = CalcOutcome::Cancel;
  int calcResult = -1;  // CalculateReflections' result (-1 also when nothing was found)
  SynthesisReport synthesis;
};

// Validates, prepares the profile, runs the calculation on a worker and
// waits; on OK rewrites `grid`. On Cancel the document's results and the
// grid stay as they were.
PatternRunResult RunPatternCalculation(CKomorka& doc, CalcProgress& progress, const SynthesisSetup& setup,
                                       PatternGrid& grid);

}  // namespace pelmora

#include "diffractogram/PatternRun.h"

#include "plugins/PluginLists.h"

namespace pelmora {

void PrepareProfile(const SynthesisSetup& setup) {
  if (setup.profile == kProfilePseudoVoigt) {
    if (setup.pseudoVoigtInfo) setup.pseudoVoigtInfo->clear();
  } else if (setup.profile >= 0 && setup.plugins) {
    CallProfileInit(*setup.plugins, setup.profile);
  }
}

PatternRunResult RunPatternCalculation(CKomorka& doc, CalcProgress& progress, const SynthesisSetup& setup,
                                       PatternGrid& grid) {
  PatternRunResult result;
  result.refusal = ValidateRun(doc, setup.profile);
  if (!result.refusal.empty()) return result;
  PrepareProfile(setup);
  CalculationRunner runner;
  runner.Start(doc, progress, [&result](int r, bool) { result.calcResult = r; });
  result.outcome = runner.Finish();
  if (result.outcome == CalcOutcome::Ok)
    result.synthesis = Synthesize(setup, doc, doc.angleMin, doc.angleMax, grid);
  return result;
}

}  // namespace pelmora

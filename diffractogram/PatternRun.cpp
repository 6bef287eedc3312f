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

std::string PrepareRun(const CKomorka& doc, const SynthesisSetup& setup) {
  std::string refusal = ValidateRun(doc, setup.profile);
  if (refusal.empty()) PrepareProfile(setup);
  return refusal;
}

SynthesisReport FinishRun(const SynthesisSetup& setup, CKomorka& doc, PatternGrid& grid) {
  return Synthesize(setup, doc, doc.experiment.angleMin, doc.experiment.angleMax, grid);
}

namespace {

// The worker run both front ends wait for, once the values are accepted.
void RunOnWorker(CKomorka& doc, CalcProgress& progress, std::atomic<bool>* cancel, PatternRunResult& result) {
  std::atomic<bool> never{false};
  CalculationRunner runner;
  runner.Start(doc, progress, cancel ? *cancel : never, [&result](int r, bool) { result.calcResult = r; });
  result.outcome = runner.Finish();
  result.failure = runner.Failure();
}

}  // namespace

PatternRunResult RunPatternCalculation(CKomorka& doc, CalcProgress& progress, const SynthesisSetup& setup,
                                       PatternGrid& grid, std::atomic<bool>* cancel) {
  PatternRunResult result;
  result.refusal = PrepareRun(doc, setup);
  if (!result.refusal.empty()) return result;
  RunOnWorker(doc, progress, cancel, result);
  if (result.outcome == CalcOutcome::Ok) result.synthesis = FinishRun(setup, doc, grid);
  return result;
}

PatternRunResult RunReflectionCalculation(CKomorka& doc, CalcProgress& progress, std::atomic<bool>* cancel) {
  PatternRunResult result;
  result.refusal = doc.ValidateCalculation();
  if (result.refusal.empty()) RunOnWorker(doc, progress, cancel, result);
  return result;
}

}  // namespace pelmora

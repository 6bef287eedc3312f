// Timing of the calculation as the command line runs it.
#include <benchmark/benchmark.h>

#include "LargeCase.h"
#include "diffractogram/PatternRun.h"

using namespace pelmora;

// Case LARGE through RunReflectionCalculation: the values checked, then the
// calculation on a worker thread, what `pelmora-cli calc` does before it
// writes the list (and what the Python module's reflections() runs).
static void BM_RunReflectionCalculation_Large(benchmark::State& state) {
  CKomorka doc;
  bench::BuildLargeCase(doc);
  NullProgress none;
  for (auto _ : state) {
    const PatternRunResult run = RunReflectionCalculation(doc, none);
    if (run.outcome != CalcOutcome::Ok || !run.refusal.empty()) state.SkipWithError("the run failed");
  }
  state.counters["groups"] = doc.results.countAll();
}
BENCHMARK(BM_RunReflectionCalculation_Large)->Unit(benchmark::kMillisecond)->UseRealTime();

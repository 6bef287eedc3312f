// Timing of the calculation where its size is the point: NaCl in cells of
// 60 and 120 A (some 1.5e6 and 1.2e7 reflections before grouping) and 2000
// atoms in a 40 A cell. One iteration each: a run takes seconds.
#include <benchmark/benchmark.h>

#include "LargeCase.h"
#include "documents/OpenStructure.h"

using namespace pelmora;

static void BM_CalculateReflections_NaClCell(benchmark::State& state) {
  CKomorka doc;
  std::vector<DocMessage> messages;
  OpenStructureDocument(doc, PELMORA_EXAMPLES_DIR "/NaCl.xml", messages);
  doc.cell.a = doc.cell.b = doc.cell.c = static_cast<double>(state.range(0));
  NullProgress none;
  for (auto _ : state) doc.CalculateReflections(none);
  state.counters["groups"] = doc.results.countAll();
}
BENCHMARK(BM_CalculateReflections_NaClCell)->Arg(60)->Arg(120)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

static void BM_CalculateReflections_2000Atoms(benchmark::State& state) {
  CKomorka doc;
  bench::BuildLargeCase(doc, 2000, 40.0);
  NullProgress none;
  for (auto _ : state) doc.CalculateReflections(none);
  state.counters["groups"] = doc.results.countAll();
}
BENCHMARK(BM_CalculateReflections_2000Atoms)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

// Timing of the whole reflection calculation.
#include <benchmark/benchmark.h>

#include "LargeCase.h"
#include "documents/StructureFile.h"

using namespace pelmora;

static void BM_CalculateReflections_Large(benchmark::State& state) {
  CKomorka doc;
  bench::BuildLargeCase(doc);
  NullProgress none;
  for (auto _ : state) {
    doc.CalculateReflections(none);
  }
  state.counters["records"] = static_cast<double>([&] {
    long n = 0;
    for (const Reflection& r : doc.reflections1) n += r.multiplicity;
    return n;
  }());
  state.counters["groups"] = doc.count1();
}
BENCHMARK(BM_CalculateReflections_Large)->Unit(benchmark::kMillisecond)->UseRealTime();

static void BM_CalculateReflections_NaCl(benchmark::State& state) {
  CKomorka doc;
  std::vector<DocMessage> messages;
  OpenStructureDocument(doc, PELMORA_EXAMPLES_DIR "/NaCl.xml", messages);
  NullProgress none;
  for (auto _ : state) {
    doc.CalculateReflections(none);
  }
  state.counters["groups"] = doc.countAll();
}
BENCHMARK(BM_CalculateReflections_NaCl)->Unit(benchmark::kMicrosecond)->UseRealTime();

// The plain structure-factor loop over the same reflections, for scale.
static void BM_PlainStructureFactors_Large(benchmark::State& state) {
  CKomorka doc;
  bench::BuildLargeCase(doc);
  NullProgress none;
  doc.CalculateReflections(none);
  for (auto _ : state) {
    double sum = 0, re, im;
    for (const Reflection& r : doc.reflections1) sum += doc.StructureFactor(r.h, r.k, r.l, r.theta, doc.lambda1, re, im);
    benchmark::DoNotOptimize(sum);
  }
}
BENCHMARK(BM_PlainStructureFactors_Large)->Unit(benchmark::kMillisecond)->UseRealTime();

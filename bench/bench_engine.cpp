// Timing of the whole reflection calculation.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "LargeCase.h"
#include "documents/StructureFile.h"
#include "documents/OpenStructure.h"
#include "engine/ReflectionExport.h"

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
    for (const Reflection& r : doc.results.Line(1)) n += r.multiplicity;
    return n;
  }());
  state.counters["groups"] = doc.results.count1();
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
  state.counters["groups"] = doc.results.countAll();
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
    for (const Reflection& r : doc.results.Line(1))
      sum += doc.StructureFactor(r.h, r.k, r.l, r.theta, doc.experiment.lambda1, re, im);
    benchmark::DoNotOptimize(sum);
  }
}
BENCHMARK(BM_PlainStructureFactors_Large)->Unit(benchmark::kMillisecond)->UseRealTime();

// The reflection list text of case LARGE, on one thread and two.
static void BM_FormatReflectionList_Large(benchmark::State& state) {
  CKomorka doc;
  bench::BuildLargeCase(doc);
  NullProgress none;
  doc.CalculateReflections(none);
  const ReflectionFilter filter;
  for (auto _ : state) {
    size_t bytes = 0;
    WriteReflectionListBlocks(doc, filter, static_cast<unsigned>(state.range(0)), [&bytes](std::string_view block) {
      bytes += block.size();
      return true;
    });
    benchmark::DoNotOptimize(bytes);
  }
}
BENCHMARK(BM_FormatReflectionList_Large)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

// Reading case LARGE's structure file (400 atoms).
static void BM_OpenStructureFile_Large(benchmark::State& state) {
  CKomorka large;
  bench::BuildLargeCase(large);
  const std::string path = (std::filesystem::temp_directory_path() / "pelmora_bench_large.xml").string();
  std::string error;
  if (!SaveStructureFile(large, path, &error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  for (auto _ : state) {
    CKomorka doc;
    std::vector<DocMessage> messages;
    benchmark::DoNotOptimize(OpenStructureDocument(doc, path, messages));
  }
  std::remove(path.c_str());
}
BENCHMARK(BM_OpenStructureFile_Large)->Unit(benchmark::kMillisecond);

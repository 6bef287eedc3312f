// Pattern synthesis speed: case LARGE (cubic P, a = 25 A, 400 atoms, Cu Ka1,
// 5-150 degrees) and NaCl, pseudo-Voigt, with a plug-in profile for comparison.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "LargeCase.h"
#include "diffractogram/PatternSynthesis.h"
#include "documents/StructureFile.h"
#include "documents/OpenStructure.h"
#include "plugins/PluginLists.h"

using namespace pelmora;

namespace {

void SetInstrument(CKomorka& doc) {
  doc.experiment.u = 0.01;
  doc.experiment.v = -0.005;
  doc.experiment.w = 0.003;
  doc.experiment.x = 0.02;
  doc.experiment.y = 0.01;
  doc.experiment.gsize = 1000.0;
}

std::unique_ptr<CKomorka> BuildLarge() {
  auto doc = std::make_unique<CKomorka>();
  bench::BuildLargeCase(*doc);
  SetInstrument(*doc);
  NullProgress progress;
  doc->CalculateReflections(progress);
  return doc;
}

CKomorka& Large() {
  static std::unique_ptr<CKomorka> doc = BuildLarge();
  return *doc;
}

CKomorka& NaCl() {
  static std::unique_ptr<CKomorka> doc = [] {
    auto d = std::make_unique<CKomorka>();
    std::vector<DocMessage> messages;
    OpenStructureDocument(*d, PELMORA_EXAMPLES_DIR "/NaCl.xml", messages);
    if (d->sourceRecord) d->experiment.ApplySource(*d->sourceRecord);
    if (d->aparatRecord) d->experiment.ApplyApparatus(*d->aparatRecord);
    SetInstrument(*d);
    NullProgress progress;
    d->CalculateReflections(progress);
    return d;
  }();
  return *doc;
}

void Run(benchmark::State& state, CKomorka& doc, ProfileId profile, const PluginTable* plugins = nullptr) {
  PatternGrid grid;
  std::vector<PseudoVoigtInfo> info;
  info.reserve(doc.results.reflectionsAll.size());
  SynthesisSetup setup;
  setup.profile = profile;
  setup.pseudoVoigtInfo = &info;
  setup.plugins = plugins;
  for (auto _ : state) {
    info.clear();  // the application empties the list before each run
    Synthesize(setup, doc, doc.experiment.angleMin, doc.experiment.angleMax, grid);
    benchmark::DoNotOptimize(grid.maximum);
  }
  state.counters["reflections"] = static_cast<double>(doc.results.reflectionsAll.size());
}

void BM_SynthesisLargePseudoVoigt(benchmark::State& state) { Run(state, Large(), kProfilePseudoVoigt); }
void BM_SynthesisLargeGauss(benchmark::State& state) { Run(state, Large(), kProfileGauss); }
void BM_SynthesisNaClPseudoVoigt(benchmark::State& state) { Run(state, NaCl(), kProfilePseudoVoigt); }

// A plug-in profile is called per reflection and grid point, without the
// grouping of equal peaks that the built-in profiles allow.
void BM_SynthesisNaClPearsonPlugin(benchmark::State& state) {
  PluginTable table;
  ScanPlugins(PELMORA_PLUGINS_DIR, table);
  const ProfileId id = SelectProfile(BuildProfileList(table), "Pearson VII");
  if (id < 0) {
    state.SkipWithError("Pearson VII plug-in not built");
    return;
  }
  Run(state, NaCl(), id, &table);
}

}  // namespace

BENCHMARK(BM_SynthesisLargePseudoVoigt)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SynthesisLargeGauss)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SynthesisNaClPseudoVoigt)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SynthesisNaClPearsonPlugin)->Unit(benchmark::kMicrosecond);

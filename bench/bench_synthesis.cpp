// Pattern synthesis speed: case LARGE (cubic P, a = 25 A, 400 atoms, Cu Ka1,
// 5-150 degrees) and NaCl, pseudo-Voigt, with a plug-in profile for comparison.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "diffractogram/PatternSynthesis.h"
#include "documents/StructureFile.h"

using namespace pelmora;

namespace {

void SetInstrument(CKomorka& doc) {
  doc.u = 0.01;
  doc.v = -0.005;
  doc.w = 0.003;
  doc.x = 0.02;
  doc.y = 0.01;
  doc.gsize = 1000.0;
}

std::unique_ptr<CKomorka> BuildLarge() {
  auto doc = std::make_unique<CKomorka>();
  doc->latticeType = kCubic;
  doc->a = doc->b = doc->c = 25.0;
  doc->alfa = doc->beta = doc->gamma = 90.0;
  doc->RefreshCellMetric();
  // Cromer-Mann coefficients of Si, Fe, Ti and O.
  const struct {
    const char* name;
    int nr;
    ScatteringFactors f;
  } kinds[4] = {
      {"Si", 14, {4.1491, 1.1407, 6.2915, 3.0353, 1.9891, 1.541, 2.4386, 32.3337, 0.6785, 81.6937, 0.2437, 0.3302}},
      {"Fe", 26, {9.45, 1.0369, 11.7695, 7.3573, 3.5222, 2.3045, 4.7611, 0.3072, 15.3535, 76.8805, -1.1792, 3.1975}},
      {"Ti", 22, {-3.438, 1.2807, 9.7595, 7.3558, 1.6991, 1.9021, 7.8508, 0.5, 35.6338, 116.105, 0.189, 1.8069}},
      {"O", 8, {5.803, 0.2508, 3.0485, 2.2868, 1.5463, 0.867, 13.2771, 5.7011, 0.3239, 32.9089, 0.0464, 0.0322}},
  };
  std::uint32_t seed = 12345;  // fixed positions: every run measures the same structure
  auto next = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return (seed >> 8) / 16777216.0;
  };
  for (int i = 0; i < 400; ++i) {
    AtomSite atom;
    atom.factors() = kinds[i % 4].f;
    atom.name = kinds[i % 4].name;
    atom.nr = kinds[i % 4].nr;
    atom.x = next();
    atom.y = next();
    atom.z = next();
    doc->structureAtoms.push_back(atom);
  }
  doc->ExpandCellAtoms();
  doc->radiation = 0;
  doc->SetLambda1(1.54056);
  doc->SetLambda2(0.0);
  doc->ratio = 0.0;
  doc->angleMin = 5.0;
  doc->angleMax = 150.0;
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
    if (d->sourceRecord) d->ApplySource(*d->sourceRecord);
    if (d->aparatRecord) d->ApplyApparatus(*d->aparatRecord);
    SetInstrument(*d);
    NullProgress progress;
    d->CalculateReflections(progress);
    return d;
  }();
  return *doc;
}

void Run(benchmark::State& state, CKomorka& doc, ProfileId profile) {
  PatternGrid grid;
  std::vector<PseudoVoigtInfo> info;
  info.reserve(doc.reflectionsAll.size());
  SynthesisSetup setup;
  setup.profile = profile;
  setup.pseudoVoigtInfo = &info;
  for (auto _ : state) {
    info.clear();  // the application empties the list before each run
    Synthesize(setup, doc, doc.angleMin, doc.angleMax, grid);
    benchmark::DoNotOptimize(grid.maximum);
  }
  state.counters["reflections"] = static_cast<double>(doc.reflectionsAll.size());
}

void BM_SynthesisLargePseudoVoigt(benchmark::State& state) { Run(state, Large(), kProfilePseudoVoigt); }
void BM_SynthesisLargeGauss(benchmark::State& state) { Run(state, Large(), kProfileGauss); }
void BM_SynthesisNaClPseudoVoigt(benchmark::State& state) { Run(state, NaCl(), kProfilePseudoVoigt); }

}  // namespace

BENCHMARK(BM_SynthesisLargePseudoVoigt)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SynthesisLargeGauss)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SynthesisNaClPseudoVoigt)->Unit(benchmark::kMicrosecond);

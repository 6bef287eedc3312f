// The Rietveld refinement of the round robin's PbSO4 X-ray pattern (6001
// points, 10-160 degrees) from anglesite's single-crystal structure, with
// every kind of value that pattern can carry refined (38 values): the time a
// user waits for `pelmora-cli fit ... --refine scale,zero,background,uvw,xy,
// cell,positions,biso,asymmetry,displacement`. The data are those the test
// fetches (scripts/fetch-test-data.sh); PELMORA_PBSO4_DIR names another
// folder holding xray.dat and PbSO4-Anglesite.cif.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "documents/CifImport.h"
#include "io/AtomicFile.h"
#include "measured/Refinement.h"
#include "refdata/ReferenceData.h"

namespace pelmora {
namespace {

std::string DataDir() {
  const char* dir = std::getenv("PELMORA_PBSO4_DIR");
  return dir ? dir : PELMORA_BUILD_DIR "/tests/cli-refine/pbso4";
}

void BM_RefinePbSO4Xray(benchmark::State& state) {
  const std::string dir = DataDir();
  std::string cif;
  ReferenceData tables;
  tables.dataDir = PELMORA_SOURCE_DIR "/Data";
  tables.LoadScatteringTables();
  auto doc = std::make_unique<CKomorka>();
  std::vector<DocMessage> messages;
  RefinementPattern pattern;
  std::string error;
  if (!ReadWholeFile(dir + "/PbSO4-Anglesite.cif", cif) || !ImportCifText(*doc, cif, tables.elements, messages) ||
      !ReadMeasuredFile(dir + "/xray.dat", pattern.data, &error)) {
    state.SkipWithError(("no PbSO4 data in " + dir + " (run ctest -R cli_refine_pbso4 first)").c_str());
    return;
  }
  pattern.experiment = doc->experiment;
  pattern.experiment.radiation = 0;
  pattern.experiment.lambda1 = 1.540562, pattern.experiment.lambda2 = 1.544390, pattern.experiment.ratio = 0.5;
  pattern.experiment.angleMin = 10, pattern.experiment.angleMax = 160;
  pattern.monochromator = 26.6;
  pattern.backgroundTerms = 10;
  RefinementSetup setup;
  setup.patterns = {pattern};
  setup.phases = {RefinementPhase{"anglesite", doc.get(), false, std::nullopt}};
  setup.refine = kFitScale | kFitZero | kFitBackground | kFitWidths | kFitLorentz | kFitCell | kFitPositions |
                 kFitBiso | kFitAsymmetry | kFitDisplacement;
  int values = 0;
  double rwp = 0;
  for (auto _ : state) {
    std::unique_ptr<Refinement> ref = Refinement::Create(setup, &error);
    const RefinementOutcome r = ref->Run();
    values = r.refined;
    rwp = r.rwp;
    benchmark::DoNotOptimize(r.chi2);
  }
  state.counters["values"] = values;
  state.counters["Rwp"] = rwp;
}
BENCHMARK(BM_RefinePbSO4Xray)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

}  // namespace
}  // namespace pelmora

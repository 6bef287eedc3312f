// Start-up cost of the reference data and of opening an older input file.
#include <benchmark/benchmark.h>

#include <string>

#include "io/AtomicFile.h"
#include "documents/TolvoInputFile.h"
#include "refdata/ReferenceData.h"

namespace pelmora {
namespace {

const std::string kData = std::string(PELMORA_EXAMPLES_DIR) + "/../Data";

// All five shipped files, as the application reads them at start-up.
void BM_LoadShippedReferenceData(benchmark::State& state) {
  for (auto _ : state) {
    ReferenceData ref;
    ref.dataDir = kData;
    benchmark::DoNotOptimize(ref.LoadAll({1.54059, 1.54436, 0.5, "Cu", 0}, {}));
    benchmark::DoNotOptimize(ref.anomalTables.size());
  }
}
BENCHMARK(BM_LoadShippedReferenceData)->Unit(benchmark::kMillisecond);

// What pelmora-cli reads for a structure file: the source and instrument
// tables only.
void BM_LoadSourceTables(benchmark::State& state) {
  for (auto _ : state) {
    ReferenceData ref;
    ref.dataDir = kData;
    benchmark::DoNotOptimize(ref.LoadSourceTables({1.54059, 1.54436, 0.5, "Cu", 0}, {}));
    benchmark::DoNotOptimize(ref.sources.size());
  }
}
BENCHMARK(BM_LoadSourceTables)->Unit(benchmark::kMicrosecond);

// The importer on a file with the largest atom list it reads (1999 lines).
void BM_ImportLargestOlderInputFile(benchmark::State& state) {
  std::string text =
      "TolvoInputFile\nduzy\n#\nopis\n#\nprosta\n#\n90,90,90\n#\n10,10,10\n#\n1\n#\n0\n#\n0\n#\n1999\n#\n";
  for (int i = 0; i < 1999; ++i)
    text += "Fe 0.123456 0.234567 0.345678 9.45 1.0369 11.7695 7.3573 3.5222 2.3045 4.7611 0.3072 15.3535 "
            "76.8805 0\n";
  for (auto _ : state) {
    CKomorka doc;
    benchmark::DoNotOptimize(ImportTolvoText(doc, text));
  }
}
BENCHMARK(BM_ImportLargestOlderInputFile)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace pelmora

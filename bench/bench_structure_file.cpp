// Reading a structure file: what a run of a large cell does on one thread
// before anything else can start.
#include <benchmark/benchmark.h>

#include "LargeCase.h"
#include "documents/StructureFile.h"

using namespace pelmora;

// The file of 2000 atoms in a = 40 A (800 KB), read from memory.
static void BM_ReadStructureBytes_2000(benchmark::State& state) {
  CKomorka made;
  bench::BuildLargeCase(made, 2000, 40.0);
  const std::string bytes = FormatStructureFile(made, "");
  for (auto _ : state) {
    CKomorka doc;
    std::vector<DocMessage> messages;
    if (ReadStructureBytes(doc, bytes, messages) != StructureReadStatus::kOk) state.SkipWithError("not read");
    benchmark::DoNotOptimize(doc.crystal.structureAtoms.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_ReadStructureBytes_2000)->Unit(benchmark::kMillisecond)->UseRealTime();

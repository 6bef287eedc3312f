// libFuzzer target for one reference file reader (PELMORA_REF_KIND picks
// which): read, write, read the written text and write it again; the two
// texts must agree and the capacities must hold.
#include <cstddef>
#include <cstdint>
#include <string>

#include "io/XmlUtil.h"
#include "refdata/ReferenceFiles.h"

namespace {

using namespace pelmora;

#define PELMORA_SOURCE 1
#define PELMORA_APARAT 2
#define PELMORA_IONS 3
#define PELMORA_IZOS 4
#define PELMORA_ANOMALS 5

#if PELMORA_REF_KIND == PELMORA_SOURCE
using Table = std::vector<RadiationSource>;
RefFileResult Load(xmlDoc* d, Table& t) {
  t.resize(1);  // entry 0 stands for the settings
  return LoadSourcesXml(d, t);
}
std::string Format(const Table& t) { return FormatSources(t); }
bool Within(const Table& t) { return t.size() <= kMaxSources; }
#elif PELMORA_REF_KIND == PELMORA_APARAT
using Table = std::vector<ApparatusSet>;
RefFileResult Load(xmlDoc* d, Table& t) {
  t.resize(1);
  return LoadApparatusXml(d, t);
}
std::string Format(const Table& t) { return FormatApparatusSets(t); }
bool Within(const Table& t) { return t.size() <= kMaxApparatusSets; }
#elif PELMORA_REF_KIND == PELMORA_IONS || PELMORA_REF_KIND == PELMORA_IZOS
using Table = ElementTable;
#if PELMORA_REF_KIND == PELMORA_IONS
RefFileResult Load(xmlDoc* d, Table& t) { return LoadIonsXml(d, t); }
std::string Format(const Table& t) { return FormatIons(t); }
#else
RefFileResult Load(xmlDoc* d, Table& t) { return LoadIsotopesXml(d, t); }
std::string Format(const Table& t) { return FormatIsotopes(t); }
#endif
bool Within(const Table& t) {
  for (int nr = 1; nr <= ElementTable::kElementCount; ++nr) {
    const ElementEntry& e = t.Entry(nr);
    if (e.ionCount() > ElementTable::kMaxTabulated || e.isotopeCount() > ElementTable::kMaxTabulated) return false;
    if (e.defaultIon < 0 || (e.ionCount() > 0 && e.defaultIon >= e.ionCount())) return false;
    if (e.defaultIsotope < 0 || (e.isotopeCount() > 0 && e.defaultIsotope >= e.isotopeCount())) return false;
  }
  return t.Entry(119).ionCount() == 0 && t.Entry(119).isotopeCount() == 0;
}
#elif PELMORA_REF_KIND == PELMORA_ANOMALS
using Table = std::vector<AnomalTable>;
RefFileResult Load(xmlDoc* d, Table& t) { return LoadAnomalsXml(d, t); }
std::string Format(const Table& t) { return FormatAnomalTables(t); }
bool Within(const Table& t) { return t.size() <= kMaxAnomalTables; }
#else
#error "PELMORA_REF_KIND names no reference file"
#endif

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  XmlDocPtr doc = ParseXmlBytes(std::string(reinterpret_cast<const char*>(data), size));
  if (!doc) return 0;
  Table first;
  Load(doc.get(), first);
  if (!Within(first)) __builtin_trap();
  const std::string text = Format(first);
  XmlDocPtr written = ParseXmlBytes(text);
  if (!written) __builtin_trap();  // what we write must parse
  Table second;
  Load(written.get(), second);
  if (Format(second) != text) __builtin_trap();
  return 0;
}

#include "refdata/ReferenceData.h"

#include <filesystem>

#include "engine/Komorka.h"

namespace pelmora {
namespace {

template <typename T>
int JoinAtHead(const T& record, std::vector<T>& list, std::vector<T>& displaced, size_t capacity) {
  list.insert(list.begin(), record);
  if (list.size() > 1 && !list[1].name.empty() && list[1].name[0] == '@') list.erase(list.begin() + 1);
  int gaveWay = 0;
  while (list.size() > capacity) {
    displaced.push_back(std::move(list.back()));
    list.pop_back();
    ++gaveWay;
  }
  while (list.size() < capacity && !displaced.empty()) {
    list.push_back(std::move(displaced.back()));
    displaced.pop_back();
  }
  return gaveWay;
}

// The table as its file holds it: with the entries that gave way in memory.
template <typename T>
std::vector<T> WithDisplaced(const std::vector<T>& list, const std::vector<T>& displaced) {
  std::vector<T> all = list;
  all.insert(all.end(), displaced.rbegin(), displaced.rend());
  return all;
}

void Report(const RefFileResult& r, const std::string& path, std::vector<std::string>& messages) {
  if (r.leftOut > 0) messages.push_back(LeftOutMessage(path, r.leftOut));
}

}  // namespace

std::string ReferenceData::PathOf(const char* fileName) const {
  return (std::filesystem::path(dataDir) / fileName).string();
}

std::vector<std::string> ReferenceData::LoadScatteringTables() {
  std::vector<std::string> messages = LoadIonsAndIsotopes();
  Report(LoadAnomalTables(PathOf(kAnomalFile), anomalTables), PathOf(kAnomalFile), messages);
  return messages;
}

std::vector<std::string> ReferenceData::LoadIonsAndIsotopes() {
  std::vector<std::string> messages;
  Report(LoadIons(PathOf(kIonFile), elements), PathOf(kIonFile), messages);
  Report(LoadIsotopes(PathOf(kIsotopeFile), elements), PathOf(kIsotopeFile), messages);
  return messages;
}

std::vector<std::string> ReferenceData::LoadSourceTables(const RadiationSource& currentSource,
                                                         const ApparatusSet& currentSet) {
  std::vector<std::string> messages;
  sources.assign(1, SettingsSourceEntry(currentSource));
  apparatusSets.assign(1, SettingsApparatusEntry(currentSet));
  Report(LoadSources(PathOf(kSourceFile), sources), PathOf(kSourceFile), messages);
  Report(LoadApparatusSets(PathOf(kApparatusFile), apparatusSets), PathOf(kApparatusFile), messages);
  return messages;
}

std::vector<std::string> ReferenceData::LoadAll(const RadiationSource& currentSource, const ApparatusSet& currentSet) {
  std::vector<std::string> messages = LoadScatteringTables();
  for (std::string& m : LoadSourceTables(currentSource, currentSet)) messages.push_back(std::move(m));
  return messages;
}

const AnomalTable* ReferenceData::AnomalAt(int index) const {
  return index >= 0 && index < anomalCount() ? &anomalTables[static_cast<size_t>(index)] : nullptr;
}

const AnomalTable* ReferenceData::AnomalByName(const std::string& name) const {
  for (const AnomalTable& t : anomalTables)
    if (t.name == name) return &t;
  return nullptr;
}

bool ReferenceData::SaveSourceTable(std::string* error) const {
  return SaveSources(PathOf(kSourceFile), WithDisplaced(sources, displacedSources), error);
}

bool ReferenceData::SaveApparatusTable(std::string* error) const {
  return SaveApparatusSets(PathOf(kApparatusFile), WithDisplaced(apparatusSets, displacedSets), error);
}

bool ReferenceData::SaveIonsAndIsotopes(std::string* error) {
  referenceModified = false;
  const bool saved =
      SaveIsotopes(PathOf(kIsotopeFile), elements, error) && SaveIons(PathOf(kIonFile), elements, error);
  // A failed write leaves the edits unsaved: keep them marked so that the
  // user can try again.
  if (!saved) referenceModified = true;
  return saved;
}

bool ReferenceData::SaveAnomals(std::string* error) const {
  return SaveAnomalTables(PathOf(kAnomalFile), anomalTables, error);
}

bool ReferenceData::SaveUnsavedTables(std::string* error) {
  bool ok = true;
  const auto save = [&](bool& mark, const auto& write) {
    if (!mark) return;
    std::string why;
    if (write(&why)) {
      mark = false;
    } else {
      if (ok && error) *error = why;
      ok = false;
    }
  };
  save(sourcesModified, [this](std::string* e) { return SaveSourceTable(e); });
  save(apparatusModified, [this](std::string* e) { return SaveApparatusTable(e); });
  save(anomalsModified, [this](std::string* e) { return SaveAnomals(e); });
  if (referenceModified) {
    std::string why;
    if (!SaveIonsAndIsotopes(&why)) {
      if (ok && error) *error = why;
      ok = false;
    }
  }
  return ok;
}

int JoinDocumentRecords(const CKomorka& doc, std::vector<RadiationSource>& sources, std::vector<ApparatusSet>& sets,
                        std::vector<RadiationSource>& displacedSources, std::vector<ApparatusSet>& displacedSets) {
  int gaveWay = 0;
  if (doc.sourceRecord) gaveWay += JoinAtHead(*doc.sourceRecord, sources, displacedSources, kMaxSources);
  if (doc.aparatRecord) gaveWay += JoinAtHead(*doc.aparatRecord, sets, displacedSets, kMaxApparatusSets);
  return gaveWay;
}

std::string DisplacedEntriesMessage(int count) {
  if (count <= 0) return {};
  return "Pełna tablica: ostatnia pozycja ustąpiła miejsca danym z pliku struktury (tylko w pamięci, "
         "plik tablicy zachowuje ją): " +
         std::to_string(count);
}

int ApplyDocumentRecords(CKomorka& doc, ReferenceData& ref) {
  const int gaveWay = JoinDocumentRecords(doc, ref);
  if (doc.sourceRecord) doc.ApplySource(ref.sources.front());
  if (doc.aparatRecord) doc.ApplyApparatus(ref.apparatusSets.front());
  return gaveWay;
}

}  // namespace pelmora

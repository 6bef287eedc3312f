#include "refdata/ReferenceData.h"

#include <filesystem>

#include "engine/Komorka.h"

namespace pelmora {
namespace {

template <typename T>
void JoinAtHead(const T& record, std::vector<T>& list) {
  list.insert(list.begin(), record);
  if (list.size() > 1 && !list[1].name.empty() && list[1].name[0] == '@') list.erase(list.begin() + 1);
}

void Report(const RefFileResult& r, const std::string& path, std::vector<std::string>& messages) {
  if (r.leftOut > 0) messages.push_back(LeftOutMessage(path, r.leftOut));
}

}  // namespace

std::string ReferenceData::PathOf(const char* fileName) const {
  return (std::filesystem::path(dataDir) / fileName).string();
}

std::vector<std::string> ReferenceData::LoadScatteringTables() {
  std::vector<std::string> messages;
  Report(LoadIons(PathOf(kIonFile), elements), PathOf(kIonFile), messages);
  Report(LoadIsotopes(PathOf(kIsotopeFile), elements), PathOf(kIsotopeFile), messages);
  Report(LoadAnomalTables(PathOf(kAnomalFile), anomalTables), PathOf(kAnomalFile), messages);
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
  return SaveSources(PathOf(kSourceFile), sources, error);
}

bool ReferenceData::SaveApparatusTable(std::string* error) const {
  return SaveApparatusSets(PathOf(kApparatusFile), apparatusSets, error);
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

void JoinDocumentRecords(const CKomorka& doc, std::vector<RadiationSource>& sources,
                         std::vector<ApparatusSet>& sets) {
  if (doc.sourceRecord) JoinAtHead(*doc.sourceRecord, sources);
  if (doc.aparatRecord) JoinAtHead(*doc.aparatRecord, sets);
}

void ApplyDocumentRecords(CKomorka& doc, ReferenceData& ref) {
  JoinDocumentRecords(doc, ref);
  if (doc.sourceRecord) doc.ApplySource(ref.sources.front());
  if (doc.aparatRecord) doc.ApplyApparatus(ref.apparatusSets.front());
}

}  // namespace pelmora

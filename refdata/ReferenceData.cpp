#include "refdata/ReferenceData.h"

#include <filesystem>

#include "engine/Komorka.h"
#include "io/NumberFormat.h"
#include "settings/Paths.h"
#include "settings/Settings.h"
#include "io/Translate.h"

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

namespace {

// Reads one table: the user's file when there is one, else the shipped one.
// A user's file that cannot be read leaves the table as it was (the readers
// add nothing then), so the shipped file still fills it, and the user is
// told.
template <typename Table, typename Loader>
void LoadTable(const ReferenceData& ref, const char* fileName, Table& table, Loader load,
               std::vector<std::string>& messages) {
  const std::string shipped = (std::filesystem::path(ref.dataDir) / fileName).string();
  if (!ref.userDir.empty()) {
    const std::string own = (std::filesystem::path(ref.userDir) / fileName).string();
    std::error_code ec;
    if (std::filesystem::exists(own, ec)) {
      const RefFileResult r = load(own, table);
      if (r.read) {
        Report(r, own, messages);
        return;
      }
      messages.push_back(cformat(TrText("refdata", "Nie można odczytać pliku %s; wczytano %s.").c_str(), own.c_str(), shipped.c_str()));
    }
  }
  Report(load(shipped, table), shipped, messages);
}

}  // namespace

void ReferenceData::UseDataDirSetting(const std::string& setting, const std::string& exeDir) {
  dataDir = ResolveFolder(setting, exeDir);
  userDir = setting == CSettings{}.DataDir ? UserDataDir() : std::string();
}

void ReferenceData::UseDataDirSetting(const std::string& setting) { UseDataDirSetting(setting, ExecutableDir()); }

std::string ReferenceData::PathOf(const char* fileName) const {
  if (!userDir.empty()) {
    const std::filesystem::path own = std::filesystem::path(userDir) / fileName;
    std::error_code ec;
    if (std::filesystem::exists(own, ec)) return own.string();
  }
  return (std::filesystem::path(dataDir) / fileName).string();
}

std::string ReferenceData::SavePathOf(const char* fileName) const {
  return (std::filesystem::path(userDir.empty() ? dataDir : userDir) / fileName).string();
}

bool ReferenceData::MakeSaveFolder(std::string* error) const {
  // The user's folder is made on the first save; a folder the user named
  // must exist already.
  if (userDir.empty()) return true;
  std::error_code ec;
  std::filesystem::create_directories(userDir, ec);
  if (!ec) return true;
  if (error) *error = cformat(TrText("refdata", "Nie można utworzyć folderu %s: %s").c_str(), userDir.c_str(), ec.message().c_str());
  return false;
}

std::vector<std::string> ReferenceData::LoadScatteringTables() {
  std::vector<std::string> messages = LoadIonsAndIsotopes();
  LoadTable(*this, kAnomalFile, anomalTables,
            [](const std::string& p, std::vector<AnomalTable>& t) { return LoadAnomalTables(p, t); }, messages);
  return messages;
}

std::vector<std::string> ReferenceData::LoadIonsAndIsotopes() {
  std::vector<std::string> messages;
  LoadTable(*this, kIonFile, elements, [](const std::string& p, ElementTable& e) { return LoadIons(p, e); }, messages);
  LoadTable(*this, kIsotopeFile, elements, [](const std::string& p, ElementTable& e) { return LoadIsotopes(p, e); },
            messages);
  return messages;
}

std::vector<std::string> ReferenceData::LoadSourceTables(const RadiationSource& currentSource,
                                                         const ApparatusSet& currentSet) {
  std::vector<std::string> messages;
  sources.assign(1, SettingsSourceEntry(currentSource));
  apparatusSets.assign(1, SettingsApparatusEntry(currentSet));
  LoadTable(*this, kSourceFile, sources,
            [](const std::string& p, std::vector<RadiationSource>& t) { return LoadSources(p, t); }, messages);
  LoadTable(*this, kApparatusFile, apparatusSets,
            [](const std::string& p, std::vector<ApparatusSet>& t) { return LoadApparatusSets(p, t); }, messages);
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
  return MakeSaveFolder(error) &&
         SaveSources(SavePathOf(kSourceFile), WithDisplaced(sources, displacedSources), error);
}

bool ReferenceData::SaveApparatusTable(std::string* error) const {
  return MakeSaveFolder(error) &&
         SaveApparatusSets(SavePathOf(kApparatusFile), WithDisplaced(apparatusSets, displacedSets), error);
}

bool ReferenceData::SaveIonsAndIsotopes(std::string* error) {
  referenceModified = false;
  const bool saved = MakeSaveFolder(error) && SaveIsotopes(SavePathOf(kIsotopeFile), elements, error) &&
                     SaveIons(SavePathOf(kIonFile), elements, error);
  // A failed write leaves the edits unsaved: keep them marked so that the
  // user can try again.
  if (!saved) referenceModified = true;
  return saved;
}

bool ReferenceData::SaveAnomals(std::string* error) const {
  return MakeSaveFolder(error) && SaveAnomalTables(SavePathOf(kAnomalFile), anomalTables, error);
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
  return TrText("refdata", "Pełna tablica: ostatnia pozycja ustąpiła miejsca danym z pliku struktury (tylko w pamięci, "
         "plik tablicy zachowuje ją): ") +
         std::to_string(count);
}

int ApplyDocumentRecords(CKomorka& doc, ReferenceData& ref) {
  const int gaveWay = JoinDocumentRecords(doc, ref);
  if (doc.sourceRecord) doc.experiment.ApplySource(ref.sources.front());
  if (doc.aparatRecord) doc.experiment.ApplyApparatus(ref.apparatusSets.front());
  return gaveWay;
}

}  // namespace pelmora

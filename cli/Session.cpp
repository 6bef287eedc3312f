#include "cli/Session.h"

#include <iostream>
#include <memory>

#include "documents/CifImport.h"
#include "documents/OpenStructure.h"
#include "settings/Paths.h"
#include "documents/StructureFile.h"

namespace pelmora::cli {
namespace {

template <typename T>
const T* FindByName(const std::vector<T>& list, const std::string& name) {
  // Exact names first, then the name behind a "*" or "@" marker.
  for (const T& e : list)
    if (e.name == name) return &e;
  for (const T& e : list)
    if (StripNameMarker(e.name) == name) return &e;
  return nullptr;
}

}  // namespace

void AddSessionOptions(CLI::App& cmd, SessionOptions& o) {
  cmd.add_option("--data-dir", o.dataDir, "Folder of the reference files (default: the settings' DataDir)")
      ->type_name("DIR");
  cmd.add_option("--settings", o.settingsFile, "Settings file to read (default: the user's own)")->type_name("FILE");
  cmd.add_option("--source", o.source, "Apply this radiation source of source.xml (by name)")->type_name("NAME");
  cmd.add_option("--aparat", o.aparat, "Apply this instrument set of aparat.xml (by name)")->type_name("NAME");
}

CSettings ReadSettings(const std::string& settingsFile) {
  CSettings settings;
  std::unique_ptr<SettingsStore> store =
      settingsFile.empty() ? std::make_unique<SettingsStore>() : std::make_unique<SettingsStore>(settingsFile);
  LoadSettings(*store, settings);
  return settings;
}

const ElementTable& ScatteringTables::Elements() {
  std::call_once(once_, [this] {
    ReferenceData files;
    files.dataDir = dataDir_;
    files.userDir = userDir_;
    std::string text;
    for (const std::string& m : files.LoadIonsAndIsotopes()) text += "pelmora-cli: " + m + "\n";
    std::cerr << text;
    elements_ = std::move(files.elements);
  });
  return elements_;
}

void OpenSession(const SessionOptions& o, Session& s) {
  s.settings = ReadSettings(o.settingsFile);
  // A folder named for the run is read as it stands; the settings' folder
  // comes with the user's edited tables over it, as in the program.
  if (o.dataDir.empty()) s.reference.UseDataDirSetting(s.settings.DataDir);
  else s.reference.dataDir = ResolveFolder(o.dataDir);
  s.scattering = std::make_shared<ScatteringTables>(s.reference.dataDir, s.reference.userDir);
  for (const std::string& m :
       s.reference.LoadSourceTables(s.settings.CurrentSource(), s.settings.CurrentApparatus()))
    std::cerr << "pelmora-cli: " << m << "\n";
}

int OpenDocument(const SessionOptions& o, Session& s, const std::string& path, CKomorka& doc) {
  std::vector<DocMessage> messages;
  ScatteringTables& tables = *s.scattering;
  const bool opened =
      OpenAnyStructure(doc, path, [&tables]() -> const ElementTable& { return tables.Elements(); }, messages);
  // One write per line: batch runs open several files at once.
  for (const DocMessage& m : messages) std::cerr << ("pelmora-cli: " + path + ": " + m.text + "\n");
  if (!opened) return 2;
  if (const std::string note = DisplacedEntriesMessage(ApplyDocumentRecords(doc, s.reference)); !note.empty())
    std::cerr << ("pelmora-cli: " + note + "\n");
  if (doc.sourceName.empty()) doc.sourceName = s.settings.RadName;
  if (doc.aparatName.empty()) doc.aparatName = s.settings.AparatName;
  if (!o.source.empty()) {
    const RadiationSource* src = FindByName(s.reference.sources, o.source);
    if (!src) {
      std::cerr << "pelmora-cli: no source named \"" << o.source << "\" in " << s.reference.PathOf(kSourceFile)
                << "\n";
      return 1;
    }
    doc.ApplySource(*src);
  }
  if (!o.aparat.empty()) {
    const ApparatusSet* set = FindByName(s.reference.apparatusSets, o.aparat);
    if (!set) {
      std::cerr << "pelmora-cli: no instrument set named \"" << o.aparat << "\" in "
                << s.reference.PathOf(kApparatusFile) << "\n";
      return 1;
    }
    doc.ApplyApparatus(*set);
  }
  return 0;
}

}  // namespace pelmora::cli

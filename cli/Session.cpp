#include "cli/Session.h"

#include <iostream>


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
  Workspace w(settingsFile);
  w.LoadSettings();
  return w.settings;
}

bool ChooseProfile(const std::string& name, const Workspace& w, SynthesisSetup& setup) {
  const std::vector<ProfileChoice>& profiles = w.profiles();
  if (name.empty()) {
    setup.profile = SelectProfile(profiles, w.settings.PeakProfile);
    return true;
  }
  for (const ProfileChoice& c : profiles)
    if (c.label == name) {
      setup.profile = c.id;
      return true;
    }
  std::string list;
  for (const ProfileChoice& c : profiles) list += " \"" + c.label + "\"";
  std::cerr << ("pelmora-cli: unknown profile \"" + name + "\"; available:" + list + "\n");
  return false;
}

void OpenSession(const SessionOptions& o, Workspace& w) {
  w.LoadSettings();
  w.UseDataDir(o.dataDir);
  for (const std::string& m : w.LoadSourceTables()) std::cerr << "pelmora-cli: " << m << "\n";
}

int OpenDocument(const SessionOptions& o, Workspace& w, ReferenceData& tables, const std::string& path,
                 CKomorka& doc) {
  std::vector<DocMessage> messages;
  const auto elements = [&w]() -> const ElementTable& {
    std::vector<std::string> left;
    const ElementTable& table = w.Elements(&left);
    std::string text;
    for (const std::string& m : left) text += "pelmora-cli: " + m + "\n";
    std::cerr << text;
    return table;
  };
  int gaveWay = 0;
  const bool opened = OpenDocumentWith(doc, path, elements, tables, messages, nullptr, &gaveWay);
  // One write per line: batch runs open several files at once.
  for (const DocMessage& m : messages) std::cerr << ("pelmora-cli: " + path + ": " + m.text + "\n");
  if (!opened) return 2;
  if (const std::string note = DisplacedEntriesMessage(gaveWay); !note.empty())
    std::cerr << ("pelmora-cli: " + note + "\n");
  if (doc.experiment.sourceName.empty()) doc.experiment.sourceName = w.settings.RadName;
  if (doc.experiment.aparatName.empty()) doc.experiment.aparatName = w.settings.AparatName;
  if (!o.source.empty()) {
    const RadiationSource* src = FindByName(tables.sources, o.source);
    if (!src) {
      std::cerr << "pelmora-cli: no source named \"" << o.source << "\" in " << tables.PathOf(kSourceFile)
                << "\n";
      return 1;
    }
    doc.experiment.ApplySource(*src);
  }
  if (!o.aparat.empty()) {
    const ApparatusSet* set = FindByName(tables.apparatusSets, o.aparat);
    if (!set) {
      std::cerr << "pelmora-cli: no instrument set named \"" << o.aparat << "\" in "
                << tables.PathOf(kApparatusFile) << "\n";
      return 1;
    }
    doc.experiment.ApplyApparatus(*set);
  }
  return 0;
}

}  // namespace pelmora::cli

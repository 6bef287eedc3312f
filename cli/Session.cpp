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
  cmd.add_option("--block", o.block,
                 "Read this data block of a CIF (by name; default: the first with atom sites); the others are "
                 "named on standard error")
      ->type_name("NAME");
}

CSettings ReadSettings(const std::string& settingsFile) {
  Workspace w(settingsFile);
  w.LoadSettings();
  return w.settings;
}

int Report(const SessionError& error) {
  std::cerr << ("pelmora-cli: " + error.text + "\n");
  return static_cast<int>(error.kind);
}

bool ChooseProfile(const std::string& name, const Session& session, SynthesisSetup& setup) {
  SessionError error;
  if (session.ChooseProfile(Named(name), &setup.profile, &error)) return true;
  Report(error);
  return false;
}

std::unique_ptr<Session> OpenSession(const SessionOptions& o, const std::string& pluginsDir) {
  std::vector<std::string> notes;
  auto session = std::make_unique<Session>(pelmora::SessionOptions{o.settingsFile, o.dataDir, pluginsDir},
                                           ExecutableDir(), notes);
  for (const std::string& m : notes) std::cerr << "pelmora-cli: " << m << "\n";
  return session;
}

void SayEditNotes(const EditResult& r, const CKomorka& doc, const std::string& path) {
  for (const std::string& note : EditNotes(r, doc)) std::cerr << ("pelmora-cli: " + path + ": " + note + "\n");
}

int OpenDocument(const SessionOptions& o, Workspace& w, ReferenceData& tables, const std::string& path,
                 std::unique_ptr<CKomorka>& opened) {
  OpenNotes notes;
  notes.cif.wanted = o.block;
  opened = OpenWithDefaults(w, tables, path, notes);
  std::string text;
  for (const std::string& m : notes.tables) text += "pelmora-cli: " + m + "\n";
  std::cerr << text;
  // One write per line: batch runs open several files at once.
  for (const DocMessage& m : notes.messages) std::cerr << ("pelmora-cli: " + path + ": " + m.text + "\n");
  if (!opened) return 2;
  if (const std::string note = OtherCifBlocksNote(notes.cif, "--block NAME"); !note.empty())
    std::cerr << ("pelmora-cli: " + path + ": " + note + "\n");
  if (const std::string note = DisplacedEntriesMessage(notes.gaveWay); !note.empty())
    std::cerr << ("pelmora-cli: " + note + "\n");
  CKomorka& doc = *opened;
  if (!o.source.empty()) {
    const RadiationSource* src = FindByName(tables.sources, o.source);
    if (!src) {
      std::cerr << "pelmora-cli: no source named \"" << o.source << "\" in " << tables.PathOf(kSourceFile)
                << "\n";
      return 1;
    }
    SayEditNotes(SetSource(doc, *src), doc, path);
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

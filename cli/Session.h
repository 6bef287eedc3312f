// What every document subcommand of pelmora-cli shares: the session
// (workspace/Session.h) as the command line starts it, its messages on
// standard error, and opening a document with it.
#pragma once

#include <CLI/CLI.hpp>

#include <memory>
#include <optional>
#include <string>

#include "engine/Komorka.h"
#include "engine/StructureEdits.h"
#include "workspace/Session.h"

namespace pelmora::cli {

struct SessionOptions {
  std::string settingsFile;  // empty: the user's own store
  std::string dataDir;       // empty: the settings' DataDir
  std::string source;        // a source of the table to apply, by name
  std::string aparat;        // an instrument set of the table to apply, by name
  std::string block;         // the data block of a CIF to read, by name
};

void AddSessionOptions(CLI::App& cmd, SessionOptions& o);

// The settings of the given INI file, or of the user's own store when the
// name is empty; first-run defaults for what is not stored. Read only.
CSettings ReadSettings(const std::string& settingsFile);

// An option's name, or none for the empty default.
inline std::optional<std::string> Named(const std::string& name) {
  return name.empty() ? std::nullopt : std::optional<std::string>(name);
}

// Reports a session's refusal on standard error; returns its exit status.
int Report(const SessionError& error);

// The profile of the label `name`, or when it is empty the settings'
// "PeakProfile" (as the chart bar selects it). False for an unknown label,
// which is reported on standard error with the labels there are.
bool ChooseProfile(const std::string& name, const Session& session, SynthesisSetup& setup);

// Reads the settings and the source and instrument tables; the scattering
// tables wait until a file needs them, the plug-ins of `pluginsDir` (empty:
// the settings' folder) until a run asks for them. Messages go to standard
// error.
std::unique_ptr<Session> OpenSession(const SessionOptions& o, const std::string& pluginsDir = {});

// Tells on standard error what an edit changed besides what was asked.
void SayEditNotes(const EditResult& r, const CKomorka& doc, const std::string& path);

// Opens a structure file or an older input file into doc as every front end
// opens it (OpenWithDefaults), with `tables` the workspace's or a copy of
// them that keeps the files of a batch apart, then applies the --source /
// --aparat choices. A CIF is read from the --block named, else from its
// first block with atoms; the other blocks are named on standard error.
// Returns 0, or the exit status to give: 1 unknown --source / --aparat
// name, 2 unreadable or unknown file, or no block of the --block name.
int OpenDocument(const SessionOptions& o, Workspace& w, ReferenceData& tables, const std::string& path,
                 std::unique_ptr<CKomorka>& opened);

}  // namespace pelmora::cli

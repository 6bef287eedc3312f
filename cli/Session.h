// What every document subcommand of pelmora-cli shares: the workspace as
// the command line starts it, and opening a document with it.
#pragma once

#include <CLI/CLI.hpp>

#include <string>

#include "engine/Komorka.h"
#include "engine/StructureEdits.h"
#include "workspace/Workspace.h"

namespace pelmora::cli {

struct SessionOptions {
  std::string settingsFile;  // empty: the user's own store
  std::string dataDir;       // empty: the settings' DataDir
  std::string source;        // a source of the table to apply, by name
  std::string aparat;        // an instrument set of the table to apply, by name
};

void AddSessionOptions(CLI::App& cmd, SessionOptions& o);

// The settings of the given INI file, or of the user's own store when the
// name is empty; first-run defaults for what is not stored. Read only.
CSettings ReadSettings(const std::string& settingsFile);

// The profile of the label `name`, or when it is empty the settings'
// "PeakProfile" (as the chart bar selects it). False for an unknown label,
// which is reported on standard error with the labels there are.
bool ChooseProfile(const std::string& name, const Workspace& w, SynthesisSetup& setup);

// Reads the settings and the source and instrument tables; the scattering
// tables wait until a file needs them. Messages go to standard error.
void OpenSession(const SessionOptions& o, Workspace& w);

// Tells on standard error what an edit changed besides what was asked.
void SayEditNotes(const EditResult& r, const CKomorka& doc, const std::string& path);

// Opens a structure file or an older input file into doc (created with the
// settings' experiment defaults), joins its own source and set to the head
// of `tables` (the workspace's, or a copy of them that keeps the files of a
// batch apart) and applies them, then the --source / --aparat choices.
// Returns 0, or the exit status to give: 1 unknown --source / --aparat name,
// 2 unreadable or unknown file.
int OpenDocument(const SessionOptions& o, Workspace& w, ReferenceData& tables, const std::string& path,
                 CKomorka& doc);

}  // namespace pelmora::cli

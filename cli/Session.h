// What every document subcommand of pelmora-cli shares: the settings, the
// reference data of the data folder, and opening a document with them.
#pragma once

#include <CLI/CLI.hpp>

#include <string>

#include "settings/Settings.h"
#include "engine/Komorka.h"
#include "refdata/ReferenceData.h"

namespace pelmora::cli {

struct SessionOptions {
  std::string settingsFile;  // empty: the user's own store
  std::string dataDir;       // empty: the settings' DataDir
  std::string source;        // a source of the table to apply, by name
  std::string aparat;        // an instrument set of the table to apply, by name
};

void AddSessionOptions(CLI::App& cmd, SessionOptions& o);

// The settings (first-run defaults when nothing is stored) and the reference
// tables, read as the application does at start-up.
struct Session {
  CSettings settings;
  ReferenceData reference;
};

// The settings of the given INI file, or of the user's own store when the
// name is empty; first-run defaults for what is not stored. Read only.
CSettings ReadSettings(const std::string& settingsFile);

// Reads the settings and the reference data; messages go to standard error.
void OpenSession(const SessionOptions& o, Session& s);

// Opens a structure file or an older input file into doc (created with the
// settings' experiment defaults), joins its own source and set to the head
// of the tables and applies them, then the --source / --aparat choices.
// Returns 0, or the exit status to give: 1 unknown --source / --aparat name,
// 2 unreadable or unknown file.
int OpenDocument(const SessionOptions& o, Session& s, const std::string& path, CKomorka& doc);

}  // namespace pelmora::cli

// What every document subcommand of pelmora-cli shares: the settings, the
// reference data of the data folder, and opening a document with them.
#pragma once

#include <CLI/CLI.hpp>

#include <memory>
#include <mutex>
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

// The ion and isotope tables of the data folder, read when the first file
// that needs them (a CIF) is opened: the other formats carry their own
// scattering factors, and most runs never read these tables. Shared by the
// files of a batch; safe to ask for from several threads.
class ScatteringTables {
 public:
  ScatteringTables(std::string dataDir, std::string userDir)
      : dataDir_(std::move(dataDir)), userDir_(std::move(userDir)) {}
  // Reads the tables the first time (messages to standard error).
  const ElementTable& Elements();

 private:
  std::string dataDir_;
  std::string userDir_;  // see ReferenceData::userDir
  std::once_flag once_;
  ElementTable elements_;
};

// The settings (first-run defaults when nothing is stored) and the reference
// tables: the source and instrument tables read at start-up, the
// scattering tables when a file needs them.
struct Session {
  CSettings settings;
  ReferenceData reference;
  std::shared_ptr<ScatteringTables> scattering;
};

// The settings of the given INI file, or of the user's own store when the
// name is empty; first-run defaults for what is not stored. Read only.
CSettings ReadSettings(const std::string& settingsFile);

// Reads the settings and the source and instrument tables; messages go to
// standard error.
void OpenSession(const SessionOptions& o, Session& s);

// Opens a structure file or an older input file into doc (created with the
// settings' experiment defaults), joins its own source and set to the head
// of the tables and applies them, then the --source / --aparat choices.
// Returns 0, or the exit status to give: 1 unknown --source / --aparat name,
// 2 unreadable or unknown file.
int OpenDocument(const SessionOptions& o, Session& s, const std::string& path, CKomorka& doc);

}  // namespace pelmora::cli

// What every front end (the program, the command line, scripts) holds for
// its whole run: the settings and their store, the reference tables, the
// plug-ins with the format and profile lists built from them; Session.h
// opens a structure file with all of these. Each front end runs the
// start-up steps in its own order: the program all at once, the command
// line only those a run needs.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "diffractogram/PatternSynthesis.h"
#include "diffractogram/SynthesisOptions.h"
#include "documents/OpenStructure.h"
#include "plugins/PluginLists.h"
#include "plugins/PluginTable.h"
#include "refdata/ReferenceData.h"
#include "settings/Paths.h"
#include "settings/Settings.h"

namespace pelmora {

// The ion and isotope tables of a data folder, read when the first file
// that needs them (a CIF) is opened: the other formats carry their own
// scattering factors, and most command-line runs never read these tables.
// Safe to ask for from several threads.
class ScatteringTables {
 public:
  ScatteringTables(std::string dataDir, std::string userDir)
      : dataDir_(std::move(dataDir)), userDir_(std::move(userDir)) {}
  // Reads the tables the first time; `messages` gets what was left out.
  const ElementTable& Elements(std::vector<std::string>* messages = nullptr);

 private:
  std::string dataDir_;
  std::string userDir_;  // see ReferenceData::userDir
  std::once_flag once_;
  ElementTable elements_;
};

class Workspace {
 public:
  // settingsFile empty: the user's own store; otherwise that INI file.
  explicit Workspace(const std::string& settingsFile = {});
  ~Workspace();
  Workspace(const Workspace&) = delete;
  Workspace& operator=(const Workspace&) = delete;

  // --- start-up steps; each returns the messages about what was left out --
  // The stored settings, first-run defaults for what is not stored.
  void LoadSettings();
  // Points the reference tables at the settings' DataDir (the user's own
  // edited tables over the shipped folder), or at a folder named for the
  // run, read as it stands.
  void UseDataDir(const std::string& namedFolder = {});
  // Every scattering table at once (elements, ions, isotopes, anomalous).
  std::vector<std::string> LoadScatteringTables();
  // The source and instrument tables, with the settings' current entries.
  std::vector<std::string> LoadSourceTables();
  // The plug-ins of a folder named for the run, or of the settings'
  // PluginsDir beside the executable; then the format and profile lists.
  // The error of the scan, empty when there is none.
  std::string ScanPlugins(const std::string& namedFolder = {});

  // The settings written back; false when they could not be.
  bool SaveSettings();

  CSettings settings;
  ReferenceData reference;
  // The folder that relative data and plug-in folders are looked for
  // beside: the executable's, or for a library loaded into another program
  // (the Python module) its own.
  std::string programDir = ExecutableDir();
  SettingsStore& store() { return *store_; }
  const PluginTable& plugins() const { return plugins_; }
  const std::vector<ChartFormat>& chartFormats() const { return formats_; }
  const std::vector<ProfileChoice>& profiles() const { return profiles_; }

  // The element table a structure file is read with: the one loaded at
  // start-up, or else the ions and isotopes read on first use.
  const ElementTable& Elements(std::vector<std::string>* messages = nullptr);
  // What a synthesis with the profile `id` needs, from the current settings;
  // `info` receives the pseudo-Voigt records (may be null).
  SynthesisSetup SetupFor(int profileId, std::vector<PseudoVoigtInfo>* info) const;

 private:
  std::unique_ptr<SettingsStore> store_;
  PluginTable plugins_;
  std::vector<ChartFormat> formats_;
  std::vector<ProfileChoice> profiles_;
  bool scatteringLoaded_ = false;
  std::shared_ptr<ScatteringTables> lazyTables_;
};

// The synthesis window rules as the settings record holds them.
SynthesisOptions SynthesisOptionsOf(const CSettings& settings);

}  // namespace pelmora

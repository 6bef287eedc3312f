// What the application owns for the whole run: the settings record and its
// store (and, as they arrive, the reference tables and the plug-ins).
#pragma once

#include <QString>
#include <memory>
#include <string>

#include "app/Settings.h"

namespace pelmora {

class CPelmorApp {
 public:
  // iniPath empty: the user's own settings file; tests give a file of theirs.
  explicit CPelmorApp(const std::string& iniPath = {});
  ~CPelmorApp();
  CPelmorApp(const CPelmorApp&) = delete;
  CPelmorApp& operator=(const CPelmorApp&) = delete;

  // Start-up in its order: settings first, then everything that reads them.
  void Start();
  // Exit: the settings are written back.
  bool Exit();

  CSettings& settings() { return settings_; }
  SettingsStore& store() { return *store_; }
  // True when the stored settings were of the current layout at start-up,
  // so that stored window layouts may be restored.
  bool storedLayoutCurrent() const { return storedLayoutCurrent_; }
  // The folder captured at start-up, against which relative folders resolve.
  const QString& workingDir() const { return workingDir_; }

 private:
  CSettings settings_;
  std::unique_ptr<SettingsStore> store_;
  bool storedLayoutCurrent_ = false;
  QString workingDir_;
};

}  // namespace pelmora

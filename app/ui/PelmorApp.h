// What the application owns for the whole run: the settings record and its
// store, the reference data, the plug-ins with the lists built from them,
// and the pseudo-Voigt info records.
#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "settings/Settings.h"
#include "diffractogram/PatternSynthesis.h"
#include "plugins/PluginLists.h"
#include "plugins/PluginTable.h"
#include "refdata/ReferenceData.h"

namespace pelmora {

class CPelmorApp {
 public:
  // iniPath empty: the user's own settings file; tests give a file of theirs.
  explicit CPelmorApp(const std::string& iniPath = {});
  ~CPelmorApp();
  CPelmorApp(const CPelmorApp&) = delete;
  CPelmorApp& operator=(const CPelmorApp&) = delete;

  // Whoever shows start-up messages to the user: caption, text.
  using Reporter = std::function<void(const QString& caption, const QString& text)>;
  // Start-up in its order: settings; element table, ions, isotopes and
  // anomalous tables; plug-in scan; sources and instrument sets; the
  // diffractogram format list.
  void Start(const Reporter& report = {});
  // Exit: the settings are written back. False when they could not be.
  bool Exit();

  CSettings& settings() { return settings_; }
  SettingsStore& store() { return *store_; }
  ReferenceData& reference() { return reference_; }
  const PluginTable& plugins() const { return plugins_; }
  const std::vector<ChartFormat>& chartFormats() const { return formats_; }
  const std::vector<ProfileChoice>& profiles() const { return profiles_; }
  std::vector<PseudoVoigtInfo>& pseudoVoigtInfo() { return pseudoVoigt_; }
  // What a synthesis with the profile `id` needs, from the current settings.
  SynthesisSetup SetupFor(int profileId);

  // True when the stored settings were of the current layout at start-up,
  // so that stored window layouts may be restored.
  bool storedLayoutCurrent() const { return storedLayoutCurrent_; }
  // The folder captured at start-up, against which relative folders resolve.
  const QString& workingDir() const { return workingDir_; }

 private:
  CSettings settings_;
  std::unique_ptr<SettingsStore> store_;
  ReferenceData reference_;
  PluginTable plugins_;
  std::vector<ChartFormat> formats_;
  std::vector<ProfileChoice> profiles_;
  std::vector<PseudoVoigtInfo> pseudoVoigt_;
  bool storedLayoutCurrent_ = false;
  QString workingDir_;
};

}  // namespace pelmora

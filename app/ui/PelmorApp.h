// What the application owns for the whole run: the workspace every front
// end holds (settings, reference data, plug-ins and their lists), the
// pseudo-Voigt info records and what the window layouts need.
#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "workspace/Workspace.h"

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

  Workspace& workspace() { return workspace_; }
  CSettings& settings() { return workspace_.settings; }
  SettingsStore& store() { return workspace_.store(); }
  ReferenceData& reference() { return workspace_.reference; }
  const PluginTable& plugins() const { return workspace_.plugins(); }
  const std::vector<ChartFormat>& chartFormats() const { return workspace_.chartFormats(); }
  const std::vector<ProfileChoice>& profiles() const { return workspace_.profiles(); }
  std::vector<PseudoVoigtInfo>& pseudoVoigtInfo() { return pseudoVoigt_; }
  // What a synthesis with the profile `id` needs, from the current settings.
  SynthesisSetup SetupFor(int profileId);

  // True when the stored settings were of the current layout at start-up,
  // so that stored window layouts may be restored.
  bool storedLayoutCurrent() const { return storedLayoutCurrent_; }
  // The folder captured at start-up, against which relative folders resolve.
  const QString& workingDir() const { return workingDir_; }

 private:
  Workspace workspace_;
  std::vector<PseudoVoigtInfo> pseudoVoigt_;
  bool storedLayoutCurrent_ = false;
  QString workingDir_;
};

}  // namespace pelmora

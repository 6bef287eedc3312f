#include "app/ui/PelmorApp.h"
#include "diffractogram/SynthesisOptions.h"

#include <QDir>

#include "settings/Paths.h"

namespace pelmora {

CPelmorApp::CPelmorApp(const std::string& iniPath)
    : store_(iniPath.empty() ? std::make_unique<SettingsStore>() : std::make_unique<SettingsStore>(iniPath)) {}

CPelmorApp::~CPelmorApp() = default;

void CPelmorApp::Start(const Reporter& report) {
  auto tell = [&](const char* caption, const std::string& text) {
    if (report && !text.empty()) report(QString::fromUtf8(caption), QString::fromStdString(text));
  };
  workingDir_ = QDir::currentPath();
  LoadSettings(*store_, settings_);
  storedLayoutCurrent_ = settings_.Sett_ver == CSettings::kLayoutVersion;

  reference_.UseDataDirSetting(settings_.DataDir);
  for (const std::string& m : reference_.LoadScatteringTables()) tell("Info", m);
  tell("Error", ScanPlugins(ResolvePluginsFolder(settings_.PluginsDir), plugins_));
  for (const std::string& m : reference_.LoadSourceTables(settings_.CurrentSource(), settings_.CurrentApparatus()))
    tell("Info", m);
  formats_ = BuildChartFormats(plugins_);
  profiles_ = BuildProfileList(plugins_);
}

bool CPelmorApp::Exit() {
  const bool ok = SaveSettings(*store_, settings_);
  return store_->Sync() && ok;
}

SynthesisSetup CPelmorApp::SetupFor(int profileId) {
  SynthesisSetup setup;
  setup.profile = profileId;
  setup.plugins = &plugins_;
  setup.options = SynthesisOptionsOf(settings_);
  setup.pseudoVoigtInfo = &pseudoVoigt_;
  return setup;
}

}  // namespace pelmora

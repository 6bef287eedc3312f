#include "app/ui/PelmorApp.h"

#include <QDir>

namespace pelmora {

CPelmorApp::CPelmorApp(const std::string& iniPath)
    : store_(iniPath.empty() ? std::make_unique<SettingsStore>() : std::make_unique<SettingsStore>(iniPath)) {}

CPelmorApp::~CPelmorApp() = default;

void CPelmorApp::Start() {
  workingDir_ = QDir::currentPath();
  LoadSettings(*store_, settings_);
  storedLayoutCurrent_ = settings_.Sett_ver == CSettings::kLayoutVersion;
}

bool CPelmorApp::Exit() {
  const bool ok = SaveSettings(*store_, settings_);
  return store_->Sync() && ok;
}

}  // namespace pelmora

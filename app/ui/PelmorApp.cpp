#include "app/ui/PelmorApp.h"

#include <QDir>

namespace pelmora {

CPelmorApp::CPelmorApp(const std::string& iniPath) : workspace_(iniPath) {}

CPelmorApp::~CPelmorApp() = default;

void CPelmorApp::Start(const Reporter& report) {
  auto tell = [&](const char* caption, const std::string& text) {
    if (report && !text.empty()) report(QString::fromUtf8(caption), QString::fromStdString(text));
  };
  workingDir_ = QDir::currentPath();
  workspace_.LoadSettings();
  storedLayoutCurrent_ = workspace_.settings.Sett_ver == CSettings::kLayoutVersion;

  workspace_.UseDataDir();
  for (const std::string& m : workspace_.LoadScatteringTables()) tell("Info", m);
  tell("Error", workspace_.ScanPlugins());
  for (const std::string& m : workspace_.LoadSourceTables()) tell("Info", m);
}

bool CPelmorApp::Exit() { return workspace_.SaveSettings(); }

SynthesisSetup CPelmorApp::SetupFor(int profileId) { return workspace_.SetupFor(profileId, &pseudoVoigt_); }

}  // namespace pelmora

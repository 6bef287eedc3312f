#include "plugins/ui/SettingsButton.h"

#include "plugins/PluginLists.h"

namespace pelmora {

CSettingsButton::CSettingsButton(QWidget* parent) : QPushButton(tr("Ustawienia"), parent) {
  setObjectName(QStringLiteral("formatSettings"));
  setToolTip(tr("Ustawienia wybranego formatu pliku"));
  // A press on it must not count as the file dialog's default button.
  setAutoDefault(false);
  connect(this, &QPushButton::clicked, this, &CSettingsButton::Open);
}

void CSettingsButton::SetModule(void* module) { module_ = module; }

bool CSettingsButton::HasSettings() const { return HasFilterSettings(module_); }

void CSettingsButton::Open() {
  CallFilterSettings(module_);
}

}  // namespace pelmora

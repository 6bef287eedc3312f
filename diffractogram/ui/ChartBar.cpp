#include "diffractogram/ui/ChartBar.h"

#include <QComboBox>
#include <QIcon>

namespace pelmora {

CChartBar::CChartBar(QWidget* parent) : QToolBar(tr("Osie"), parent) {
  setObjectName(QStringLiteral("ChartBar"));
  profiles_ = new QComboBox(this);
  profiles_->setToolTip(tr("Profil piku"));
  profiles_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  profiles_->setMinimumContentsLength(12);
  connect(profiles_, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (index < 0) return;
    profileId_ = profiles_->itemData(index).toInt();
    emit profileChosen(profiles_->itemText(index), profileId_);
  });
  settings_ = new QAction(QIcon(QStringLiteral(":/icons/settings.svg")), tr("Ustawienia"), this);
  info_ = new QAction(QIcon(QStringLiteral(":/icons/info.svg")), tr("Info"), this);
  settings_->setEnabled(false);
}

void CChartBar::FillProfiles(const std::vector<std::pair<QString, int>>& profiles, const QString& selected) {
  const QSignalBlocker block(profiles_);
  profiles_->clear();
  for (const auto& [name, id] : profiles) profiles_->addItem(name, id);
  int chosen = 0;
  for (int i = 0; i < profiles_->count(); ++i)
    if (profiles_->itemText(i) == selected) {
      chosen = i;
      break;
    }
  profiles_->setCurrentIndex(chosen);
  profileId_ = profiles_->itemData(chosen).toInt();
}

QString CChartBar::ProfileLabel() const { return profiles_->currentText(); }

}  // namespace pelmora

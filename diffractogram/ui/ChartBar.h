// The chart bar "Osie": tick and description buttons, the peak-profile list
// and its "Ustawienia" and "Info" buttons.
#pragma once

#include <QToolBar>
#include <utility>
#include <vector>

class QComboBox;

namespace pelmora {

class CChartBar : public QToolBar {
  Q_OBJECT
 public:
  explicit CChartBar(QWidget* parent = nullptr);

  // The profiles in list order (label, identifier: -1 to -4 built in, else
  // the plug-in's index); then the first item whose text equals `selected`
  // exactly is chosen, item 0 when none does.
  void FillProfiles(const std::vector<std::pair<QString, int>>& profiles, const QString& selected);
  // The identifier of the selected profile (the synthesis reads it).
  int ProfileId() const { return profileId_; }
  QString ProfileLabel() const;
  QComboBox* profiles() const { return profiles_; }
  QAction* settingsButton() const { return settings_; }
  QAction* infoButton() const { return info_; }

 signals:
  // A new selection: its label becomes the "PeakProfile" setting.
  void profileChosen(const QString& label, int id);

 private:
  QComboBox* profiles_;
  QAction* settings_;
  QAction* info_;
  int profileId_ = -1;
};

}  // namespace pelmora

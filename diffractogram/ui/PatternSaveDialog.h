// The save dialog of the numeric pattern export: the standard save dialog
// with the type list of the diffractogram formats, a scale field, the
// maximum of the exported stretch and the chosen format's "Ustawienia".
#pragma once

#include <QFileDialog>
#include <QStringList>
#include <vector>

class QLabel;
class QLineEdit;

namespace pelmora {

class NumberEdit;
class CSettingsButton;

// The scale as the field shows it.
QString ScaleText(double scale);

class CPatternSaveDialog : public QFileDialog {
  Q_OBJECT
 public:
  // One label and pattern per format, in order, and the plug-in of each
  // (null, or missing at the end, for the built-in text format).
  CPatternSaveDialog(QWidget* parent, const QStringList& labels, const QStringList& patterns,
                     std::vector<void*> modules = {});

  double scale = 1000.0;   // the caller sets the real default before exec()
  double maximum = 0.0;    // shown, set by the caller
  int typeIndex = 0;       // 0-based index of the selected type

  int exec() override;
  NumberEdit* scaleEdit() const { return scaleEdit_; }
  QLabel* maximumLabel() const { return maxLabel_; }
  CSettingsButton* settingsButton() const { return settings_; }

 public slots:
  void accept() override;

 private:
  // The chosen type: its index, its default extension and its settings.
  void TypeChosen(int index);

  QStringList labels_;
  std::vector<void*> modules_;
  NumberEdit* scaleEdit_;
  QLabel* maxLabel_;
  CSettingsButton* settings_;
};

}  // namespace pelmora

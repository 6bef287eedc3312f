// "Zapisz jako" of the cell view: the standard save dialog with the image
// formats as its types, a list of picture sizes below, and "Ustawienia" for
// a format whose plug-in has settings.
#pragma once

#include <QFileDialog>
#include <vector>

class QComboBox;

namespace pelmora {

class CSettingsButton;

class CGLSaveDialog : public QFileDialog {
  Q_OBJECT
 public:
  // One filter per format: its label, and its pattern when the label names
  // none; `modules` holds each format's plug-in (null, or missing at the
  // end, for the built-in bitmap).
  CGLSaveDialog(QWidget* parent, const QStringList& labels, const QStringList& patterns,
                std::vector<void*> modules = {});

  int typeIndex = 0;  // 0-based: the chosen format
  int sizeIndex = 2;  // of "1024x768", "800x600", "640x480"

  QComboBox* sizeList() const { return sizes_; }
  CSettingsButton* settingsButton() const { return settings_; }

 public slots:
  void accept() override;

 private:
  // The chosen format: its default extension, and its "Ustawienia" shown
  // only when its plug-in exports the settings.
  void TypeChosen(int index);

  std::vector<void*> modules_;
  QComboBox* sizes_;
  CSettingsButton* settings_;
};

}  // namespace pelmora

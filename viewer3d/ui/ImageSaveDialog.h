// "Zapisz jako" of the cell view: the standard save dialog with the image
// formats as its types and a list of picture sizes below.
#pragma once

#include <QFileDialog>

class QComboBox;

namespace pelmora {

class CGLSaveDialog : public QFileDialog {
  Q_OBJECT
 public:
  // One filter per format: its label, and its pattern when the label names none.
  CGLSaveDialog(QWidget* parent, const QStringList& labels, const QStringList& patterns);

  int typeIndex = 0;  // 0-based: the chosen format
  int sizeIndex = 2;  // of "1024x768", "800x600", "640x480"

  QComboBox* sizeList() const { return sizes_; }

 public slots:
  void accept() override;

 private:
  QComboBox* sizes_;
};

}  // namespace pelmora

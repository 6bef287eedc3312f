// The save dialog of the numeric pattern export: the standard save dialog
// with the type list of the diffractogram formats, a scale field and the
// maximum of the exported stretch.
#pragma once

#include <QFileDialog>
#include <QStringList>

class QLabel;
class QLineEdit;

namespace pelmora {

class NumberEdit;

// The scale as the field shows it.
QString ScaleText(double scale);

class CPatternSaveDialog : public QFileDialog {
  Q_OBJECT
 public:
  // `types` holds one "label" per format with its "pattern", in order.
  CPatternSaveDialog(QWidget* parent, const QStringList& labels, const QStringList& patterns);

  double scale = 1000.0;   // the caller sets the real default before exec()
  double maximum = 0.0;    // shown, set by the caller
  int typeIndex = 0;       // 0-based index of the selected type

  int exec() override;
  NumberEdit* scaleEdit() const { return scaleEdit_; }
  QLabel* maximumLabel() const { return maxLabel_; }

 public slots:
  void accept() override;

 private:
  QStringList labels_;
  NumberEdit* scaleEdit_;
  QLabel* maxLabel_;
};

}  // namespace pelmora

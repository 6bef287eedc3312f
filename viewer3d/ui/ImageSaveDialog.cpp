#include "viewer3d/ui/ImageSaveDialog.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>

#include "viewer3d/ImageExport.h"

namespace pelmora {

CGLSaveDialog::CGLSaveDialog(QWidget* parent, const QStringList& labels, const QStringList& patterns)
    : QFileDialog(parent, QStringLiteral("Zapisz jako")) {
  // The size list needs Qt's own dialog rather than the desktop's.
  setOption(QFileDialog::DontUseNativeDialog);
  setAcceptMode(QFileDialog::AcceptSave);
  setFileMode(QFileDialog::AnyFile);
  QStringList filters;
  for (int i = 0; i < labels.size(); ++i) {
    const QString pattern = i < patterns.size() ? patterns[i] : QString();
    filters << (labels[i].contains(QLatin1Char('(')) || pattern.isEmpty() ? labels[i] : labels[i] + " (" + pattern + ")");
  }
  setNameFilters(filters);

  sizes_ = new QComboBox(this);
  sizes_->setObjectName(QStringLiteral("imageSize"));
  for (const ImageSize& s : kImageSizes) sizes_->addItem(QLatin1String(s.text));
  sizes_->setCurrentIndex(kDefaultImageSize);
  if (auto* grid = qobject_cast<QGridLayout*>(layout())) {
    const int row = grid->rowCount();
    grid->addWidget(new QLabel(QStringLiteral("Rozmiar obrazka:"), this), row, 0);
    grid->addWidget(sizes_, row, 1);
  }
}

void CGLSaveDialog::accept() {
  sizeIndex = sizes_->currentIndex();
  const int i = nameFilters().indexOf(selectedNameFilter());
  if (i >= 0) typeIndex = i;
  QFileDialog::accept();
}

}  // namespace pelmora

#include "viewer3d/ui/ImageSaveDialog.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>

#include "plugins/ui/SettingsButton.h"
#include "viewer3d/ImageExport.h"

namespace pelmora {

CGLSaveDialog::CGLSaveDialog(QWidget* parent, const QStringList& labels, const QStringList& patterns,
                             std::vector<void*> modules)
    : QFileDialog(parent, tr("Zapisz jako")), modules_(std::move(modules)) {
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
  settings_ = new CSettingsButton(this);
  if (auto* grid = qobject_cast<QGridLayout*>(layout())) {
    const int row = grid->rowCount();
    grid->addWidget(new QLabel(tr("Rozmiar obrazka:"), this), row, 0);
    grid->addWidget(sizes_, row, 1);
    grid->addWidget(settings_, row, 2);
  }
  // Every change of the format, by the user or by selectNameFilter.
  if (auto* types = findChild<QComboBox*>(QStringLiteral("fileTypeCombo")))
    connect(types, &QComboBox::currentIndexChanged, this, &CGLSaveDialog::TypeChosen);
  TypeChosen(0);
}

void CGLSaveDialog::TypeChosen(int index) {
  if (index < 0 || index >= nameFilters().size()) return;
  typeIndex = index;
  ImageFormat format;
  format.module = static_cast<size_t>(index) < modules_.size() ? modules_[static_cast<size_t>(index)] : nullptr;
  // A name typed without an extension gets the format's own ("bmp" for the
  // bitmap, none for a plug-in that names none), and the question about
  // overwriting is asked about that name.
  setDefaultSuffix(QString::fromStdString(DefaultImageExtension(format)));
  settings_->SetModule(format.module);
  settings_->setVisible(settings_->HasSettings());
}

void CGLSaveDialog::accept() {
  sizeIndex = sizes_->currentIndex();
  const int i = nameFilters().indexOf(selectedNameFilter());
  if (i >= 0) typeIndex = i;
  QFileDialog::accept();
}

}  // namespace pelmora

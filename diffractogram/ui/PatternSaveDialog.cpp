#include "diffractogram/ui/PatternSaveDialog.h"

#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

#include "diffractogram/PatternExport.h"
#include "widgets/NumberEdit.h"
#include "io/NumberFormat.h"
#include "plugins/PluginLists.h"
#include "plugins/ui/SettingsButton.h"

namespace pelmora {

QString ScaleText(double scale) { return QString::fromStdString(cformat("%.10e", scale)); }

CPatternSaveDialog::CPatternSaveDialog(QWidget* parent, const QStringList& labels, const QStringList& patterns,
                                       std::vector<void*> modules)
    : QFileDialog(parent, tr("Eksportuj dyfraktogram")), labels_(labels), modules_(std::move(modules)) {
  // Our own controls need Qt's dialog rather than the desktop's.
  setOption(QFileDialog::DontUseNativeDialog);
  setAcceptMode(QFileDialog::AcceptSave);
  setFileMode(QFileDialog::AnyFile);
  QStringList filters;
  for (int i = 0; i < labels.size(); ++i) {
    const QString& label = labels[i];
    const QString pattern = i < patterns.size() ? patterns[i] : QString();
    // A label that names no pattern of its own gets the pattern beside it.
    filters << (label.contains(QLatin1Char('(')) || pattern.isEmpty() ? label : label + " (" + pattern + ")");
  }
  setNameFilters(filters);

  scaleEdit_ = new NumberEdit(this);
  scaleEdit_->setObjectName(QStringLiteral("scale"));
  maxLabel_ = new QLabel(this);
  settings_ = new CSettingsButton(this);
  if (auto* grid = qobject_cast<QGridLayout*>(layout())) {
    const int row = grid->rowCount();
    grid->addWidget(new QLabel(tr("Czynnik skalujący:"), this), row, 0);
    grid->addWidget(scaleEdit_, row, 1);
    grid->addWidget(settings_, row, 2);
    grid->addWidget(maxLabel_, row + 1, 1);
  }
  // Every change of the type, by the user or by selectNameFilter.
  if (auto* types = findChild<QComboBox*>(QStringLiteral("fileTypeCombo")))
    connect(types, &QComboBox::currentIndexChanged, this, &CPatternSaveDialog::TypeChosen);
  TypeChosen(0);
}

void CPatternSaveDialog::TypeChosen(int index) {
  if (index < 0 || index >= nameFilters().size()) return;
  typeIndex = index;
  void* module = static_cast<size_t>(index) < modules_.size() ? modules_[static_cast<size_t>(index)] : nullptr;
  ChartFormat format;
  format.module = module;
  // A name typed without an extension gets the type's own, and the
  // question about overwriting is asked about that name.
  setDefaultSuffix(QString::fromStdString(DefaultChartExtension(format)));
  settings_->SetModule(module);
  settings_->setEnabled(settings_->HasSettings());
}

int CPatternSaveDialog::exec() {
  scaleEdit_->setText(ScaleText(scale));
  maxLabel_->setText(QString::fromStdString(FormatMaximumLabel(maximum)));
  if (typeIndex >= 0 && typeIndex < nameFilters().size()) selectNameFilter(nameFilters()[typeIndex]);
  return QFileDialog::exec();
}

void CPatternSaveDialog::accept() {
  // "0,5" is a half; a text that is no number keeps the dialog open rather
  // than writing a file of zeros.
  if (!scaleEdit_->TakeNumber(&scale)) return;
  const int i = nameFilters().indexOf(selectedNameFilter());
  if (i >= 0) typeIndex = i;
  QFileDialog::accept();
}

}  // namespace pelmora

#include "app/ui/SettingsDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>
#include <functional>

#include "settings/Paths.h"
#include "diffractogram/chart/ChartPainter.h"
#include "widgets/NumberEdit.h"
#include "io/NumberFormat.h"

namespace pelmora {

namespace {

QWidget* FolderRow(QWidget* parent, QLineEdit* edit, const std::function<QString()>& start) {
  auto* row = new QWidget(parent);
  auto* h = new QHBoxLayout(row);
  h->setContentsMargins(0, 0, 0, 0);
  auto* browse = new QPushButton(QStringLiteral("..."), row);
  browse->setFixedWidth(browse->fontMetrics().horizontalAdvance(QStringLiteral("....")) + 16);
  h->addWidget(edit, 1);
  h->addWidget(browse);
  QObject::connect(browse, &QPushButton::clicked, row, [row, edit, start] {
    const QString dir = QFileDialog::getExistingDirectory(row, QCoreApplication::translate("CSettingsDlg", "Wybierz katalog"), start());
    if (!dir.isEmpty()) edit->setText(dir);
  });
  return row;
}

}  // namespace

CSettingsDlg::CSettingsDlg(CSettings& settings, QWidget* parent, const std::vector<std::string>& instruments)
    : QDialog(parent), s_(settings) {
  setWindowTitle(tr("Ustawienia programu"));
  auto* top = new QVBoxLayout(this);

  auto* folders = new QGroupBox(tr("Ustawienia katalogów"), this);
  auto* ff = new QFormLayout(folders);
  pluginsDir_ = new QLineEdit(QString::fromStdString(s_.PluginsDir), this);
  dataDir_ = new QLineEdit(QString::fromStdString(s_.DataDir), this);
  // The choosers start in the folders as the program resolves them (the
  // plug-ins one where the plug-ins are loaded from), not in the working
  // directory.
  ff->addRow(tr("Katalog z wtyczkami:"), FolderRow(folders, pluginsDir_, [this] {
               return QString::fromStdString(ResolvePluginsFolder(pluginsDir_->text().toStdString()));
             }));
  ff->addRow(tr("Katalog z danymi:"), FolderRow(folders, dataDir_, [this] {
               return QString::fromStdString(ResolveFolder(dataDir_->text().toStdString()));
             }));
  top->addWidget(folders);

  auto* model = new QGroupBox(tr("Model komórki"), this);
  auto* mf = new QFormLayout(model);
  detail_ = new QSpinBox(this);
  detail_->setRange(10, 50);
  detail_->setValue(std::clamp(static_cast<int>(s_.GLDetail), 10, 50));
  mf->addRow(tr("Dokładność modelu:"), detail_);
  top->addWidget(model);

  top->addWidget(ImportsGroup(instruments));

  auto* chart = new QGroupBox(tr("Ustawienia dyfraktogramu"), this);
  auto* cf = new QFormLayout(chart);
  margin_ = new NumberEdit(this);
  margin_->setNumber(s_.dthMargin);
  useMultiple_ = new QCheckBox(tr("Użyj wielokrotności H"), this);
  useMultiple_->setChecked(s_.useTHMF != 0);
  multiple_ = new NumberEdit(this);
  multiple_->setNumber(s_.dthMF);
  multiple_->setEnabled(s_.useTHMF != 0);
  connect(useMultiple_, &QCheckBox::toggled, multiple_, &QWidget::setEnabled);
  colourPrint_ = new QCheckBox(tr("Drukuj w kolorze"), this);
  colourPrint_->setChecked(s_.printBW == 0);
  chart_ = new CColorBox(this);
  chart_->setColor(ColorFromBgr(s_.ChartColor));
  axis_ = new CColorBox(this);
  axis_->setColor(ColorFromBgr(s_.AxisColor));
  ka1_ = new CColorBox(this);
  ka1_->setColor(ColorFromBgr(s_.KA1Color));
  ka2_ = new CColorBox(this);
  ka2_->setColor(ColorFromBgr(s_.KA2Color));
  cf->addRow(tr("Maks. szerokość piku (st.)"), margin_);
  cf->addRow(QString(), useMultiple_);
  cf->addRow(QStringLiteral("H *"), multiple_);
  cf->addRow(QString(), colourPrint_);
  cf->addRow(tr("Kolor dyfraktogramu:"), chart_);
  cf->addRow(tr("Kolor podziałki:"), axis_);
  auto* pair = new QWidget(this);
  auto* ph = new QHBoxLayout(pair);
  ph->setContentsMargins(0, 0, 0, 0);
  ph->addWidget(ka1_);
  ph->addWidget(ka2_);
  ph->addStretch();
  cf->addRow(new QLabel(tr("Kolory podpisów\nrefleksów"), this), pair);
  top->addWidget(chart);
  top->addWidget(BuildLanguageBox());

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
  buttons->button(QDialogButtonBox::Cancel)->setText(tr("Anuluj"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  top->addWidget(buttons);
  setMinimumWidth(460);
}

// The system's language, Polish or English; a change shows from the next start,
// since every window is built in one language.
QGroupBox* CSettingsDlg::BuildLanguageBox() {
  auto* box = new QGroupBox(tr("Język"), this);
  auto* form = new QFormLayout(box);
  language_ = new QComboBox(box);
  language_->addItem(tr("systemowy"), QString());
  language_->addItem(QStringLiteral("polski"), QStringLiteral("pl"));
  language_->addItem(QStringLiteral("English"), QStringLiteral("en"));
  const int current = language_->findData(QString::fromStdString(s_.Language));
  language_->setCurrentIndex(current < 0 ? 0 : current);
  form->addRow(tr("Język:"), language_);
  auto* note = new QLabel(tr("Zmiana języka obowiązuje od następnego uruchomienia programu."), box);
  note->setWordWrap(true);
  form->addRow(note);
  return box;
}

QGroupBox* CSettingsDlg::ImportsGroup(const std::vector<std::string>& instruments) {
  // Files that name no instrument (CIF, PDB, mmCIF) get this one rather
  // than the current, ideal one, whose spikes no grid resolves.
  auto* imports = new QGroupBox(tr("Import struktur"), this);
  auto* inf = new QFormLayout(imports);
  importAparat_ = new QComboBox(this);
  importAparat_->addItem(tr("(bieżący zestaw)"), QString());
  for (const std::string& name : instruments)
    importAparat_->addItem(QString::fromStdString(name), QString::fromStdString(name));
  const QString chosen = QString::fromStdString(s_.ImportAparat);
  if (!chosen.isEmpty() && importAparat_->findData(chosen) < 0) importAparat_->addItem(chosen, chosen);
  importAparat_->setCurrentIndex(std::max(0, importAparat_->findData(chosen)));
  inf->addRow(tr("Przyrząd struktur z CIF i PDB:"), importAparat_);
  return imports;
}

void CSettingsDlg::accept() {
  // A numeric field without a number keeps the dialog open with the focus there.
  double marginValue = 0, multipleValue = 0;
  if (!margin_->TakeNumber(&marginValue) || !multiple_->TakeNumber(&multipleValue)) return;
  s_.PluginsDir = pluginsDir_->text().toStdString();
  s_.DataDir = dataDir_->text().toStdString();
  s_.GLDetail = detail_->value();
  s_.dthMargin = marginValue;
  s_.dthMF = multipleValue;
  s_.useTHMF = useMultiple_->isChecked() ? 1 : 0;
  s_.printBW = colourPrint_->isChecked() ? 0 : 1;
  s_.ChartColor = BgrFromColor(chart_->color());
  s_.AxisColor = BgrFromColor(axis_->color());
  s_.KA1Color = BgrFromColor(ka1_->color());
  s_.KA2Color = BgrFromColor(ka2_->color());
  s_.Language = language_->currentData().toString().toStdString();
  s_.ImportAparat = importAparat_->currentData().toString().toStdString();
  QDialog::accept();
}

}  // namespace pelmora

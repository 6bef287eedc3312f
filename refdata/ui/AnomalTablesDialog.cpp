#include "refdata/ui/AnomalTablesDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <utility>

#include "widgets/NumberEdit.h"
#include "io/NumberFormat.h"
#include "refdata/ReferenceData.h"
#include "refdata/ReferenceFiles.h"
#include "refdata/ui/NamePrompt.h"

namespace pelmora {

namespace {
QString Fmt(double v) { return QString::fromStdString(cformat("%f", v)); }
}  // namespace

// --- anomalous tables ----------------------------------------------------------------------

CAnomalDlg::CAnomalDlg(ReferenceData& ref, QWidget* parent) : QDialog(parent), ref_(ref) {
  setWindowTitle(tr("Czynniki anomalne"));
  tables_ = new QComboBox(this);
  for (const AnomalTable& t : ref_.anomalTables) tables_->addItem(QString::fromStdString(t.name));

  list_ = new QTableWidget(AnomalTable::kMaxElement, 4, this);
  list_->setHorizontalHeaderLabels({tr("Nr"), tr("Atom"), QStringLiteral("f'"),
                                    QStringLiteral("f''")});
  list_->verticalHeader()->hide();
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  const int widths[] = {30, 60, 90, 90};
  for (int c = 0; c < 4; ++c) list_->setColumnWidth(c, widths[c]);
  list_->setMinimumWidth(30 + 60 + 90 + 90 + 24);
  list_->setMinimumHeight(320);

  fprim_ = new NumberEdit(this);
  fbis_ = new NumberEdit(this);
  auto* form = new QFormLayout;
  // Both terms are in electrons, as the form factor they add to.
  for (auto [label, field] : {std::pair{"f ':", fprim_}, std::pair{"f '':", fbis_}}) {
    auto* row = new QHBoxLayout;
    row->addWidget(field);
    row->addWidget(new QLabel(QStringLiteral("e"), this));
    form->addRow(QString::fromLatin1(label), row);
  }

  add_ = new QPushButton(tr("Dodaj"), this);
  rename_ = new QPushButton(tr("Zmień nazwę"), this);
  save_ = new QPushButton(tr("Zapisz zmiany"), this);
  change_ = new QPushButton(tr("Zmień"), this);
  ok_ = new QPushButton(QStringLiteral("OK"), this);
  ok_->setDefault(true);

  auto* side = new QVBoxLayout;
  side->addWidget(tables_);
  side->addWidget(add_);
  side->addWidget(rename_);
  side->addWidget(save_);
  side->addSpacing(12);
  side->addLayout(form);
  side->addWidget(change_);
  side->addStretch();
  side->addWidget(ok_);
  auto* layout = new QHBoxLayout(this);
  layout->addWidget(list_, 1);
  layout->addLayout(side);

  connect(tables_, &QComboBox::currentIndexChanged, this, &CAnomalDlg::ShowTable);
  connect(list_, &QTableWidget::itemSelectionChanged, this, &CAnomalDlg::OnRow);
  connect(add_, &QPushButton::clicked, this, &CAnomalDlg::OnAdd);
  connect(rename_, &QPushButton::clicked, this, &CAnomalDlg::OnRename);
  connect(change_, &QPushButton::clicked, this, &CAnomalDlg::OnChange);
  connect(save_, &QPushButton::clicked, this, &CAnomalDlg::OnSave);
  connect(ok_, &QPushButton::clicked, this, &CAnomalDlg::accept);
  ShowTable(tables_->currentIndex());
}

void CAnomalDlg::ShowTable(int index) {
  const AnomalTable* t = ref_.AnomalAt(index);
  list_->clearSelection();
  for (int nr = 1; nr <= AnomalTable::kMaxElement; ++nr) {
    const int row = nr - 1;
    const QString texts[] = {QString::number(nr), QString::fromStdString(ref_.elements.Entry(nr).symbol),
                             t ? Fmt(t->fprim[nr]) : QString(), t ? Fmt(t->fbis[nr]) : QString()};
    for (int c = 0; c < 4; ++c) list_->setItem(row, c, new QTableWidgetItem(texts[c]));
  }
  fprim_->setText(QStringLiteral("0.0"));
  fbis_->setText(QStringLiteral("0.0"));
  rename_->setEnabled(t != nullptr);
  change_->setEnabled(t != nullptr);
}

int CAnomalDlg::SelectedRow() const {
  const QList<QTableWidgetSelectionRange> ranges = list_->selectedRanges();
  return ranges.isEmpty() ? -1 : ranges.first().topRow();
}

void CAnomalDlg::OnRow() {
  const AnomalTable* t = ref_.AnomalAt(tables_->currentIndex());
  const int row = SelectedRow();
  if (!t || row < 0) return;
  fprim_->setText(Fmt(t->fprim[row + 1]));
  fbis_->setText(Fmt(t->fbis[row + 1]));
}

void CAnomalDlg::OnChange() {
  const int index = tables_->currentIndex();
  const int row = SelectedRow();
  if (index < 0 || index >= ref_.anomalCount() || row < 0) return;
  double fp = 0, fb = 0;
  if (!fprim_->TakeNumber(&fp) || !fbis_->TakeNumber(&fb)) return;
  AnomalTable& t = ref_.anomalTables[index];
  t.fprim[row + 1] = fp;
  t.fbis[row + 1] = fb;
  ref_.anomalsModified = true;
  // The row shows the texts as the user typed them.
  list_->item(row, 2)->setText(fprim_->text());
  list_->item(row, 3)->setText(fbis_->text());
}

void CAnomalDlg::OnAdd() {
  if (ref_.anomalCount() >= kMaxAnomalTables) {
    QMessageBox::information(this, tr("Info"),
                             tr("Tablica jest pełna: mieści %1 pozycji.").arg(kMaxAnomalTables));
    return;
  }
  CPrompt prompt(tr("Dodaj nową tablicę..."), QString(), this);
  if (prompt.exec() != QDialog::Accepted) return;
  AnomalTable t;
  t.name = prompt.name().toStdString();
  ref_.anomalTables.push_back(std::move(t));
  ref_.anomalsModified = true;
  tables_->addItem(prompt.name());
  tables_->setCurrentIndex(tables_->count() - 1);
}

void CAnomalDlg::OnRename() {
  const int index = tables_->currentIndex();
  if (index < 0 || index >= ref_.anomalCount()) return;
  CPrompt prompt(tr("Zmień nazwę tablicy..."), QString::fromStdString(ref_.anomalTables[index].name),
                 this);
  if (prompt.exec() != QDialog::Accepted) return;
  ref_.anomalTables[index].name = prompt.name().toStdString();
  ref_.anomalsModified = true;
  const QSignalBlocker quiet(tables_);
  tables_->setItemText(index, prompt.name());
}

void CAnomalDlg::OnSave() {
  if (QMessageBox::question(this, tr("Pytanie"),
                            tr("Czy napewno zapisać zmiany w tablicy czynników anomalnych na dysku ?"),
                            QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
    return;
  std::string error;
  if (ref_.SaveAnomals(&error)) ref_.anomalsModified = false;
  else QMessageBox::critical(this, tr("Błąd"), QString::fromStdString(error));
}

}  // namespace pelmora

#include "refdata/ui/RecordListDialog.h"
#include "refdata/ui/SourcesDialog.h"
#include "refdata/ui/InstrumentsDialog.h"

#include <QButtonGroup>
#include <QCoreApplication>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "widgets/NumberEdit.h"
#include "io/NumberFormat.h"
#include "refdata/ReferenceData.h"

namespace pelmora {

namespace {

QString Fmt(const char* format, double v) { return QString::fromStdString(cformat(format, v)); }

bool IsMarked(const QString& name) { return name.startsWith(QLatin1Char('*')) || name.startsWith(QLatin1Char('@')); }

// Shown in the fields so that a value read back is the value stored.
constexpr const char* kFieldFormat = "%.10g";

}  // namespace

void RefuseOutOfRange(QLineEdit* field, double lo, double hi) {
  QMessageBox::warning(field->window(), QStringLiteral("Pelmora"),
                       QCoreApplication::translate("RecordListDialog", "Enter a number between %1 and %2.").arg(lo).arg(hi));
  field->setFocus();
  field->selectAll();
}

// --- shared list editor ---------------------------------------------------------

RecordListDialog::RecordListDialog(ReferenceData& ref, QWidget* parent) : QDialog(parent), ref_(ref) {}

void RecordListDialog::Build(const QString& title, const QStringList& headers, const QList<int>& widths,
                           const QStringList& labels, QWidget* extra, bool removeBeforeChange) {
  setWindowTitle(title);
  list_ = new QTableWidget(0, headers.size(), this);
  list_->setHorizontalHeaderLabels(headers);
  list_->verticalHeader()->hide();
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list_->setShowGrid(true);
  for (int c = 0; c < widths.size(); ++c) list_->setColumnWidth(c, widths[c]);
  // The last column takes the room left, so that its figures are not cut.
  list_->horizontalHeader()->setStretchLastSection(true);
  int total = 0;
  for (int w : widths) total += w;
  list_->setMinimumWidth(total + 24);
  list_->setMinimumHeight(260);

  auto* form = new QFormLayout;
  name_ = new QLineEdit(this);
  form->addRow(tr("Nazwa:"), name_);
  // Each field has a column for its unit, so that the fields line up also
  // where a value has none.
  int unitWidth = 0;
  for (const QString& u : units_) unitWidth = std::max(unitWidth, fontMetrics().horizontalAdvance(u));
  for (int i = 0; i < labels.size(); ++i) {
    auto* edit = new NumberEdit(this);
    numbers_.push_back(edit);
    if (units_.isEmpty()) {
      form->addRow(labels[i], edit);
      continue;
    }
    auto* row = new QHBoxLayout;
    row->addWidget(edit);
    auto* unit = new QLabel(i < units_.size() ? units_[i] : QString(), this);
    unit->setObjectName(QStringLiteral("unit"));
    unit->setFixedWidth(unitWidth);
    row->addWidget(unit);
    form->addRow(labels[i], row);
  }

  add_ = new QPushButton(tr("Dodaj"), this);
  change_ = new QPushButton(tr("Zmień"), this);
  remove_ = new QPushButton(tr("Usuń"), this);
  save_ = new QPushButton(tr("Zapisz"), this);
  ok_ = new QPushButton(QStringLiteral("OK"), this);
  ok_->setDefault(true);
  change_->setEnabled(false);
  remove_->setEnabled(false);
  auto* buttons = new QVBoxLayout;
  for (QPushButton* b : removeBeforeChange ? QList<QPushButton*>{add_, remove_, change_, save_}
                                           : QList<QPushButton*>{add_, change_, remove_, save_})
    buttons->addWidget(b);
  buttons->addStretch();
  buttons->addWidget(ok_);

  auto* fields = new QVBoxLayout;
  fields->addLayout(form);
  if (extra) fields->addWidget(extra);
  fields->addStretch();
  auto* layout = new QHBoxLayout(this);
  layout->addWidget(list_, 1);
  layout->addLayout(fields);
  layout->addLayout(buttons);

  connect(list_, &QTableWidget::itemSelectionChanged, this, &RecordListDialog::OnSelection);
  connect(add_, &QPushButton::clicked, this, &RecordListDialog::OnAdd);
  connect(change_, &QPushButton::clicked, this, &RecordListDialog::OnChange);
  connect(remove_, &QPushButton::clicked, this, &RecordListDialog::OnRemove);
  connect(save_, &QPushButton::clicked, this, &RecordListDialog::OnSave);
  connect(ok_, &QPushButton::clicked, this, &RecordListDialog::accept);
  Refill();
}

void RecordListDialog::SetRow(int i) {
  const QStringList texts = QStringList{NameAt(i)} + NumbersAt(i);
  for (int c = 0; c < texts.size(); ++c) {
    auto* item = new QTableWidgetItem(texts[c]);
    if (c > 0) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    list_->setItem(i, c, item);
  }
}

void RecordListDialog::Refill() {
  list_->clearSelection();
  list_->setRowCount(Count());
  for (int i = 0; i < Count(); ++i) SetRow(i);
  OnSelection();
}

int RecordListDialog::Selected() const {
  const QList<QTableWidgetSelectionRange> ranges = list_->selectedRanges();
  return ranges.isEmpty() ? -1 : ranges.first().topRow();
}

void RecordListDialog::OnSelection() {
  const int i = Selected();
  // Entry 0 is the settings' choice and a marked entry came from the
  // settings or a structure file: neither belongs to the file, which leaves
  // them out, so they are shown (and can be copied with "Dodaj") but not
  // changed or removed here.
  const bool editable = i > 0 && i < Count() && !IsMarked(NameAt(i));
  change_->setEnabled(editable);
  remove_->setEnabled(editable);
  if (i >= 0 && i < Count()) ShowEntry(i);
}

void RecordListDialog::ShowCurrent(int i) {
  if (Count() == 0) return;
  if (i < 0 || i >= Count()) i = 0;
  ShowEntry(i);
  list_->scrollToItem(list_->item(i, 0));
}

bool RecordListDialog::TakeName(std::string* out) {
  const QString name = name_->text();
  if (IsMarked(name)) {
    QMessageBox::warning(this, tr("Błąd"),
                         tr("Nazwa nie może zaczynać się od znaku „*” ani „@”: takiej pozycji nie "
                                        "zapisuje się w pliku."));
    name_->setFocus();
    name_->selectAll();
    return false;
  }
  *out = name.toStdString();
  return true;
}

void RecordListDialog::OnAdd() {
  if (Count() >= Capacity()) {
    QMessageBox::information(this, tr("Info"),
                             tr("Tablica jest pełna: mieści %1 pozycji.").arg(Capacity()));
    return;
  }
  const int i = Count();
  if (!StoreFields(i)) return;
  Modified() = true;
  list_->setRowCount(Count());
  SetRow(i);
  list_->selectRow(i);
  list_->scrollToItem(list_->item(i, 0));
}

void RecordListDialog::OnChange() {
  const int i = Selected();
  if (i <= 0 || i >= Count() || !StoreFields(i)) return;
  Modified() = true;
  SetRow(i);
}

void RecordListDialog::OnRemove() {
  const int i = Selected();
  if (i <= 0 || i >= Count()) return;
  Remove(i);
  Modified() = true;
  Refill();
}

void RecordListDialog::OnSave() {
  std::string error;
  if (Write(&error)) {
    Modified() = false;
    return;
  }
  QMessageBox::critical(this, tr("Błąd"), QString::fromStdString(error));
}

void RecordListDialog::accept() {
  double v = 0;
  for (NumberEdit* e : numbers_)
    if (!e->TakeNumber(&v)) return;
  if (!CheckRanges()) return;
  QDialog::accept();
}

// --- radiation sources -------------------------------------------------------------

CLambdaDlg::CLambdaDlg(ReferenceData& ref, QWidget* parent, int current) : RecordListDialog(ref, parent) {
  auto* group = new QGroupBox(tr("Rodzaj promieniowania:"), this);
  xray_ = new QRadioButton(tr("Promieniowanie X"), group);
  neutron_ = new QRadioButton(tr("Neutrony"), group);
  auto* box = new QVBoxLayout(group);
  box->addWidget(xray_);
  box->addWidget(neutron_);
  xray_->setChecked(true);
  units_ = {QStringLiteral("Å"), QStringLiteral("Å"), QString()};
  Build(tr("Źródła promieniowania"),
        {tr("Nazwa"), QStringLiteral("K a1"), QStringLiteral("K a2"), QStringLiteral("Ka2/Ka1")},
        {88, 62, 62, 59}, {QStringLiteral("K a1:"), QStringLiteral("K a2:"), QStringLiteral("Ka2/Ka1:")}, group,
        true);
  ShowCurrent(current);
}

int CLambdaDlg::Count() const { return static_cast<int>(ref_.sources.size()); }
int CLambdaDlg::Capacity() const { return kMaxSources; }
QString CLambdaDlg::NameAt(int i) const { return QString::fromStdString(ref_.sources[i].name); }

QStringList CLambdaDlg::NumbersAt(int i) const {
  const RadiationSource& s = ref_.sources[i];
  return {Fmt("%8.5f", s.lambda1), Fmt("%8.5f", s.lambda2), Fmt("%5.3f", s.ratio)};
}

void CLambdaDlg::ShowEntry(int i) {
  const RadiationSource& s = ref_.sources[i];
  nameField()->setText(QString::fromStdString(s.name));
  numbers_[0]->setNumber(s.lambda1, kFieldFormat);
  numbers_[1]->setNumber(s.lambda2, kFieldFormat);
  numbers_[2]->setNumber(s.ratio, kFieldFormat);
  (s.radiation >= 1 ? neutron_ : xray_)->setChecked(true);
}

bool CLambdaDlg::CheckRanges() {
  const std::optional<double> ratio = numbers_[2]->value();
  if (ratio && (*ratio < 0.0 || *ratio > 1.0)) {
    RefuseOutOfRange(numbers_[2], 0, 1);
    return false;
  }
  return true;
}

bool CLambdaDlg::StoreFields(int i) {
  RadiationSource s;
  if (!TakeName(&s.name) || !numbers_[0]->TakeNumber(&s.lambda1) || !numbers_[1]->TakeNumber(&s.lambda2) ||
      !numbers_[2]->TakeNumber(&s.ratio) || !CheckRanges())
    return false;
  s.radiation = xray_->isChecked() ? 0 : 1;
  if (i == Count()) ref_.sources.push_back(std::move(s));
  else ref_.sources[i] = std::move(s);
  return true;
}

void CLambdaDlg::Remove(int i) { ref_.sources.erase(ref_.sources.begin() + i); }
bool CLambdaDlg::Write(std::string* error) { return ref_.SaveSourceTable(error); }
bool& CLambdaDlg::Modified() { return ref_.sourcesModified; }

// --- instrument sets ------------------------------------------------------------------

CAparatDlg::CAparatDlg(ReferenceData& ref, QWidget* parent, int current) : RecordListDialog(ref, parent) {
  const QString pad = QStringLiteral("      ");
  // Widths in degrees of 2-theta: U, V, W add to its square.
  const QString square = QStringLiteral("°²"), degree = QStringLiteral("°");
  units_ = {square, square, square, degree, degree};
  Build(tr("Czynniki aparaturowe"),
        {tr("Nazwa"), QStringLiteral("U") + pad, QStringLiteral("V") + pad, QStringLiteral("W") + pad,
         QStringLiteral("X") + pad, QStringLiteral("Y") + pad},
        {88, 62, 62, 62, 62, 59},
        {QStringLiteral("U:"), QStringLiteral("V:"), QStringLiteral("W:"), QStringLiteral("X:"), QStringLiteral("Y:")},
        nullptr, false);
  ShowCurrent(current);
}

int CAparatDlg::Count() const { return static_cast<int>(ref_.apparatusSets.size()); }
int CAparatDlg::Capacity() const { return kMaxApparatusSets; }
QString CAparatDlg::NameAt(int i) const { return QString::fromStdString(ref_.apparatusSets[i].name); }

QStringList CAparatDlg::NumbersAt(int i) const {
  const ApparatusSet& s = ref_.apparatusSets[i];
  return {Fmt("%8.5f", s.u), Fmt("%8.5f", s.v), Fmt("%8.5f", s.w), Fmt("%8.5f", s.x), Fmt("%8.5f", s.y)};
}

void CAparatDlg::ShowEntry(int i) {
  const ApparatusSet& s = ref_.apparatusSets[i];
  nameField()->setText(QString::fromStdString(s.name));
  const double values[] = {s.u, s.v, s.w, s.x, s.y};
  for (int k = 0; k < 5; ++k) numbers_[k]->setNumber(values[k], kFieldFormat);
}

bool CAparatDlg::StoreFields(int i) {
  ApparatusSet s;
  if (!TakeName(&s.name)) return false;
  double* values[] = {&s.u, &s.v, &s.w, &s.x, &s.y};
  for (int k = 0; k < 5; ++k)
    if (!numbers_[k]->TakeNumber(values[k])) return false;
  if (i == Count()) ref_.apparatusSets.push_back(std::move(s));
  else ref_.apparatusSets[i] = std::move(s);
  return true;
}

void CAparatDlg::Remove(int i) { ref_.apparatusSets.erase(ref_.apparatusSets.begin() + i); }
bool CAparatDlg::Write(std::string* error) { return ref_.SaveApparatusTable(error); }
bool& CAparatDlg::Modified() { return ref_.apparatusModified; }

}  // namespace pelmora

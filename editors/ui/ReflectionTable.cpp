#include "editors/ui/ReflectionTable.h"

#include <QAbstractTableModel>
#include <QCheckBox>
#include <QCoreApplication>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <map>
#include <vector>

#include "documents/ui/KomorkaDocument.h"
#include "documents/ui/NotificationHub.h"
#include "widgets/SymbolHeader.h"
#include "io/AtomicFile.h"
#include "io/NumberFormat.h"

namespace pelmora {

namespace {

enum class Cell { Number, H, K, L, TwoTheta, M, ReF, ImF, F2, D, Fwhm, Intensity, Percent };

using Column = SymbolColumn<Cell>;

const std::array<Column, 13> kColumns{{
    {QT_TRANSLATE_NOOP("SymbolHeader", "L.p."), 30, Qt::AlignRight, nullptr, Cell::Number},
    {"h", 20, Qt::AlignHCenter, nullptr, Cell::H},
    {"k", 20, Qt::AlignHCenter, nullptr, Cell::K},
    {"l", 20, Qt::AlignHCenter, nullptr, Cell::L},
    {"2Theta", 60, Qt::AlignRight, "two-theta", Cell::TwoTheta},
    {"m", 30, Qt::AlignHCenter, nullptr, Cell::M},
    {"Re(F)", 70, Qt::AlignRight, nullptr, Cell::ReF},
    {"Im(F)", 70, Qt::AlignRight, nullptr, Cell::ImF},
    {"F^2", 70, Qt::AlignRight, "f-squared", Cell::F2},
    {"d [A]", 50, Qt::AlignRight, nullptr, Cell::D},
    {"H", 60, Qt::AlignRight, nullptr, Cell::Fwhm},
    {QT_TRANSLATE_NOOP("SymbolHeader", "Natężenie"), 80, Qt::AlignRight, nullptr, Cell::Intensity},
    {QT_TRANSLATE_NOOP("SymbolHeader", "Natężenie %"), 72, Qt::AlignRight, nullptr, Cell::Percent},
}};

double Percent(const CKomorka& d, const Reflection& r) {
  // With every intensity zero the share means nothing: 0, as in the file.
  return d.results.maxIntensity != 0.0 ? r.intensity / d.results.maxIntensity * 100.0 : 0.0;
}

double Value(const CKomorka& d, const Reflection& r, int row, Cell cell) {
  switch (cell) {
    case Cell::Number: return row;
    case Cell::H: return r.h;
    case Cell::K: return r.k;
    case Cell::L: return r.l;
    case Cell::TwoTheta: return TwoThetaDegrees(r);
    case Cell::M: return r.multiplicity;
    case Cell::ReF: return r.reF;
    case Cell::ImF: return r.imF;
    case Cell::F2: return r.f2;
    case Cell::D: return r.d;
    case Cell::Fwhm: return r.fwhm;
    case Cell::Intensity: return r.intensity;
    case Cell::Percent: return Percent(d, r);
  }
  return 0.0;
}

std::string Format(double v, Cell cell) {
  switch (cell) {
    case Cell::Number:
    case Cell::H:
    case Cell::K:
    case Cell::L:
    case Cell::M: return cformat("%d", static_cast<int>(v));
    case Cell::Fwhm: return v > 0.0 ? cformat("%0.6f", v) : std::string("  -  ");
    case Cell::Intensity: return cformat("%g", v);
    default: return cformat("%0.4f", v);
  }
}

}  // namespace

// The shown reflections as positions in the document's list; each cell is
// formatted from the document when it is drawn, so that a list of tens of
// thousands of rows costs no more than the rows on screen.
class CTabPage4::Model : public QAbstractTableModel {
 public:
  using QAbstractTableModel::QAbstractTableModel;

  void Reload(KomorkaDocument* doc, const ReflectionFilter& filter) {
    beginResetModel();
    doc_ = doc;
    rows_.clear();
    if (doc) {
      const CKomorka& d = doc->doc();
      for (std::size_t i = 0; i < d.results.reflectionsAll.size(); ++i)
        if (ShowsReflection(d.experiment, d.results.reflectionsAll[i], filter)) rows_.push_back(static_cast<int>(i));
    }
    endResetModel();
  }
  const CKomorka* doc() const { return doc_ ? &doc_->doc() : nullptr; }
  const std::vector<int>& rows() const { return rows_; }

  int rowCount(const QModelIndex& parent = {}) const override {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
  }
  int columnCount(const QModelIndex& parent = {}) const override {
    return parent.isValid() ? 0 : static_cast<int>(kColumns.size());
  }
  QVariant data(const QModelIndex& index, int role) const override {
    const CKomorka* d = doc();
    if (!d || !index.isValid() || index.row() >= static_cast<int>(rows_.size())) return {};
    const auto at = static_cast<std::size_t>(rows_[static_cast<std::size_t>(index.row())]);
    // The lists may have been replaced since the last reload.
    if (at >= d->results.reflectionsAll.size()) return {};
    const Column& c = kColumns[static_cast<std::size_t>(index.column())];
    if (role == Qt::DisplayRole)
      return QString::fromStdString(Format(Value(*d, d->results.reflectionsAll[at], index.row(), c.cell), c.cell));
    if (role == Qt::TextAlignmentRole) return QVariant::fromValue(c.align | Qt::AlignVCenter);
    return {};
  }
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount()) return {};
    return ColumnHeaderData(kColumns[static_cast<std::size_t>(section)], role);
  }

 private:
  QPointer<KomorkaDocument> doc_;
  std::vector<int> rows_;
};

CTabPage4::CTabPage4(NotificationHub& hub, QWidget* parent) : QDialog(parent) {
  setWindowTitle(tr("Tablica refleksów"));
  setModal(false);

  model_ = new Model(this);
  list_ = new QTableView(this);
  SetUpSymbolList(list_, model_, ColumnSymbols(kColumns));

  ka1_ = new QCheckBox(tr("pokaż refleksy od linii K alfa 1"), this);
  ka2_ = new QCheckBox(tr("pokaż refleksy od linii K alfa 2"), this);
  extinct_ = new QCheckBox(tr("pokaż wygaszone refleksy"), this);
  ka1_->setChecked(true);
  for (QCheckBox* box : {ka1_, ka2_, extinct_}) connect(box, &QCheckBox::toggled, this, &CTabPage4::Refill);

  auto* close = new QPushButton(tr("Zamknij"), this);
  export_ = new QPushButton(tr("Zapisz do Pliku"), this);
  close->setAutoDefault(false);
  export_->setAutoDefault(false);
  connect(close, &QPushButton::clicked, this, &QDialog::hide);
  connect(export_, &QPushButton::clicked, this, &CTabPage4::Export);

  auto* boxes = new QVBoxLayout;
  boxes->addWidget(ka1_);
  boxes->addWidget(ka2_);
  boxes->addWidget(extinct_);
  auto* buttons = new QVBoxLayout;
  buttons->addWidget(export_);
  buttons->addWidget(close);
  auto* bottom = new QHBoxLayout;
  bottom->addLayout(boxes);
  bottom->addStretch(1);
  bottom->addLayout(buttons);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(list_, 1);
  layout->addLayout(bottom);

  connect(&hub, &NotificationHub::activeDocumentChanged, this, &CTabPage4::Bind);
  connect(&hub, &NotificationHub::reflectionsChanged, this, [this](KomorkaDocument* d) {
    if (d == doc_) Refill();
  });
  // The worker replaces the lists while a calculation runs: read nothing
  // until it has ended and the table is refilled.
  connect(&hub, &NotificationHub::calculationStarting, this, [this](KomorkaDocument* d) {
    if (d == doc_) model_->Reload(nullptr, Filter());
  });

  Bind(nullptr);
  resize(WidthForColumns(), 380);
}

int CTabPage4::WidthForColumns() const {
  int width = 0;
  for (int i = 0; i < model_->columnCount(); ++i) width += list_->columnWidth(i);
  return width + list_->verticalScrollBar()->sizeHint().width() + 2 * list_->frameWidth() + 24;
}

void CTabPage4::showEvent(QShowEvent* e) {
  // Wide enough for the figures of the rows it opens with.
  if (width() < WidthForColumns()) resize(WidthForColumns(), height());
  QDialog::showEvent(e);
}

void CTabPage4::Bind(KomorkaDocument* doc) {
  doc_ = doc;
  const bool has = doc_ != nullptr;
  for (QWidget* w : std::initializer_list<QWidget*>{list_, ka1_, ka2_, extinct_, export_}) w->setEnabled(has);
  Refill();
}

ReflectionFilter CTabPage4::Filter() const {
  ReflectionFilter f;
  f.firstLine = ka1_->isChecked();
  f.secondLine = ka2_->isChecked();
  f.extinct = extinct_->isChecked();
  return f;
}

void CTabPage4::Refill() {
  model_->Reload(doc_, Filter());
  FitColumns();
}

void CTabPage4::FitColumns() {
  const QFontMetrics fm(list_->font());
  auto* header = static_cast<SymbolHeader*>(list_->horizontalHeader());
  const CKomorka* d = model_->doc();
  const std::vector<int>& rows = model_->rows();
  for (std::size_t col = 0; col < kColumns.size(); ++col) {
    const Column& c = kColumns[col];
    const auto value = [&](std::size_t row) {
      return Value(*d, d->results.reflectionsAll[static_cast<std::size_t>(rows[row])], static_cast<int>(row), c.cell);
    };
    const auto format = [&](double v) { return Format(v, c.cell); };
    list_->setColumnWidth(static_cast<int>(col), FittedColumnWidth(fm, *header, static_cast<int>(col), c.width,
                                                                   QString::fromUtf8(c.text), d ? rows.size() : 0,
                                                                   value, format));
  }
}

bool CTabPage4::ExportTo(const QString& path, QString* error) {
  // Nothing bound: the header line alone, as for a document never calculated.
  static const CKomorka kEmpty;
  const std::string text = FormatReflectionList(doc_ ? doc_->doc() : kEmpty, Filter());
  std::string why;
  if (WriteFileAtomically(QFile::encodeName(path).toStdString(), text, &why)) return true;
  if (error) *error = QString::fromStdString(why);
  return false;
}

void CTabPage4::Export() {
  QFileDialog dlg(this, tr("Zapisz do Pliku"));
  dlg.setAcceptMode(QFileDialog::AcceptSave);
  dlg.setOption(QFileDialog::DontUseNativeDialog);
  dlg.setNameFilter(tr("Plik Tekstowy (*.txt *.TXT)"));
  dlg.setDefaultSuffix(QStringLiteral("txt"));
  if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return;
  QString error;
  if (!ExportTo(dlg.selectedFiles().first(), &error)) QMessageBox::critical(this, tr("Błąd"), error);
}

}  // namespace pelmora

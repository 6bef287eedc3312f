#include "diffractogram/ui/InfoPseudoVoigt.h"

#include <QAbstractTableModel>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFrame>
#include <QGridLayout>
#include <QHeaderView>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QSvgRenderer>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <map>
#include <memory>

#include "widgets/SymbolHeader.h"
#include "io/NumberFormat.h"

namespace pelmora {

namespace {

constexpr int kMaxColumnWidth = 200;

enum class Cell { Number, H, K, L, Lambda, TwoTheta, Hpv, Hint, Hg, Hl, Eta, Pg, Pl };

using Column = SymbolColumn<Cell>;

const std::array<Column, 13> kColumns{{
    {QT_TRANSLATE_NOOP("SymbolHeader", "L.p."), 30, Qt::AlignRight, nullptr, Cell::Number},
    {"h", 20, Qt::AlignHCenter, nullptr, Cell::H},
    {"k", 20, Qt::AlignHCenter, nullptr, Cell::K},
    {"l", 20, Qt::AlignHCenter, nullptr, Cell::L},
    {"lambda", 60, Qt::AlignRight, "lambda", Cell::Lambda},
    {"2Theta", 60, Qt::AlignRight, "two-theta", Cell::TwoTheta},
    {"HpV", 70, Qt::AlignHCenter, "h-pv", Cell::Hpv},
    {"HInt", 70, Qt::AlignHCenter, "h-int", Cell::Hint},
    {"HG", 70, Qt::AlignHCenter, "h-g", Cell::Hg},
    {"HL", 70, Qt::AlignHCenter, "h-l", Cell::Hl},
    {"Eta", 70, Qt::AlignHCenter, "eta", Cell::Eta},
    {"Pg", 70, Qt::AlignHCenter, "p-g", Cell::Pg},
    {"Pl", 70, Qt::AlignHCenter, "p-l", Cell::Pl},
}};

// The figure a cell shows, before formatting.
double Value(const PseudoVoigtInfo& r, std::size_t row, Cell cell) {
  switch (cell) {
    case Cell::Number: return static_cast<double>(row + 1);
    case Cell::H: return r.h;
    case Cell::K: return r.k;
    case Cell::L: return r.l;
    case Cell::Lambda: return r.lambda;
    case Cell::TwoTheta: return r.twoThetaRad * kRadToDeg;
    case Cell::Hpv: return r.H;
    case Cell::Hint: return r.sDeg;
    case Cell::Hg: return r.gammaG;
    case Cell::Hl: return r.gammaL;
    case Cell::Eta: return r.eta;
    case Cell::Pg: return r.GsCos;
    case Cell::Pl: return r.LsCos;
  }
  return 0.0;
}

std::string Format(double v, Cell cell) {
  switch (cell) {
    case Cell::Number:
    case Cell::H:
    case Cell::K:
    case Cell::L: return cformat("%d", static_cast<int>(v));
    case Cell::Lambda: return cformat("%.5f", v);
    case Cell::TwoTheta: return cformat("%.4f", v);
    default: return cformat("%.6f", v);
  }
}

// A vector picture at its own size on a transparent background, drawn at
// the screen's resolution so that it stays sharp.
class SvgPicture : public QWidget {
 public:
  SvgPicture(const QString& resource, QWidget* parent) : QWidget(parent), svg_(resource) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  }
  QSize sizeHint() const override { return svg_.defaultSize(); }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    svg_.render(&p, QRectF(QPointF(0, 0), QSizeF(svg_.defaultSize())));
  }

 private:
  QSvgRenderer svg_;
};

}  // namespace

// The records as rows, formatted when a cell is drawn: a long list costs no
// more than the rows on screen.
class InfoPseudoVoigt::Model : public QAbstractTableModel {
 public:
  Model(const std::vector<PseudoVoigtInfo>& records, QObject* parent)
      : QAbstractTableModel(parent), records_(records) {}
  void Reload() {
    beginResetModel();
    rows_ = static_cast<int>(records_.size());
    endResetModel();
  }
  int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : rows_; }
  int columnCount(const QModelIndex& parent = {}) const override {
    return parent.isValid() ? 0 : static_cast<int>(kColumns.size());
  }
  QVariant data(const QModelIndex& index, int role) const override {
    const auto row = static_cast<std::size_t>(index.row());
    // The list may have been refilled since the last Reload.
    if (!index.isValid() || row >= records_.size()) return {};
    const Column& c = kColumns[static_cast<std::size_t>(index.column())];
    if (role == Qt::DisplayRole) return QString::fromStdString(Format(Value(records_[row], row, c.cell), c.cell));
    if (role == Qt::TextAlignmentRole) return QVariant::fromValue(c.align | Qt::AlignVCenter);
    return {};
  }
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount()) return {};
    return ColumnHeaderData(kColumns[static_cast<std::size_t>(section)], role);
  }

 private:
  const std::vector<PseudoVoigtInfo>& records_;
  int rows_ = 0;
};

InfoPseudoVoigt::InfoPseudoVoigt(const std::vector<PseudoVoigtInfo>& records, QWidget* parent)
    : QDialog(parent), records_(records) {
  setWindowTitle(tr("pseudo Voigt"));
  setModal(true);

  // The formulas on a white card, in reading order: the width and its mix
  // first, then what goes into them.
  auto* card = new QFrame(this);
  card->setFrameShape(QFrame::StyledPanel);
  card->setBackgroundRole(QPalette::Base);
  card->setAutoFillBackground(true);
  auto* grid = new QGridLayout(card);
  grid->setHorizontalSpacing(24);
  grid->setVerticalSpacing(6);
  auto picture = [card](const char* name) {
    auto* w = new SvgPicture(QStringLiteral(":/formulas/%1.svg").arg(QLatin1String(name)), card);
    w->setObjectName(QLatin1String(name));
    return w;
  };
  grid->addWidget(picture("h-pv"), 0, 0, 1, 2, Qt::AlignLeft | Qt::AlignVCenter);
  grid->addWidget(picture("h-g"), 1, 0, Qt::AlignLeft | Qt::AlignTop);
  grid->addWidget(picture("h-l"), 1, 1, Qt::AlignLeft | Qt::AlignTop);
  grid->addWidget(picture("h-int"), 2, 0, Qt::AlignLeft | Qt::AlignTop);
  grid->addWidget(picture("eta"), 2, 1, Qt::AlignLeft | Qt::AlignTop);
  grid->setColumnStretch(2, 1);

  model_ = new Model(records_, this);
  list_ = new QTableView(this);
  SetUpSymbolList(list_, model_, ColumnSymbols(kColumns));

  auto* buttons = new QDialogButtonBox(this);
  QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
  buttons->addButton(tr("Cancel"), QDialogButtonBox::RejectRole);
  ok->setDefault(true);
  ok->setFocus();
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(card);
  layout->addWidget(list_, 1);
  layout->addWidget(buttons);

  Fill();
  int width = 0;
  for (int i = 0; i < model_->columnCount(); ++i) width += list_->columnWidth(i);
  width += list_->verticalScrollBar()->sizeHint().width() + 2 * list_->frameWidth() + 24;
  resize(std::max(width, card->sizeHint().width() + 24), 560);
}

void InfoPseudoVoigt::Fill() {
  model_->Reload();
  const QFontMetrics fm(list_->font());
  auto* header = static_cast<SymbolHeader*>(list_->horizontalHeader());
  for (std::size_t col = 0; col < kColumns.size(); ++col) {
    const Cell cell = kColumns[col].cell;
    const auto value = [&](std::size_t row) { return Value(records_[row], row, cell); };
    const auto format = [&](double v) { return Format(v, cell); };
    const int width = FittedColumnWidth(fm, *header, static_cast<int>(col), kColumns[col].width,
                                        QString::fromUtf8(kColumns[col].text), records_.size(), value, format);
    // Absurd figures (a grain size next to nothing) are elided, not given
    // a column wider than the window.
    list_->setColumnWidth(static_cast<int>(col), std::min(width, kMaxColumnWidth));
  }
}

void InfoPseudoVoigt::showEvent(QShowEvent* e) {
  Fill();
  list_->scrollToTop();
  QDialog::showEvent(e);
}

}  // namespace pelmora

// A horizontal table header that draws a symbol picture (an SVG of the
// resources) in place of the text of chosen columns; the text stays in the
// model, where it serves as the tooltip and for tests.
#pragma once

#include <QCoreApplication>
#include <QFontMetrics>
#include <QHeaderView>
#include <QString>
#include <QVariant>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <limits>
#include <map>
#include <memory>
#include <string>

class QAbstractItemModel;
class QSvgRenderer;
class QTableView;

namespace pelmora {

class SymbolHeader : public QHeaderView {
 public:
  // symbols: column -> resource path of its picture.
  SymbolHeader(const std::map<int, QString>& symbols, QWidget* parent);
  ~SymbolHeader() override;
  // Width the symbol of a column needs, 0 without one.
  int symbolWidth(int logical) const;
  QSize sizeHint() const override;

 protected:
  void initStyleOptionForIndex(QStyleOptionHeader* option, int logical) const override;
  void paintSection(QPainter* painter, const QRect& rect, int logical) const override;

 private:
  std::map<int, std::unique_ptr<QSvgRenderer>> symbols_;
};

// One column of a symbol list: its title (UTF-8; the tooltip where a symbol
// stands for it), its least width, its alignment, its header picture and
// the figure its cells show.
template <class Cell>
struct SymbolColumn {
  const char* text;
  int width;  // at least this many pixels
  Qt::Alignment align;
  const char* symbol;  // header picture in resources/symbols, or none
  Cell cell;
};

// The header pictures of the columns that have one, for SetUpSymbolList.
template <class Cell, std::size_t N>
std::map<int, QString> ColumnSymbols(const std::array<SymbolColumn<Cell>, N>& columns) {
  std::map<int, QString> out;
  for (std::size_t i = 0; i < N; ++i)
    if (columns[i].symbol)
      out[static_cast<int>(i)] = QStringLiteral(":/symbols/%1.svg").arg(QLatin1String(columns[i].symbol));
  return out;
}

// A column's header: its title as text and tooltip, and its alignment.
template <class Cell>
QVariant ColumnHeaderData(const SymbolColumn<Cell>& c, int role) {
  if (role == Qt::DisplayRole || role == Qt::ToolTipRole) return QCoreApplication::translate("SymbolHeader", c.text);
  if (role == Qt::TextAlignmentRole) return QVariant::fromValue(c.align | Qt::AlignVCenter);
  return {};
}

// Gives `list` a header with these symbols and makes it a read-only list of
// whole rows with fixed row heights (the view never measures rows it does
// not draw).
SymbolHeader* SetUpSymbolList(QTableView* list, QAbstractItemModel* model, const std::map<int, QString>& symbols);

// The width column `column` needs: its minimum, its title or symbol, and
// its widest figure, which is that of its largest or its most negative
// value (one pass over the numbers, two texts measured), each with a margin.
template <class ValueAt, class FormatOf>
int FittedColumnWidth(const QFontMetrics& fm, const SymbolHeader& header, int column, int minimum,
                      const QString& title, std::size_t rows, ValueAt valueAt, FormatOf format) {
  constexpr int kMargin = 12;
  const int symbol = header.symbolWidth(column);
  int width = std::max(minimum, (symbol ? symbol : fm.horizontalAdvance(title)) + kMargin);
  double lo = std::numeric_limits<double>::infinity(), hi = -lo;
  for (std::size_t row = 0; row < rows; ++row) {
    const double v = valueAt(row);
    if (!std::isfinite(v)) continue;  // "nan" and "inf" are short
    lo = std::min(lo, v);
    hi = std::max(hi, v);
  }
  if (lo <= hi)
    for (double v : {lo, hi})
      width = std::max(width, fm.horizontalAdvance(QString::fromStdString(format(v))) + kMargin);
  return width;
}

}  // namespace pelmora

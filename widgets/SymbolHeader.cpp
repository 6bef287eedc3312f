#include "widgets/SymbolHeader.h"

#include <QPainter>
#include <QTableView>
#include <QStyleOptionHeader>
#include <QSvgRenderer>
#include <algorithm>

namespace pelmora {

SymbolHeader::SymbolHeader(const std::map<int, QString>& symbols, QWidget* parent)
    : QHeaderView(Qt::Horizontal, parent) {
  for (const auto& [column, resource] : symbols) symbols_[column] = std::make_unique<QSvgRenderer>(resource);
}

SymbolHeader::~SymbolHeader() = default;

int SymbolHeader::symbolWidth(int logical) const {
  auto it = symbols_.find(logical);
  return it == symbols_.end() ? 0 : it->second->defaultSize().width();
}

QSize SymbolHeader::sizeHint() const {
  QSize s = QHeaderView::sizeHint();
  s.setHeight(std::max(s.height(), 18 + 8));  // the pictures are 18 pixels high
  return s;
}

void SymbolHeader::initStyleOptionForIndex(QStyleOptionHeader* option, int logical) const {
  QHeaderView::initStyleOptionForIndex(option, logical);
  if (symbols_.count(logical)) option->text.clear();
}

void SymbolHeader::paintSection(QPainter* painter, const QRect& rect, int logical) const {
  QHeaderView::paintSection(painter, rect, logical);
  auto it = symbols_.find(logical);
  if (it == symbols_.end()) return;
  const QSizeF size(it->second->defaultSize());
  const QPointF at(rect.left() + (rect.width() - size.width()) / 2.0,
                   rect.top() + (rect.height() - size.height()) / 2.0);
  painter->save();
  painter->setClipRect(rect.adjusted(1, 1, -1, -1));
  painter->setRenderHint(QPainter::Antialiasing);
  it->second->render(painter, QRectF(at, size));
  painter->restore();
}

SymbolHeader* SetUpSymbolList(QTableView* list, QAbstractItemModel* model, const std::map<int, QString>& symbols) {
  auto* header = new SymbolHeader(symbols, list);
  header->setHighlightSections(false);
  list->setHorizontalHeader(header);
  list->setModel(model);
  list->verticalHeader()->hide();
  list->setShowGrid(true);
  list->setSelectionBehavior(QAbstractItemView::SelectRows);
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  list->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list->setWordWrap(false);
  list->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  list->verticalHeader()->setDefaultSectionSize(list->fontMetrics().height() + 4);
  return header;
}

}  // namespace pelmora

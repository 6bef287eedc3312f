#include "editors/ui/AtomListModel.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QTableView>
#include <algorithm>

namespace pelmora {

AtomListModel::AtomListModel(QStringList headers, Qt::Alignment align, QObject* parent)
    : QAbstractTableModel(parent), headers_(std::move(headers)), align_(align) {}

void AtomListModel::Refill(QAbstractItemView* view, int rows, CellText text) {
  if (rows == rows_) {
    text_ = std::move(text);
    if (rows > 0) emit dataChanged(index(0, 0), index(rows - 1, columnCount() - 1), {Qt::DisplayRole});
    return;
  }
  QItemSelectionModel* selection = view ? view->selectionModel() : nullptr;
  const QList<int> selected = view ? SelectedRows(view) : QList<int>();
  const int current = view ? view->currentIndex().row() : -1;
  // The view's signals stay quiet: the rows kept are the rows it had.
  const QSignalBlocker block(selection);
  beginResetModel();
  rows_ = rows;
  text_ = std::move(text);
  endResetModel();
  if (!selection) return;
  // Runs of neighbouring rows as one range each: selecting every row of a
  // long list one by one would cost as much as the old item list.
  QItemSelection keep;
  for (int i = 0; i < selected.size();) {
    const int first = selected[i];
    if (first >= rows) break;
    int last = first;
    while (i + 1 < selected.size() && selected[i + 1] == last + 1 && selected[i + 1] < rows) last = selected[++i];
    ++i;
    keep.select(index(first, 0), index(last, columnCount() - 1));
  }
  if (!keep.isEmpty()) selection->select(keep, QItemSelectionModel::Select);
  if (current >= 0 && current < rows) selection->setCurrentIndex(index(current, 0), QItemSelectionModel::NoUpdate);
}

int AtomListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_; }

int AtomListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(headers_.size());
}

QVariant AtomListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rows_ || !text_) return {};
  if (role == Qt::DisplayRole) return text_(index.row(), index.column());
  if (role == Qt::TextAlignmentRole) return QVariant::fromValue(align_);
  return {};
}

QVariant AtomListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= headers_.size()) return {};
  if (role == Qt::DisplayRole) return headers_[section];
  return {};
}

QTableView* MakeAtomView(QWidget* parent, AtomListModel* model, const QList<int>& widths) {
  auto* list = new QTableView(parent);
  list->setModel(model);
  list->setSelectionBehavior(QAbstractItemView::SelectRows);
  list->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list->setShowGrid(true);
  list->verticalHeader()->hide();
  // One height for every row: the view then never measures a row.
  list->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  list->verticalHeader()->setDefaultSectionSize(list->fontMetrics().height() + 6);
  list->horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
  for (int i = 0; i < widths.size(); ++i) list->setColumnWidth(i, widths[i]);
  list->horizontalHeader()->setStretchLastSection(true);
  return list;
}

QList<int> SelectedRows(const QAbstractItemView* list) {
  QList<int> rows;
  const QItemSelectionModel* selection = list->selectionModel();
  if (!selection) return rows;
  // From the ranges: asking row by row would walk every column of every row.
  const int columns = list->model()->columnCount();
  for (const QItemSelectionRange& r : selection->selection())
    for (int row = r.top(); row <= r.bottom(); ++row)
      if ((r.left() == 0 && r.right() == columns - 1) || selection->isRowSelected(row)) rows << row;
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  return rows;
}

}  // namespace pelmora

// The lists of atoms on the structure page and the info panel: each cell is
// formatted when the view draws it, so that a cell of a hundred thousand
// atoms opens as fast as one of ten.
#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QStringList>
#include <functional>

class QAbstractItemView;
class QTableView;

namespace pelmora {

class AtomListModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  // The text of a cell; asked only for the rows in sight.
  using CellText = std::function<QString(int row, int column)>;

  AtomListModel(QStringList headers, Qt::Alignment align, QObject* parent = nullptr);

  // `rows` rows whose cells come from `text` from now on. A list of the
  // same length keeps its selection and current row (its texts are only
  // said to have changed); another length keeps the selected rows that
  // still exist.
  void Refill(QAbstractItemView* view, int rows, CellText text);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  QStringList headers_;
  Qt::Alignment align_;
  int rows_ = 0;
  CellText text_;
};

// A list view over `model` with whole rows selected, a grid, no row
// numbers, rows of one height and the given column widths.
QTableView* MakeAtomView(QWidget* parent, AtomListModel* model, const QList<int>& widths);

// The rows selected in a list, in ascending order.
QList<int> SelectedRows(const QAbstractItemView* list);

}  // namespace pelmora

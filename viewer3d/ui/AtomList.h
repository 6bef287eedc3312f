// The viewer panel's list of the structure atoms.
#pragma once

#include <QTableView>
#include <vector>

#include "engine/AtomSite.h"

class QSpinBox;

namespace pelmora {

// One row per structure atom: name, colour, label shown, radius (edited in
// place with a spin box). The rows are read from the panel's atoms when they
// are drawn, so that a list of a hundred thousand costs what the rows in
// sight cost.
class CGLListCtrl : public QTableView {
  Q_OBJECT
 public:
  explicit CGLListCtrl(QWidget* parent = nullptr);
  // The rows of `atoms`, which must outlive the list or the next Fill.
  void Fill(const std::vector<AtomSite>& atoms);
  // Row `row` of the filled atoms changed.
  void RefreshRow(int row);
  int rowCount() const;
  // The in-place radius field of a row; null when none is open.
  QSpinBox* radiusField() const { return radiusField_; }
  void OpenRadiusField(int row, int value);
  void CloseRadiusField();

 signals:
  void radiusTyped(int row, int value);
  void cellClicked(int row, int column);

 private:
  class Model;
  Model* model_;
  QSpinBox* radiusField_ = nullptr;
  QPersistentModelIndex radiusIndex_;
};

}  // namespace pelmora

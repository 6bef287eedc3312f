// The viewer panel's list of the structure atoms.
#pragma once

#include <QTableWidget>
#include <vector>

#include "engine/AtomSite.h"

class QSpinBox;

namespace pelmora {

// One row per structure atom: name, colour, label shown, radius (edited in
// place with a spin box).
// The atom list: name, colour, label box and radius of each structure atom.
class CGLListCtrl : public QTableWidget {
  Q_OBJECT
 public:
  explicit CGLListCtrl(QWidget* parent = nullptr);
  void Fill(const std::vector<AtomSite>& atoms);
  void RefreshRow(int row, const AtomSite& at);
  // The in-place radius field of a row; null when none is open.
  QSpinBox* radiusField() const { return radiusField_; }
  void OpenRadiusField(int row, int value);
  void CloseRadiusField();

 signals:
  void radiusTyped(int row, int value);

 private:
  QSpinBox* radiusField_ = nullptr;
};

}  // namespace pelmora

// The info window of the pseudo-Voigt profile: the figures that its peak
// initialisation worked out for every peak of the last synthesis, one row
// each, under pictures of the formulas behind them.
#pragma once

#include <QDialog>
#include <vector>

#include "diffractogram/PatternSynthesis.h"

class QTableView;

namespace pelmora {

class InfoPseudoVoigt : public QDialog {
  Q_OBJECT
 public:
  // Reads `records` (the application's list) each time it is shown and never
  // changes it.
  explicit InfoPseudoVoigt(const std::vector<PseudoVoigtInfo>& records, QWidget* parent = nullptr);

  QTableView* list() const { return list_; }
  // Rows from the records, in their order, numbered from 1; columns wide
  // enough for their figures.
  void Fill();

 protected:
  void showEvent(QShowEvent* e) override;

 private:
  const std::vector<PseudoVoigtInfo>& records_;
  class Model;
  Model* model_;
  QTableView* list_;
};

}  // namespace pelmora

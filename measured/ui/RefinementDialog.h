// "Dopasuj do pomiaru": the Rietveld refinement of the active document, and
// of the other open documents the user ticks as further phases, against the
// measured pattern shown with it. A tree of every value (per pattern the
// zero, displacement, background and instrument; per phase the scale, cell,
// size, strain, orientation and each site's x y z occ B) with a box to
// refine each, value and esd; the refinement runs on a worker, the curve and
// its difference redrawn as it goes; warnings and strong correlations shown.
// Runs may follow one another with more values ticked (step by step) or go
// at once in stages. Nothing reaches a document until "Zastosuj".
#pragma once

#include <QDialog>
#include <QString>
#include <QVector>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "measured/Refinement.h"

class QCheckBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QTreeWidget;
class QTreeWidgetItem;

namespace pelmora {

class RefinementPlot;

class RefinementDialog : public QDialog {
  Q_OBJECT
 public:
  struct Phase {
    const CKomorka* doc = nullptr;
    QString title;
  };
  // `phases` starts with the active document, which always takes part; the
  // documents and the measurement outlive the dialog, which is modal.
  RefinementDialog(std::vector<Phase> phases, std::shared_ptr<const MeasuredPattern> measured,
                   QWidget* parent = nullptr);
  ~RefinementDialog() override;

  // After "Zastosuj": the solution, its report, which entries of the list
  // given took part (the refinement's phase k is entry fittedPhases()[k]),
  // and whether the instrument's widths were refined.
  const Refinement& refinement() const { return *ref_; }
  const RefinementOutcome& outcome() const { return outcome_; }
  const std::vector<size_t>& fittedPhases() const { return fitted_; }
  bool instrumentRefined() const;

  // "Zapisz do aparatu": the refined instrument widths as a set of the
  // instrument table, by the name given; the program stores it.
  std::function<void(const ApparatusSet&)> saveInstrument;
  void SaveInstrument(const QString& name);

  // For tests, and what the controls do.
  QCheckBox* phaseBox(size_t index) const { return index < phaseBoxes_.size() ? phaseBoxes_[index] : nullptr; }
  QTreeWidget* tree() const { return tree_; }
  QLineEdit* orientationEdit() const { return axis_; }
  QPushButton* fitButton() const { return fit_; }
  QPushButton* applyButton() const { return apply_; }
  QPushButton* cancelButton() const { return cancel_; }
  QPushButton* saveInstrumentButton() const { return saveSet_; }
  QPushButton* correlationsButton() const { return correlations_; }
  QPlainTextEdit* report() const { return report_; }
  bool running() const { return worker_.joinable(); }
  // The background points (2-theta), which replace the Chebyshev terms
  // while there are any; Shift+click on the plot adds one, a right click
  // takes it away.
  void setBackgroundPoints(std::vector<double> points);
  const std::vector<double>& backgroundPoints() const { return backgroundPoints_; }
  // Ticks every value of these kinds (FitWhat bits) and clears the others.
  void setRefined(unsigned what);
  void startFit();

 signals:
  void fitFinished();

 public slots:
  void reject() override;  // "Zamknij", Esc: a running refinement is cancelled first

 private:
  void CreateControls();
  QHBoxLayout* CreateButtons();
  void Rebuild();
  void FillTree();
  void ReadTree();
  void ShowValues();
  void Finished();

  std::vector<Phase> phases_;
  std::shared_ptr<const MeasuredPattern> measured_;
  std::vector<QCheckBox*> phaseBoxes_;
  std::vector<size_t> fitted_;
  std::vector<double> backgroundPoints_;
  std::unique_ptr<Refinement> ref_;
  RefinementOutcome outcome_;
  std::vector<QTreeWidgetItem*> items_;  // one per value of ref_ (null: not offered)
  std::atomic<bool> cancelFlag_{false};
  std::thread worker_;

  QSpinBox* terms_ = nullptr;
  QLineEdit* axis_ = nullptr;
  QCheckBox* staged_ = nullptr;
  QTreeWidget* tree_ = nullptr;
  RefinementPlot* plot_ = nullptr;
  QLabel* status_ = nullptr;
  QPlainTextEdit* report_ = nullptr;
  QPushButton* fit_ = nullptr;
  QPushButton* cancel_ = nullptr;
  QPushButton* apply_ = nullptr;
  QPushButton* close_ = nullptr;
  QPushButton* saveSet_ = nullptr;
  QPushButton* correlations_ = nullptr;
};

}  // namespace pelmora

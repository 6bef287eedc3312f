// "Dopasuj do pomiaru": the user chooses what to refine and which other open
// documents join the active one as further phases of a mixture, the fit
// runs on a worker with its progress and "Anuluj", the agreement factors
// and the values of each phase are shown, and nothing reaches a document
// until "Zastosuj".
#pragma once

#include <QDialog>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include <QString>

#include "measured/PatternFit.h"

class QCheckBox;
class QGroupBox;
class QHBoxLayout;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTableWidget;

namespace pelmora {

class FitDialog : public QDialog {
  Q_OBJECT
 public:
  // A document that may join the fit, with the name the user knows it by.
  struct Phase {
    const CKomorka* doc = nullptr;
    QString title;
  };
  // The documents and the measurement must outlive the dialog; the dialog
  // is modal, so no document is edited while the fit reads it. `phases`
  // starts with the active document, which always takes part; the others
  // take part when the user ticks them.
  FitDialog(std::vector<Phase> phases, std::shared_ptr<const MeasuredPattern> measured, const SynthesisSetup& setup,
            QWidget* parent = nullptr);
  ~FitDialog() override;

  // Valid after "Zastosuj" (the dialog is then accepted). The result's
  // phase k belongs to the entry fittedPhases()[k] of the list given.
  const FitResult& result() const { return result_; }
  unsigned refined() const { return refined_; }
  const std::vector<size_t>& fittedPhases() const { return fitted_; }

  // For tests: the controls, and the fit started as "Dopasuj" starts it.
  QCheckBox* option(unsigned what) const;
  // The check box of the entry `index` of the list given (0: the active one).
  QCheckBox* phaseBox(size_t index) const { return index < phaseBoxes_.size() ? phaseBoxes_[index] : nullptr; }
  QTableWidget* phaseTable() const { return table_; }
  QPushButton* fitButton() const { return fit_; }
  QPushButton* applyButton() const { return apply_; }
  QPushButton* cancelButton() const { return cancel_; }
  QPlainTextEdit* report() const { return report_; }
  bool running() const { return worker_.joinable(); }
  void startFit();

 signals:
  void fitFinished();

 public slots:
  void reject() override;  // "Zamknij", Esc: a running fit is cancelled first

 private:
  QGroupBox* CreatePhaseBox();
  QGroupBox* CreateValueBox();
  void CreateResultViews();
  QHBoxLayout* CreateButtons();
  void finished(FitResult r);
  void showResult();

  std::vector<Phase> phases_;
  std::vector<QCheckBox*> phaseBoxes_;
  std::vector<size_t> fitted_, running_;
  std::shared_ptr<const MeasuredPattern> measured_;
  SynthesisSetup setup_;
  FitResult result_;
  unsigned refined_ = 0;
  std::atomic<bool> cancel_flag_{false};
  std::thread worker_;

  QCheckBox* scale_;
  QCheckBox* zero_;
  QCheckBox* background_;
  QSpinBox* terms_;
  QCheckBox* widths_;
  QCheckBox* cell_;
  QCheckBox* size_;
  QProgressBar* bar_;
  QLabel* status_;
  QTableWidget* table_;
  QPlainTextEdit* report_;
  QPushButton* fit_;
  QPushButton* cancel_;
  QPushButton* apply_;
  QPushButton* close_;
};

}  // namespace pelmora

// "Dopasuj do pomiaru": the user chooses what to refine, the fit runs on a
// worker with its progress and "Anuluj", the agreement factors and values
// are shown, and nothing reaches the document until "Zastosuj".
#pragma once

#include <QDialog>
#include <atomic>
#include <memory>
#include <thread>

#include "measured/PatternFit.h"

class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;

namespace pelmora {

class FitDialog : public QDialog {
  Q_OBJECT
 public:
  // The document and the measurement must outlive the dialog; the dialog is
  // modal, so the document is not edited while the fit reads it.
  FitDialog(const CKomorka& doc, std::shared_ptr<const MeasuredPattern> measured, const SynthesisSetup& setup,
             QWidget* parent = nullptr);
  ~FitDialog() override;

  // Valid after "Zastosuj" (the dialog is then accepted).
  const FitResult& result() const { return result_; }
  unsigned refined() const { return refined_; }

  // For tests: the controls, and the fit started as "Dopasuj" starts it.
  QCheckBox* option(unsigned what) const;
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
  void finished(FitResult r);
  void showResult();

  const CKomorka& doc_;
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
  QPlainTextEdit* report_;
  QPushButton* fit_;
  QPushButton* cancel_;
  QPushButton* apply_;
  QPushButton* close_;
};

}  // namespace pelmora

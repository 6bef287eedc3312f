// The modal progress dialog of one calculation: the search runs on a worker
// thread while the dialog shows the phase and a bar, and "Anuluj" or Esc
// stops it.
#pragma once

#include <QDialog>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "engine/CalcProgress.h"
#include "engine/CalculationRunner.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace pelmora {

class CCalcDialog : public QDialog {
  Q_OBJECT
 public:
  explicit CCalcDialog(QWidget* parent = nullptr);
  ~CCalcDialog() override;

  void SetDocument(CKomorka* doc) { doc_ = doc; }
  // 0 when the calculation ran to its end (whatever it found), -1 when it
  // was cancelled or failed (Failure() tells why). Valid after exec().
  int Result() const { return result_; }
  // Why the run failed (memory ran out); empty when it did not.
  const std::string& Failure() const { return runner_.Failure(); }

  QProgressBar* Bar() const { return bar_; }
  QLabel* Phase() const { return phase_; }

 public slots:
  void reject() override;  // "Anuluj", Esc and the close box

 protected:
  void showEvent(QShowEvent* e) override;

 private slots:
  void OnWorkerFinished(int result);

 private:
  // Relays the worker's progress: positions are posted; a phase text waits
  // until it is shown, unless a cancel is pending (then it is dropped, so the
  // worker never waits for a user-interface thread that waits for it).
  class Relay final : public CalcProgress {
   public:
    explicit Relay(CCalcDialog& dlg) : dlg_(dlg) {}
    void SetRange(int lo, int hi) override;
    void SetPosition(int pos) override;
    void SetStatus(const std::string& text) override;
    void WakeForCancel();

   private:
    CCalcDialog& dlg_;
    std::mutex mutex_;
    std::condition_variable shown_cv_;
    std::uint64_t posted_ = 0, shown_ = 0;
    std::atomic<int> lastPos_{-1};
  };

  void CancelAndWait();

  CKomorka* doc_ = nullptr;
  // The run's cancel flag: "Anuluj" sets it, the search and the relay read it.
  std::atomic<bool> cancelRequested_{false};
  QProgressBar* bar_;
  QLabel* phase_;
  QPushButton* cancel_;
  Relay relay_;
  CalculationRunner runner_;
  bool started_ = false;
  std::atomic<bool> workerDone_{false};
  bool cancelled_ = false;
  int result_ = -1;
};

}  // namespace pelmora

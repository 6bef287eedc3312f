#include "engine/ui/CalcDialog.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace pelmora {

CCalcDialog::CCalcDialog(QWidget* parent) : QDialog(parent), relay_(*this) {
  setWindowTitle(tr("Obliczanie..."));
  setModal(true);
  auto* layout = new QVBoxLayout(this);
  phase_ = new QLabel(tr("Wyszukiwanie refleksów"), this);
  phase_->setAlignment(Qt::AlignCenter);
  bar_ = new QProgressBar(this);
  bar_->setRange(0, 1000);
  bar_->setValue(0);
  bar_->setTextVisible(false);
  cancel_ = new QPushButton(tr("Anuluj"), this);
  cancel_->setAutoDefault(false);
  connect(cancel_, &QPushButton::clicked, this, &CCalcDialog::reject);
  layout->addWidget(bar_);
  layout->addWidget(phase_);
  layout->addWidget(cancel_, 0, Qt::AlignHCenter);
  setMinimumWidth(300);
}

CCalcDialog::~CCalcDialog() { CancelAndWait(); }

void CCalcDialog::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  if (started_ || !doc_) return;
  started_ = true;
  runner_.Start(*doc_, relay_, cancelRequested_, [this](int result, bool) {
    workerDone_ = true;
    QMetaObject::invokeMethod(this, "OnWorkerFinished", Qt::QueuedConnection, Q_ARG(int, result));
  });
}

void CCalcDialog::OnWorkerFinished(int) {
  if (cancelled_) return;
  runner_.Wait();
  if (!runner_.Failure().empty()) {
    // The document keeps its results; the caller tells why.
    result_ = -1;
    QDialog::reject();
    return;
  }
  result_ = 0;
  accept();
}

void CCalcDialog::CancelAndWait() {
  if (!started_ || !runner_.Running()) {
    runner_.Wait();
    return;
  }
  cancelRequested_ = true;
  relay_.WakeForCancel();
  runner_.Cancel();
}

void CCalcDialog::reject() {
  // A run that has already ended (its end not yet seen here) installed its
  // results: the views must take them up as after any other finished run.
  if (workerDone_ && !cancelRequested_) {
    OnWorkerFinished(0);
    return;
  }
  cancelled_ = true;
  CancelAndWait();
  result_ = -1;
  QDialog::reject();
}

void CCalcDialog::Relay::SetRange(int lo, int hi) {
  QMetaObject::invokeMethod(dlg_.bar_, [bar = dlg_.bar_, lo, hi] { bar->setRange(lo, hi); }, Qt::QueuedConnection);
}

void CCalcDialog::Relay::SetPosition(int pos) {
  // Positions arrive far more often than the bar can show them.
  if (lastPos_.exchange(pos) == pos) return;
  QMetaObject::invokeMethod(dlg_.bar_, [bar = dlg_.bar_, pos] { bar->setValue(pos); }, Qt::QueuedConnection);
}

void CCalcDialog::Relay::SetStatus(const std::string& text) {
  std::unique_lock lock(mutex_);
  if (dlg_.cancelRequested_) return;
  const std::uint64_t ticket = ++posted_;
  QMetaObject::invokeMethod(
      dlg_.phase_,
      [this, label = dlg_.phase_, text = QString::fromStdString(text), ticket] {
        label->setText(text);
        {
          std::lock_guard g(mutex_);
          if (ticket > shown_) shown_ = ticket;
        }
        shown_cv_.notify_all();
      },
      Qt::QueuedConnection);
  shown_cv_.wait(lock, [&] { return shown_ >= ticket || dlg_.cancelRequested_.load(); });
}

void CCalcDialog::Relay::WakeForCancel() {
  { std::lock_guard g(mutex_); }
  shown_cv_.notify_all();
}

}  // namespace pelmora

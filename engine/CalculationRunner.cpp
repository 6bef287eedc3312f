#include "engine/CalculationRunner.h"

namespace pelmora {

CalculationRunner::~CalculationRunner() {
  if (worker_.joinable()) Cancel();
}

void CalculationRunner::Start(CKomorka& doc, CalcProgress& progress, std::atomic<bool>& cancel,
                              std::function<void(int result, bool cancelled)> finished) {
  Wait();
  cancel_ = &cancel;
  cancel = false;
  running_ = true;
  worker_ = std::thread([this, &doc, &progress, &cancel, finished = std::move(finished)] {
    const int result = doc.CalculateReflections(progress, cancel);
    const bool cancelled = cancel.load();
    running_ = false;
    if (finished) finished(result, cancelled);
  });
}

void CalculationRunner::Cancel() {
  if (cancel_) *cancel_ = true;
  Wait();
}

CalcOutcome CalculationRunner::Finish() {
  Wait();
  return (cancel_ && cancel_->load()) ? CalcOutcome::Cancel : CalcOutcome::Ok;
}

void CalculationRunner::Wait() {
  if (worker_.joinable()) worker_.join();
}

}  // namespace pelmora

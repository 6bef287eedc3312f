#include "engine/CalculationRunner.h"

namespace pelmora {

CalculationRunner::~CalculationRunner() {
  if (worker_.joinable()) Cancel();
}

void CalculationRunner::Start(CKomorka& doc, CalcProgress& progress,
                              std::function<void(int result, bool cancelled)> finished) {
  Wait();
  doc_ = &doc;
  doc.cancelRequested = false;
  running_ = true;
  worker_ = std::thread([this, &doc, &progress, finished = std::move(finished)] {
    const int result = doc.CalculateReflections(progress);
    const bool cancelled = doc.cancelRequested.load();
    running_ = false;
    if (finished) finished(result, cancelled);
  });
}

void CalculationRunner::Cancel() {
  if (doc_) doc_->cancelRequested = true;
  Wait();
}

CalcOutcome CalculationRunner::Finish() {
  Wait();
  return (doc_ && doc_->cancelRequested.load()) ? CalcOutcome::Cancel : CalcOutcome::Ok;
}

void CalculationRunner::Wait() {
  if (worker_.joinable()) worker_.join();
}

}  // namespace pelmora

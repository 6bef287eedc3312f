#include "engine/CalculationRunner.h"

#include <exception>
#include <new>
#include <system_error>

#include "io/NumberFormat.h"
#include "io/Translate.h"

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
  failure_.clear();
  const auto failed = [](const std::exception& e) {
    return cformat(TrText("engine", "Obliczenie refleksów nie powiodło się: %s").c_str(), e.what());
  };
  auto run = [this, &doc, &progress, &cancel, failed, finished] {
    // An error ends the run, not the program; the document keeps the
    // results it had, as after a cancel.
    int result = -1;
    try {
      result = doc.CalculateReflections(progress, cancel);
    } catch (const std::bad_alloc&) {
      failure_ = TrText("engine", "Zabrakło pamięci na obliczenie refleksów; zmniejsz komórkę lub zakres kątów.");
    } catch (const std::exception& e) {
      failure_ = failed(e);
    }
    const bool cancelled = cancel.load();
    running_ = false;
    if (finished) finished(result, cancelled);
  };
  try {
    worker_ = std::thread(std::move(run));
  } catch (const std::system_error& e) {
    // No thread for the run: it ends at once, as one that failed.
    failure_ = failed(e);
    running_ = false;
    if (finished) finished(-1, false);
  }
}

void CalculationRunner::Cancel() {
  if (cancel_) *cancel_ = true;
  Wait();
}

CalcOutcome CalculationRunner::Finish() {
  Wait();
  if (!failure_.empty()) return CalcOutcome::Failed;
  return (cancel_ && cancel_->load()) ? CalcOutcome::Cancel : CalcOutcome::Ok;
}

void CalculationRunner::Wait() {
  if (worker_.joinable()) worker_.join();
}

}  // namespace pelmora

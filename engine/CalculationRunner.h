// Runs one calculation on a worker thread, as the progress dialog does: the
// cancel flag of whoever runs it is cleared before the start, progress is
// relayed to a watcher, and the end is reported once.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "engine/Komorka.h"

namespace pelmora {

// How a run ends, as the progress dialog closes: OK when the worker went
// through (also when it found nothing and left the old results), Cancel
// when a cancel was asked.
// Failed: the run ended with an error (memory ran out), told by Failure().
enum class CalcOutcome { Ok, Cancel, Failed };

class CalculationRunner {
 public:
  CalculationRunner() = default;
  CalculationRunner(const CalculationRunner&) = delete;
  CalculationRunner& operator=(const CalculationRunner&) = delete;
  // A runner that still runs is cancelled and joined.
  ~CalculationRunner();

  // Clears `cancel` and starts CalculateReflections on a worker, which stops
  // once `cancel` is set (from any thread). finished(result, cancelled) is
  // called on the worker thread when it ends (result 0: results installed;
  // -1: cancelled or nothing found). The document, the flag and the watcher
  // must outlive the run.
  void Start(CKomorka& doc, CalcProgress& progress, std::atomic<bool>& cancel,
             std::function<void(int result, bool cancelled)> finished);

  // Sets the cancel flag and waits without limit for the worker to end.
  void Cancel();
  // Waits for the worker to end.
  void Wait();
  // Waits for the worker to end and tells how the run ended.
  CalcOutcome Finish();
  bool Running() const { return running_.load(); }
  // Why the last run failed, for the user; empty when it did not. Read once
  // it has ended.
  const std::string& Failure() const { return failure_; }

 private:
  std::atomic<bool>* cancel_ = nullptr;
  std::thread worker_;
  std::atomic<bool> running_{false};
  std::string failure_;
};

}  // namespace pelmora

// What a running calculation tells whoever watches it.
#pragma once

#include <string>

namespace pelmora {

class CalcProgress {
 public:
  virtual ~CalcProgress() = default;
  // Range and positions are fire-and-forget: they must never block the
  // worker, and may be called from several worker threads at once.
  virtual void SetRange(int lo, int hi) = 0;
  virtual void SetPosition(int pos) = 0;
  // The phase text may wait until it is shown. The calculation never calls
  // it while a cancel is pending, so a watcher blocked on the worker's end
  // cannot deadlock with it.
  virtual void SetStatus(const std::string& text) = 0;
};

// A watcher that ignores everything (tests, batch runs).
class NullProgress final : public CalcProgress {
 public:
  void SetRange(int, int) override {}
  void SetPosition(int) override {}
  void SetStatus(const std::string&) override {}
};

}  // namespace pelmora

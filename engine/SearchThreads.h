// What the reflection search, its grouping and its rating share: the
// threads OpenMP offers them and the progress they post together.
#pragma once

#include <atomic>
#include <cstddef>

#include "engine/CalcProgress.h"

namespace pelmora::search {

// The threads OpenMP offers and the calling thread's number among them; one
// thread where the build has no OpenMP.
int MaxThreads();
int ThreadNumber();
// Below this many groups one thread rates them: a second one would not pay
// for its start.
inline constexpr size_t kParallelRecords = 20000;

// Posts progress positions without flooding the watcher: a position is sent
// only when it moves forward.
class PositionPoster {
 public:
  explicit PositionPoster(CalcProgress& p) : progress_(p) {}
  void Post(int pos) {
    int last = last_.load(std::memory_order_relaxed);
    while (pos > last) {
      if (last_.compare_exchange_weak(last, pos)) {
        progress_.SetPosition(pos);
        return;
      }
    }
  }

 private:
  CalcProgress& progress_;
  std::atomic<int> last_{-1};
};

}  // namespace pelmora::search

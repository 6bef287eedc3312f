// What the reflection search, its grouping and its rating share: the
// threads they run on and the progress they post together.
#pragma once

#include <atomic>
#include <cstddef>
#include <thread>
#include <vector>

#include "engine/CalcProgress.h"

namespace pelmora::search {

// The threads OpenMP offers (OMP_NUM_THREADS, else the cores); one where
// the build has no OpenMP.
int MaxThreads();

// The processor the calling thread runs on; -1 when unknown.
int CurrentCpu();
// Called first thing by a thread that one running on cpu has just started:
// moves it to another processor the process may use, if there is one, and
// leaves it free to go anywhere afterwards. The system starts a new thread
// beside its parent, and on a virtual machine of two cores it was seen to
// leave the other core idle for up to 20 ms while the two took turns on
// one.
void StartAwayFrom(int cpu);

// body(t) for t = 0 .. n - 1, t = 0 on the calling thread and the others on
// threads of their own, all finished on return. A thread that is done
// sleeps until the rest are: OpenMP's idle threads spin meanwhile, and on a
// machine of two cores (or two threads of one core) the spinning took what
// the thread still working needed.
template <class Body>
void OnThreads(int n, const Body& body) {
  std::vector<std::jthread> others;
  const int cpu = n > 1 ? CurrentCpu() : -1;
  for (int t = 1; t < n; ++t)
    others.emplace_back([&body, t, cpu] {
      StartAwayFrom(cpu);
      body(t);
    });
  body(0);
}
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

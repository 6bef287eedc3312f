// What the reflection search, its grouping and its rating share: the
// threads they run on and the progress they post together.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <exception>
#include <mutex>
#include <system_error>
#include <utility>
#include <vector>

#include "engine/CalcProgress.h"
#include "io/ThreadStart.h"

namespace pelmora::search {

// The threads OpenMP offers (OMP_NUM_THREADS, else the cores); one where
// the build has no OpenMP.
int MaxThreads();

// body(t) for t = 0 .. n - 1, t = 0 on the calling thread and the others on
// threads of their own, all finished on return. A thread that is done
// sleeps until the rest are: OpenMP's idle threads spin meanwhile, and on a
// machine of two cores (or two threads of one core) the spinning took what
// the thread still working needed.
//
// An exception from any body (memory running out) reaches the caller once
// all have finished, as from a loop on this thread; it would end the
// program from a thread of its own. A t whose thread the system would not
// start runs here, after t = 0.
template <class Body>
void OnThreads(int n, const Body& body) {
  std::mutex mutex;
  std::exception_ptr failure;
  const auto run = [&](int t) {
    try {
      body(t);
    } catch (...) {
      const std::lock_guard<std::mutex> lock(mutex);
      if (!failure) failure = std::current_exception();
    }
  };
  {
    std::vector<AwayThread> others;
    std::vector<int> here;
    others.reserve(static_cast<size_t>(std::max(n - 1, 0)));
    for (int t = 1; t < n; ++t) {
      try {
        others.emplace_back([&run, t] { run(t); });
      } catch (const std::system_error&) {
        here.push_back(t);
      }
    }
    run(0);
    for (int t : here) run(t);
  }
  if (failure) std::rethrow_exception(failure);
}
// body(i) for i = 0 .. n - 1 on up to `threads` threads, each i taken by
// the next thread to come free: work of uneven parts, or threads the
// system holds up, then leave no thread waiting on fixed shares.
template <class Body>
void EachOnThreads(int threads, size_t n, const Body& body) {
  std::atomic<size_t> next{0};
  OnThreads(static_cast<int>(std::min<size_t>(static_cast<size_t>(std::max(threads, 1)), n)), [&](int) {
    for (size_t i; (i = next.fetch_add(1)) < n;) body(i);
  });
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

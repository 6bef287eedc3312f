// Threads started on another processor than the one that starts them. The
// system puts a new thread beside its parent, which keeps running there:
// on a virtual machine of two cores a new thread was seen to wait up to
// 4 ms for the other, idle core, and helpers that took turns on one core
// left the other idle for up to 20 ms.
#pragma once

#include <memory>
#include <utility>

#include <pthread.h>

namespace pelmora {

// A thread that the system starts on a processor other than the calling
// thread's (where the process may use another) and that may then run on
// any; joined when destroyed, as std::jthread is. Throws std::system_error
// when no thread can be started.
class AwayThread {
 public:
  AwayThread() = default;
  template <class F>
  explicit AwayThread(F f) {
    Start(std::make_unique<BodyOf<F>>(std::move(f)));
  }
  AwayThread(AwayThread&& other) noexcept : thread_(other.thread_), running_(std::exchange(other.running_, false)) {}
  AwayThread& operator=(AwayThread&& other) noexcept {
    if (this != &other) {
      Join();
      thread_ = other.thread_;
      running_ = std::exchange(other.running_, false);
    }
    return *this;
  }
  AwayThread(const AwayThread&) = delete;
  AwayThread& operator=(const AwayThread&) = delete;
  ~AwayThread() { Join(); }
  void Join();

  // What the thread runs, behind one type.
  struct Body {
    virtual ~Body() = default;
    virtual void Run() = 0;
  };

 private:
  template <class F>
  struct BodyOf : Body {
    explicit BodyOf(F f) : f(std::move(f)) {}
    void Run() override { f(); }
    F f;
  };
  void Start(std::unique_ptr<Body> body);

  pthread_t thread_{};
  bool running_ = false;
};

}  // namespace pelmora

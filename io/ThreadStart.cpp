#include "io/ThreadStart.h"

#include <sched.h>

#include <cerrno>
#include <system_error>

namespace pelmora {
namespace {

// What the new thread is given: its work and the processors it may use
// once started.
struct Launch {
  std::unique_ptr<AwayThread::Body> body;
  cpu_set_t allowed;
  bool widen = false;
};

void* RunLaunch(void* arg) noexcept {
  std::unique_ptr<Launch> launch(static_cast<Launch*>(arg));
  if (launch->widen) sched_setaffinity(0, sizeof launch->allowed, &launch->allowed);
  launch->body->Run();  // an exception ends the program, as on std::thread
  return nullptr;
}

}  // namespace

void AwayThread::Start(std::unique_ptr<Body> body) {
  auto launch = std::make_unique<Launch>();
  launch->body = std::move(body);
  pthread_attr_t attr;
  if (int error = pthread_attr_init(&attr); error != 0) throw std::system_error(error, std::generic_category());
  // Started where the process may run other than here; the thread widens
  // its own mask back first thing, so that it is not held to those.
  const int cpu = sched_getcpu();
  if (cpu >= 0 && cpu < CPU_SETSIZE && sched_getaffinity(0, sizeof launch->allowed, &launch->allowed) == 0 &&
      CPU_ISSET(cpu, &launch->allowed) && CPU_COUNT(&launch->allowed) >= 2) {
    cpu_set_t others = launch->allowed;
    CPU_CLR(cpu, &others);
    launch->widen = pthread_attr_setaffinity_np(&attr, sizeof others, &others) == 0;
  }
  int error = pthread_create(&thread_, &attr, RunLaunch, launch.get());
  pthread_attr_destroy(&attr);
  if (error == EINVAL && launch->widen) {
    launch->widen = false;
    error = pthread_create(&thread_, nullptr, RunLaunch, launch.get());
  }
  if (error != 0) throw std::system_error(error, std::generic_category(), "thread");
  launch.release();
  running_ = true;
}

void AwayThread::Join() {
  if (running_) pthread_join(thread_, nullptr);
  running_ = false;
}

}  // namespace pelmora

// The worker thread on POSIX.
//
// The thread runs a trampoline that calls the start routine and then marks the end
// under a mutex, so WaitForEnd can wait with a limit (pthread_join has none) and
// joins only a thread that has already left the routine. What the trampoline uses
// is shared with the owner, so a thread that Close lets go (detached) never
// touches freed memory.
#include "platform/thread.h"

#include <pthread.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace platform {

struct Thread::Impl {
  struct Shared {
    Proc proc = nullptr;
    void* argument = nullptr;
    std::shared_ptr<Shared> self;  // handed to the thread, which takes it over
    std::mutex mutex;
    std::condition_variable endedChanged;
    bool ended = false;  // guarded by `mutex`
  };

  static void* Trampoline(void* raw);
  bool Ended(std::chrono::milliseconds limit);

  std::shared_ptr<Shared> shared;
  pthread_t thread{};
};

void* Thread::Impl::Trampoline(void* raw) {
  std::shared_ptr<Shared> shared = std::move(static_cast<Shared*>(raw)->self);
  try {
    shared->proc(shared->argument);
  } catch (...) {
    // An exception leaving a thread would end the host process.
  }
  std::lock_guard<std::mutex> lock(shared->mutex);
  shared->ended = true;
  shared->endedChanged.notify_all();
  return nullptr;
}

bool Thread::Impl::Ended(std::chrono::milliseconds limit) {
  std::unique_lock<std::mutex> lock(shared->mutex);
  return shared->endedChanged.wait_for(lock, limit, [this] { return shared->ended; });
}

Thread::Thread() = default;

Thread::~Thread() { Close(); }

bool Thread::Start(Proc proc, void* argument) {
  Close();
  auto impl = std::make_unique<Impl>();
  impl->shared = std::make_shared<Impl::Shared>();
  impl->shared->proc = proc;
  impl->shared->argument = argument;
  impl->shared->self = impl->shared;
  if (pthread_create(&impl->thread, nullptr, &Impl::Trampoline, impl->shared.get()) !=
      0) {
    impl->shared->self.reset();
    return false;
  }
  impl_ = std::move(impl);
  return true;
}

bool Thread::IsStarted() const { return impl_ != nullptr; }

bool Thread::WaitForEnd(unsigned timeoutMs) {
  if (!impl_) return true;
  return impl_->Ended(std::chrono::milliseconds(timeoutMs));
}

void Thread::Close() {
  if (!impl_) return;
  // Past the routine, only the trampoline's last instructions remain: joining
  // takes no time.
  if (impl_->Ended(std::chrono::milliseconds(0))) {
    pthread_join(impl_->thread, nullptr);
  } else {
    pthread_detach(impl_->thread);
  }
  impl_.reset();
}

}  // namespace platform

// The worker thread on POSIX.
//
// The thread runs a trampoline that calls the start routine and then marks the end
// under a mutex, so WaitForEnd can wait with a limit (pthread_join has none) and
// joins only a thread that has already left the routine.
//
// Terminate is the last resort: pthread_cancel acts at the thread's next
// cancellation point (poll, connect, send, a condition wait) by forced unwinding,
// which runs the destructors on the thread's stack, so its sockets are closed and
// its locks released. A catch (...) on that thread must rethrow, or the process
// aborts. A thread that does not reach a cancellation point soon is detached and
// left behind: nothing can stop it, and waiting for it could hang the owner.
#include "platform/thread.h"

#include <pthread.h>

#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>

namespace platform {
namespace {

// How long Terminate waits for a cancelled thread to unwind.
constexpr auto kCancelSettle = std::chrono::milliseconds(2000);

}  // namespace

struct WorkerThread::Impl {
  // Shared by the owner and the thread, so a thread left behind never touches
  // freed memory.
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
  void Join();
  void Detach();

  std::shared_ptr<Shared> shared;
  pthread_t thread{};
  bool joined = false;  // joined or detached: the pthread_t is spent
};

void* WorkerThread::Impl::Trampoline(void* raw) {
  std::shared_ptr<Shared> shared = std::move(static_cast<Shared*>(raw)->self);
  // Runs on return and on cancellation's unwinding alike.
  struct EndMark {
    Shared& shared;
    ~EndMark() {
      std::lock_guard<std::mutex> lock(shared.mutex);
      shared.ended = true;
      shared.endedChanged.notify_all();
    }
  } mark{*shared};
  try {
    shared->proc(shared->argument);
  } catch (const std::exception&) {
    // An exception leaving a thread would end the host process. Not catch (...):
    // that would also stop cancellation's unwinding.
  }
  return nullptr;
}

bool WorkerThread::Impl::Ended(std::chrono::milliseconds limit) {
  std::unique_lock<std::mutex> lock(shared->mutex);
  return shared->endedChanged.wait_for(lock, limit, [this] { return shared->ended; });
}

void WorkerThread::Impl::Join() {
  if (joined) return;
  pthread_join(thread, nullptr);
  joined = true;
}

void WorkerThread::Impl::Detach() {
  if (joined) return;
  pthread_detach(thread);
  joined = true;
}

WorkerThread::WorkerThread() = default;

WorkerThread::~WorkerThread() { Close(); }

bool WorkerThread::Start(Proc proc, void* argument) {
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

bool WorkerThread::IsStarted() const { return impl_ != nullptr; }

bool WorkerThread::WaitForEnd(unsigned timeoutMs) {
  if (!impl_) return true;
  if (!impl_->Ended(std::chrono::milliseconds(timeoutMs))) return false;
  // Past the routine; only the trampoline's last instructions remain.
  impl_->Join();
  return true;
}

void WorkerThread::Terminate() {
  if (!impl_ || impl_->joined) return;
  pthread_cancel(impl_->thread);
  if (impl_->Ended(kCancelSettle)) {
    impl_->Join();
  } else {
    impl_->Detach();
  }
}

void WorkerThread::Close() {
  if (!impl_) return;
  if (impl_->Ended(std::chrono::milliseconds(0))) {
    impl_->Join();
  } else {
    impl_->Detach();  // the owner broke the contract; at least don't hang
  }
  impl_.reset();
}

void SetLoaderDetachInProgress(bool) {}

}  // namespace platform

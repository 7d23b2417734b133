// The wake event on POSIX: a flag under a mutex with a condition variable. Wait
// consumes the flag, which makes the event auto-reset.
#include "platform/event.h"

#include <pthread.h>

namespace platform {

struct AutoResetEvent::Impl {
  Impl() {
    pthread_mutex_init(&mutex, nullptr);
    pthread_cond_init(&signalled, nullptr);
  }
  ~Impl() {
    pthread_cond_destroy(&signalled);
    pthread_mutex_destroy(&mutex);
  }
  Impl(const Impl&) = delete;
  Impl& operator=(const Impl&) = delete;

  pthread_mutex_t mutex;
  pthread_cond_t signalled;
  bool set = false;  // guarded by `mutex`
};

namespace {

class Locked {
 public:
  explicit Locked(pthread_mutex_t& mutex) : mutex_(mutex) { pthread_mutex_lock(&mutex_); }
  ~Locked() { pthread_mutex_unlock(&mutex_); }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;

 private:
  pthread_mutex_t& mutex_;
};

}  // namespace

AutoResetEvent::AutoResetEvent() = default;

AutoResetEvent::~AutoResetEvent() { Close(); }

bool AutoResetEvent::Create() {
  impl_ = std::make_unique<Impl>();
  return true;
}

void AutoResetEvent::Close() { impl_.reset(); }

bool AutoResetEvent::IsOpen() const { return impl_ != nullptr; }

void AutoResetEvent::Signal() {
  if (!impl_) return;
  Locked lock(impl_->mutex);
  impl_->set = true;
  pthread_cond_signal(&impl_->signalled);
}

void AutoResetEvent::Wait() {
  if (!impl_) return;
  Locked lock(impl_->mutex);
  while (!impl_->set) pthread_cond_wait(&impl_->signalled, &impl_->mutex);
  impl_->set = false;
}

}  // namespace platform

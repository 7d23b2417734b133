// The queue lock on POSIX: a default (non-recursive) pthread mutex.
#include "platform/lock.h"

#include <pthread.h>

namespace platform {

struct Lock::Impl {
  pthread_mutex_t mutex;
};

Lock::Lock() : impl_(std::make_unique<Impl>()) {
  initialised_ = pthread_mutex_init(&impl_->mutex, nullptr) == 0;
}

Lock::~Lock() {
  if (initialised_) pthread_mutex_destroy(&impl_->mutex);
}

void Lock::Enter() {
  if (initialised_) pthread_mutex_lock(&impl_->mutex);
}

void Lock::Leave() {
  if (initialised_) pthread_mutex_unlock(&impl_->mutex);
}

}  // namespace platform

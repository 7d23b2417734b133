// A lock: a critical section with its initialised flag.
//
// Windows: the initialisation chain picks InitializeCriticalSectionEx (spin count
// 1500, no debug info) from kernel32 on Windows 6 and later,
// InitializeCriticalSectionAndSpinCount (1500) on 5 and later, else
// InitializeCriticalSection. POSIX: a pthread mutex.
// `initialised()` is true exactly when that initialisation succeeded; while it is
// false, Enter, Leave and the destructor's delete do nothing.
//
// Thread-safe: Enter/Leave from any thread. Construction and destruction on the
// owner's thread while no other thread uses the lock.
#ifndef TOVARO_PLATFORM_LOCK_H_
#define TOVARO_PLATFORM_LOCK_H_

#include <memory>

#include "platform/thread_annotations.h"

namespace platform {

class TOVARO_CAPABILITY("mutex") Lock {
 public:
  Lock();
  ~Lock();
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;

  void Enter() TOVARO_ACQUIRE();
  void Leave() TOVARO_RELEASE();
  bool initialised() const { return initialised_; }

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  bool initialised_ = false;
};

// Holds a Lock for one scope.
class TOVARO_SCOPED_CAPABILITY LockGuard {
 public:
  explicit LockGuard(Lock& lock) TOVARO_ACQUIRE(lock) : lock_(lock) {
    lock_.Enter();
  }
  ~LockGuard() TOVARO_RELEASE() { lock_.Leave(); }
  LockGuard(const LockGuard&) = delete;
  LockGuard& operator=(const LockGuard&) = delete;

 private:
  Lock& lock_;
};

}  // namespace platform

#endif  // TOVARO_PLATFORM_LOCK_H_

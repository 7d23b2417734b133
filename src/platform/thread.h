// A thread of our own, started and let go by its owner.
//
// Windows: _beginthreadex (default stack, runs at once), WaitForSingleObject with a
// limit and CloseHandle. POSIX: pthreads.
//
// A thread is never ended by force: killing one can leave the process heap's lock
// or the run-time's lock held for good. A thread that does not end within the
// owner's wait is let go by Close and finishes on its own; what it uses must then
// be owned by the thread itself (the start routine's argument, say, kept alive by
// a reference the thread holds). On Windows the thread also holds a reference to
// the module that contains the start routine and leaves with
// FreeLibraryAndExitThread, so no instruction of that module runs after it could
// have been unmapped; the module stays loaded as long as the thread lives.
//
// The owner may be inside the system's loader lock (Windows: an export called from
// another module's DllMain, as that module is freed or the process exits), where a
// thread can neither begin its routine nor finish ending: both run the modules'
// thread notifications, which need that lock. So the owner waits for the routine
// to return, which the thread says without the lock, and asks whether the thread
// may still be waiting for the lock to begin.
//
// Owner's thread only (the host's thread): Start, IsStarted, WaitForEnd,
// MayAwaitLoaderLock, Close. HoldsLoaderLock: any thread.
#ifndef TOVARO_PLATFORM_THREAD_H_
#define TOVARO_PLATFORM_THREAD_H_

#include <memory>

namespace platform {

class Thread {
 public:
  using Proc = unsigned (*)(void* argument);

  Thread();
  ~Thread();  // Close
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;

  // Starts `proc(argument)` on a new thread. False when no thread could be started;
  // `proc` is then never called. An exception leaving `proc` is swallowed.
  bool Start(Proc proc, void* argument);
  // True between a successful Start and Close: the sign that a worker exists.
  bool IsStarted() const;
  // Waits at most `timeoutMs` for the thread's routine to return. True when it
  // returned in time, when the system ended the thread before that (at process
  // exit), or when there is no thread. What is left of the thread then uses
  // nothing of the owner's; on Windows it may still be waiting to release the
  // module, which needs the loader lock.
  bool WaitForEnd(unsigned timeoutMs);
  // True while the thread may still be waiting for the loader lock before its
  // routine begins (Windows); false once the routine has begun, on POSIX, and
  // when there is no thread.
  bool MayAwaitLoaderLock() const;
  // Releases the thread: one that has ended is reaped, one still running is let go
  // and ends on its own.
  void Close();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// True when the calling thread holds the system's loader lock (Windows: it runs
// inside a module's DllMain, or in the notifications of process exit). Always
// false on POSIX, where waiting for a routine's return needs no lock of the
// dynamic loader's.
bool HoldsLoaderLock();

}  // namespace platform

#endif  // TOVARO_PLATFORM_THREAD_H_

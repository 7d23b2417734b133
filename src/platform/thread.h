// A thread of our own, started and let go by its owner.
//
// Windows: CreateThread (a 256 KiB stack reservation, runs at once),
// WaitForSingleObject with a limit and CloseHandle. POSIX: pthreads.
//
// A thread is never ended by force: killing one can leave the process heap's lock
// or the run-time's lock held for good. A thread that does not end within the
// owner's wait is let go by Close and finishes on its own; what it uses must then
// be owned by the thread itself (the start routine's argument, say, kept alive by
// a reference the thread holds).
//
// On Windows the thread also holds a reference to the module that contains the
// start routine and leaves with FreeLibraryAndExitThread, so that no instruction
// of that module runs after it could have been unmapped. Ending a thread (that
// release, and every module's thread-detach notification) needs the system's
// loader lock, so an owner inside that lock (an export called from another
// module's DllMain) waits 0 ms for it and lets it go. A thread let go while it
// still runs keeps its reference; when its release is the module's last, the
// module is unloaded on that thread as it ends, which the module's teardown
// allows: it takes no lock of the host's (module/exit_table_windows.cc).
//
// Owner's thread only (the host's thread).
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
  // Waits at most `timeoutMs` for the thread to end: its routine has returned and,
  // on Windows, the thread is gone with its module reference. True when it has
  // ended (also when the system ended it at process exit), or when there is no
  // thread. Windows, REQUIRES: `timeoutMs` is 0 inside the loader lock.
  bool WaitForEnd(unsigned timeoutMs);
  // Releases the thread: one that has ended is reaped, one still running is let go
  // and ends on its own (on Windows, keeping its module until then).
  void Close();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace platform

#endif  // TOVARO_PLATFORM_THREAD_H_

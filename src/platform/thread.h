// The speech worker's thread.
//
// Windows: _beginthreadex (default stack, runs at once), WaitForSingleObject with a
// limit, TerminateThread and CloseHandle. POSIX: pthreads; a thread can't be
// terminated by force there, so Terminate cancels it at its next cancellation point
// and joins it (the worker's blocking calls are interruptible, see network.h, so
// this is a last resort). Cancellation unwinds the thread's stack like an
// exception: code on the thread must rethrow what a catch (...) catches.
//
// Owner's thread only (the host's thread): Start, WaitForEnd, Terminate, Close.
#ifndef TOVARO_PLATFORM_THREAD_H_
#define TOVARO_PLATFORM_THREAD_H_

#include <memory>

namespace platform {

class WorkerThread {
 public:
  using Proc = unsigned (*)(void* argument);

  WorkerThread();
  ~WorkerThread();  // REQUIRES: the thread has ended or was terminated; closes it
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;

  // Starts `proc(argument)` on a new thread. False when no thread could be started.
  bool Start(Proc proc, void* argument);
  // True between a successful Start and Close: the sign that a worker exists.
  bool IsStarted() const;
  // Waits at most `timeoutMs` for the thread to end. True when it ended in time.
  bool WaitForEnd(unsigned timeoutMs);
  // Ends a thread that did not end in time.
  void Terminate();
  // Releases the handle. REQUIRES: WaitForEnd returned true, or Terminate ran.
  void Close();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Windows: DllMain marks the time it runs the process-detach notification. A thread
// can't finish exiting then (that needs the loader lock the detaching thread holds),
// so WaitForEnd waits only until the thread has left the module's code, and Close
// ends what is left of it. POSIX: no effect.
void SetLoaderDetachInProgress(bool inProgress);

}  // namespace platform

#endif  // TOVARO_PLATFORM_THREAD_H_

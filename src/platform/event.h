// An auto-reset event: unnamed, created non-signalled.
//
// One Signal releases one Wait; a Signal given while nobody waits stays set until
// the next Wait returns. Windows: CreateEventW / SetEvent / WaitForSingleObject
// (INFINITE) / CloseHandle. POSIX: a mutex, a condition variable and a flag.
//
// Thread-safe: Signal and Wait from any thread. Create and Close on the owner's
// thread while no thread waits.
#ifndef TOVARO_PLATFORM_EVENT_H_
#define TOVARO_PLATFORM_EVENT_H_

#include <memory>

namespace platform {

class AutoResetEvent {
 public:
  AutoResetEvent();
  ~AutoResetEvent();  // closes the event when it is open
  AutoResetEvent(const AutoResetEvent&) = delete;
  AutoResetEvent& operator=(const AutoResetEvent&) = delete;

  // Returns false when the event could not be created; it stays closed then.
  bool Create();
  void Close();
  bool IsOpen() const;

  // Do nothing on a closed event.
  void Signal();
  void Wait();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace platform

#endif  // TOVARO_PLATFORM_EVENT_H_

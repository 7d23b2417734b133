// The worker thread on Windows.
//
// The start routine runs inside a trampoline of ours that sets a manual-reset
// event, "left", once the routine has returned. That matters when the host frees
// the module without unloading it: the process-detach notification then stops the
// worker while the loader lock is held, and a thread can't finish exiting without
// that lock (ExitThread sends the thread-detach notifications under it). Waiting
// for the thread handle there would always run into the time limit, so while
// SetLoaderDetachInProgress(true) is in force WaitForEnd also accepts "left".
//
// A thread that has left our code is not terminated: it is inside the C run-time's
// thread exit (freeing its per-thread data, then ExitThread waiting for the loader
// lock), and TerminateThread could kill it while it holds the heap's or the
// run-time's lock, which would stay owned for the rest of the process. Left alone it
// is harmless: the trampoline has returned, ExitThread never returns, so no code or
// frame of this module is ever resumed on that thread, and it finishes exiting as
// soon as the loader has unmapped the module and released its lock.
//
// At process exit the system has already ended the other threads before the
// notification; their handles are signalled, so WaitForEnd returns at once.
#include "platform/thread.h"

#include <windows.h>
#include <process.h>

#include <atomic>
#include <cstdint>

namespace platform {
namespace {

std::atomic<bool> loaderDetachInProgress{false};

// How long to wait for TerminateThread, which only starts the termination.
constexpr DWORD kTerminateSettleMs = 5000;

bool IsSignalled(HANDLE handle) {
  return WaitForSingleObject(handle, 0) == WAIT_OBJECT_0;
}

}  // namespace

struct WorkerThread::Impl {
  static unsigned __stdcall Trampoline(void* raw);

  Proc proc = nullptr;
  void* argument = nullptr;
  HANDLE thread = nullptr;
  HANDLE left = nullptr;  // set by the trampoline once proc has returned
  bool terminated = false;
};

unsigned __stdcall WorkerThread::Impl::Trampoline(void* raw) {
  Impl* impl = static_cast<Impl*>(raw);
  unsigned code = 0;
  try {
    code = impl->proc(impl->argument);
  } catch (...) {
    // An exception leaving a thread would end the host process.
  }
  // The last use of *impl: the owner may free it as soon as this is set.
  SetEvent(impl->left);
  return code;
}

WorkerThread::WorkerThread() = default;

WorkerThread::~WorkerThread() { Close(); }

bool WorkerThread::Start(Proc proc, void* argument) {
  Close();
  auto impl = std::make_unique<Impl>();
  impl->proc = proc;
  impl->argument = argument;
  impl->left = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (impl->left == nullptr) return false;
  // No security attributes, default stack, runs at once, no thread id wanted.
  std::uintptr_t handle =
      _beginthreadex(nullptr, 0, &Impl::Trampoline, impl.get(), 0, nullptr);
  if (handle == 0) {
    CloseHandle(impl->left);
    return false;
  }
  impl->thread = reinterpret_cast<HANDLE>(handle);
  impl_ = std::move(impl);
  return true;
}

bool WorkerThread::IsStarted() const { return impl_ != nullptr; }

bool WorkerThread::WaitForEnd(unsigned timeoutMs) {
  if (!impl_) return true;
  DWORD result;
  if (loaderDetachInProgress.load()) {
    HANDLE handles[2] = {impl_->thread, impl_->left};
    result = WaitForMultipleObjects(2, handles, FALSE, timeoutMs);
  } else {
    result = WaitForSingleObject(impl_->thread, timeoutMs);
  }
  return result != WAIT_TIMEOUT;
}

void WorkerThread::Terminate() {
  if (!impl_ || impl_->terminated) return;
  impl_->terminated = true;
  if (IsSignalled(impl_->thread) || IsSignalled(impl_->left)) return;
  TerminateThread(impl_->thread, 0);
  WaitForSingleObject(impl_->thread, kTerminateSettleMs);
}

void WorkerThread::Close() {
  if (!impl_) return;
  bool threadDone = IsSignalled(impl_->thread) || IsSignalled(impl_->left);
  CloseHandle(impl_->thread);
  if (threadDone) {
    CloseHandle(impl_->left);
    impl_.reset();
  } else {
    // Still in our code (the owner broke the contract, or a termination did not
    // complete): the thread may yet read *impl_ and set "left", so both stay.
    static_cast<void>(impl_.release());
  }
}

void SetLoaderDetachInProgress(bool inProgress) {
  loaderDetachInProgress.store(inProgress);
}

}  // namespace platform

// The worker thread on Windows.
//
// The thread takes a reference to the module that holds its start routine before
// it starts (on the owner's thread, where the loader lock is free) and leaves with
// FreeLibraryAndExitThread. The module's process-detach notification therefore
// never comes while a worker lives, and it never has to wait for one.
//
// A thread can't finish ending while the loader lock is held: releasing the module
// and the thread-detach notifications need it. So the owner never waits for the
// thread's handle alone. The trampoline sets an event of its own as soon as the
// routine has returned, which needs no lock, and the owner waits for that event
// or the handle, whichever comes first: at process exit the system ends the
// thread without the event, and its handle is signalled. A thread that has not
// yet begun its routine is still in its thread-attach notifications, which wait
// for the loader lock; the trampoline marks the moment it begins.
//
// The trampoline owns everything it uses after the start (the record shared with
// the owner included), so the owner may let go of a thread that is still running.
#include "platform/thread.h"

#include <windows.h>
#include <process.h>
#include <winternl.h>

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace platform {
namespace {

// Any object of ours tells which module we are.
const char anchor = 0;

// Where the process environment block points to the loader lock, a critical
// section: the same on every Windows this module runs on, and under Wine.
constexpr std::size_t kLoaderLockOffset = sizeof(void*) == 8 ? 0x110 : 0xA0;

// What the owner and the thread both hold; the last of them releases it.
struct Progress {
  Progress() : left(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
  ~Progress() {
    if (left != nullptr) CloseHandle(left);
  }
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  // Manual-reset; set once the routine has returned.
  const HANDLE left;
  // The routine has begun: the thread-attach notifications are behind it.
  std::atomic<bool> begun{false};
};

struct StartRecord {
  Thread::Proc proc;
  void* argument;
  HMODULE module;  // the reference the thread gives back as it leaves
  std::shared_ptr<Progress> progress;
};

unsigned __stdcall Trampoline(void* raw) {
  HMODULE module = nullptr;
  DWORD code = 0;
  {
    std::unique_ptr<StartRecord> start(static_cast<StartRecord*>(raw));
    module = start->module;
    start->progress->begun = true;
    try {
      code = start->proc(start->argument);
    } catch (...) {
      // An exception leaving a thread would end the host process.
    }
    SetEvent(start->progress->left);
  }  // The record goes here: FreeLibraryAndExitThread does not return.
  // Releases the module and ends the thread without returning into it.
  FreeLibraryAndExitThread(module, code);
}

// A counted reference to the module that holds `address`, or null.
HMODULE ReferenceModuleOf(const void* address) {
  HMODULE module = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                          static_cast<LPCWSTR>(address), &module)) {
    return nullptr;
  }
  return module;
}

}  // namespace

struct Thread::Impl {
  HANDLE thread = nullptr;
  std::shared_ptr<Progress> progress;
};

Thread::Thread() = default;

Thread::~Thread() { Close(); }

bool Thread::Start(Proc proc, void* argument) {
  Close();
  auto impl = std::make_unique<Impl>();
  impl->progress = std::make_shared<Progress>();
  // Without the event, the only sign of the end would be the handle.
  if (impl->progress->left == nullptr) return false;
  auto start = std::make_unique<StartRecord>();
  start->proc = proc;
  start->argument = argument;
  start->progress = impl->progress;
  start->module = ReferenceModuleOf(&anchor);
  if (start->module == nullptr) return false;
  // No security attributes, default stack, runs at once, no thread id wanted.
  std::uintptr_t handle =
      _beginthreadex(nullptr, 0, &Trampoline, start.get(), 0, nullptr);
  if (handle == 0) {
    FreeLibrary(start->module);
    return false;
  }
  static_cast<void>(start.release());  // the thread's now
  impl->thread = reinterpret_cast<HANDLE>(handle);
  impl_ = std::move(impl);
  return true;
}

bool Thread::IsStarted() const { return impl_ != nullptr; }

bool Thread::WaitForEnd(unsigned timeoutMs) {
  if (!impl_) return true;
  HANDLE either[2] = {impl_->progress->left, impl_->thread};
  return WaitForMultipleObjects(2, either, FALSE, timeoutMs) != WAIT_TIMEOUT;
}

bool Thread::MayAwaitLoaderLock() const { return impl_ && !impl_->progress->begun; }

void Thread::Close() {
  if (!impl_) return;
  CloseHandle(impl_->thread);
  impl_.reset();
}

bool HoldsLoaderLock() {
  PROCESS_BASIC_INFORMATION basic{};
  if (NtQueryInformationProcess(GetCurrentProcess(), ProcessBasicInformation, &basic,
                                static_cast<ULONG>(sizeof basic), nullptr) < 0) {
    return false;
  }
  const auto* environment = reinterpret_cast<const unsigned char*>(basic.PebBaseAddress);
  const auto* loaderLock = *reinterpret_cast<const RTL_CRITICAL_SECTION* const*>(
      environment + kLoaderLockOffset);
  if (loaderLock == nullptr) return false;
  // The owner's thread id; read once and whole, since other threads take and
  // leave the lock meanwhile. Only this thread can have put its own id there.
  const HANDLE owner = *static_cast<const volatile HANDLE*>(&loaderLock->OwningThread);
  return owner == ULongToHandle(GetCurrentThreadId());
}

}  // namespace platform

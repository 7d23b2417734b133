// The worker thread on Windows.
//
// The thread takes a reference to the module that holds its start routine before
// it starts (on the owner's thread) and leaves with FreeLibraryAndExitThread, so
// its handle is signalled only once nothing of the thread runs in the module any
// more: an owner that has waited for the handle may free the module at once, and
// it is gone. The module's process-detach notification therefore never comes
// while a worker lives, and never has to wait for one.
//
// A thread let go while it still runs pins the module (see thread.h): from then on
// its release changes nothing, and the module's teardown runs at process exit, on
// the thread that ends the process.
//
// The trampoline owns everything it uses after the start, so the owner may let go
// of a thread that is still running.
#include "platform/thread.h"

#include <windows.h>
#include <process.h>

#include <cstdint>
#include <utility>

namespace platform {
namespace {

// Any object of ours tells which module we are.
const char anchor = 0;

struct StartRecord {
  Thread::Proc proc;
  void* argument;
  HMODULE module;  // the reference the thread gives back as it leaves
};

unsigned __stdcall Trampoline(void* raw) {
  HMODULE module = nullptr;
  DWORD code = 0;
  {
    std::unique_ptr<StartRecord> start(static_cast<StartRecord*>(raw));
    module = start->module;
    try {
      code = start->proc(start->argument);
    } catch (...) {
      // An exception leaving a thread would end the host process.
    }
  }  // The record goes here: FreeLibraryAndExitThread does not return.
  // Releases the module and ends the thread without returning into it.
  FreeLibraryAndExitThread(module, code);
}

// A counted reference to the module that holds `address`, or null; with `pin`,
// the module stays for the rest of the process instead.
HMODULE ReferenceModuleOf(const void* address, bool pin) {
  DWORD flags = GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS;
  if (pin) flags |= GET_MODULE_HANDLE_EX_FLAG_PIN;
  HMODULE module = nullptr;
  if (!GetModuleHandleExW(flags, static_cast<LPCWSTR>(address), &module)) return nullptr;
  return module;
}

}  // namespace

struct Thread::Impl {
  HANDLE thread = nullptr;
};

Thread::Thread() = default;

Thread::~Thread() { Close(); }

bool Thread::Start(Proc proc, void* argument) {
  Close();
  auto start = std::make_unique<StartRecord>();
  start->proc = proc;
  start->argument = argument;
  start->module = ReferenceModuleOf(&anchor, false);
  if (start->module == nullptr) return false;
  auto impl = std::make_unique<Impl>();
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
  return WaitForSingleObject(impl_->thread, timeoutMs) == WAIT_OBJECT_0;
}

void Thread::Close() {
  if (!impl_) return;
  // Pinning takes the loader lock, which an owner inside it already holds.
  if (WaitForSingleObject(impl_->thread, 0) != WAIT_OBJECT_0) {
    static_cast<void>(ReferenceModuleOf(&anchor, true));
  }
  CloseHandle(impl_->thread);
  impl_.reset();
}

}  // namespace platform

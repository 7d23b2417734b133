// The worker thread on Windows.
//
// The thread takes a reference to the module that holds its start routine before
// it starts (on the owner's thread, where the loader lock is free) and leaves with
// FreeLibraryAndExitThread. The module's process-detach notification therefore
// never comes while a worker lives, and it never has to wait for one: a thread
// can't finish exiting while the loader lock is held, and a worker in the middle
// of a delivery may need that lock itself (the first use of a socket loads the
// network library's helper modules), so any such wait could only run out.
//
// The trampoline owns everything it uses after the start, so the owner may let
// go of a thread that is still running.
#include "platform/thread.h"

#include <windows.h>
#include <process.h>

#include <cstdint>

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
  StartRecord start = *static_cast<StartRecord*>(raw);
  delete static_cast<StartRecord*>(raw);
  DWORD code = 0;
  try {
    code = start.proc(start.argument);
  } catch (...) {
    // An exception leaving a thread would end the host process.
  }
  // Releases the module and ends the thread without returning into it.
  FreeLibraryAndExitThread(start.module, code);
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
};

Thread::Thread() = default;

Thread::~Thread() { Close(); }

bool Thread::Start(Proc proc, void* argument) {
  Close();
  auto impl = std::make_unique<Impl>();
  auto start = std::make_unique<StartRecord>();
  start->proc = proc;
  start->argument = argument;
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
  return WaitForSingleObject(impl_->thread, timeoutMs) != WAIT_TIMEOUT;
}

void Thread::Close() {
  if (!impl_) return;
  CloseHandle(impl_->thread);
  impl_.reset();
}

}  // namespace platform

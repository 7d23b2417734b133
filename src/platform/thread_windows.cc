// The worker thread on Windows.
//
// The thread takes a reference to the module that holds its start routine before
// it starts (on the owner's thread) and leaves with FreeLibraryAndExitThread, so
// its handle is signalled only once nothing of the thread runs in the module any
// more: an owner that has waited for the handle may free the module at once, and
// it is gone. The module's process-detach notification therefore never comes
// while a worker lives, and never has to wait for one.
//
// A thread let go while it still runs keeps that reference: when its release is the
// module's last, the module is unloaded there, on the thread, inside the loader
// lock. That is safe because the module's teardown takes no lock of the host's
// (module/exit_table_windows.cc), and it lets a character's update replace the
// file once the thread has ended.
//
// CreateThread, not the C run-time's _beginthreadex: the UCRT's takes a module
// reference of its own that only its own thread end gives back, so the last
// release would never be ours. The stack is a reservation of what the worker
// needs, not the host program's default, which a 32-bit host may set large.
//
// The trampoline owns everything it uses after the start, so the owner may let go
// of a thread that is still running.
#include "platform/thread.h"

#include <windows.h>

#include <memory>
#include <utility>

namespace platform {
namespace {

// Any object of ours tells which module we are.
const char anchor = 0;

// Address space set aside for the thread's stack: name lookups and the network
// library's own calls, with room to spare.
constexpr SIZE_T kStackReserve = 256 * 1024;

struct StartRecord {
  Thread::Proc proc;
  void* argument;
  HMODULE module;  // the reference the thread gives back as it leaves
};

DWORD WINAPI Trampoline(void* raw) {
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
  auto start = std::make_unique<StartRecord>();
  start->proc = proc;
  start->argument = argument;
  start->module = ReferenceModuleOf(&anchor);
  if (start->module == nullptr) return false;
  auto impl = std::make_unique<Impl>();
  // No security attributes, runs at once, no thread id wanted.
  HANDLE handle = CreateThread(nullptr, kStackReserve, &Trampoline, start.get(),
                               STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
  if (handle == nullptr) {
    FreeLibrary(start->module);
    return false;
  }
  static_cast<void>(start.release());  // the thread's now
  impl->thread = handle;
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
  // A thread still running keeps its module reference and gives it back as it ends.
  CloseHandle(impl_->thread);
  impl_.reset();
}

}  // namespace platform

// The loader's state on Windows, read from ntdll.
#include "platform/loader.h"

#include <windows.h>
#include <winternl.h>

#include <cstddef>

namespace platform {
namespace {

// Where the process environment block points to the loader lock, a critical
// section: the same on every Windows this module runs on, and under Wine.
constexpr std::size_t kLoaderLockOffset = sizeof(void*) == 8 ? 0x110 : 0xA0;

}  // namespace

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

bool ProcessIsEnding() {
  // ntdll's own word on it: true from the moment ExitProcess begins the modules'
  // process-detach notifications. Looked up rather than imported, since Microsoft
  // documents it only from Windows 10 on and a missing import would keep the
  // module from loading at all; where it is missing, the end can't be told.
  using Query = BOOLEAN(NTAPI*)();
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  if (ntdll == nullptr) return false;
  const auto query = reinterpret_cast<Query>(
      reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlDllShutdownInProgress")));
  return query != nullptr && query() != FALSE;
}

}  // namespace platform

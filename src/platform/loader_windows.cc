// The loader's state on Windows, read from ntdll.
#include "platform/loader.h"

#include <windows.h>
#include <winternl.h>

#include <cstddef>

// ntdll's own word on whether the process is ending: true from the moment
// ExitProcess begins its process-detach notifications. Not in the SDK's headers.
extern "C" BOOLEAN NTAPI RtlDllShutdownInProgress(void);

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

bool ProcessIsEnding() { return RtlDllShutdownInProgress() != FALSE; }

}  // namespace platform

// The queue lock on Windows: a critical section, initialised with the best function
// the running system offers. The two newer functions are looked up at run time so
// the module still loads on systems that lack them.
#include "platform/lock.h"

#include <windows.h>

namespace platform {
namespace {

constexpr DWORD kSpinCount = 1500;
constexpr DWORD kNoDebugInfo = 0x01000000;  // CRITICAL_SECTION_NO_DEBUG_INFO
constexpr DWORD kVersionInfoSize = 276;     // sizeof(OSVERSIONINFOW)

using InitializeExFunction = BOOL(WINAPI*)(LPCRITICAL_SECTION, DWORD, DWORD);
using InitializeSpinFunction = BOOL(WINAPI*)(LPCRITICAL_SECTION, DWORD);

DWORD MajorVersion() {
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = kVersionInfoSize;
  // Deprecated in newer headers, and only the major version is wanted. When the call
  // fails the zeroed record makes the plain InitializeCriticalSection the choice.
#if defined(_MSC_VER)
#pragma warning(push)
#pragma warning(disable : 4996)
#elif defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#endif
  GetVersionExW(&info);
#if defined(_MSC_VER)
#pragma warning(pop)
#elif defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
  return info.dwMajorVersion;
}

// The address of `name` in kernel32, or null.
template <typename Function>
Function FindInKernel32(const char* name) {
  HMODULE kernel32 = GetModuleHandleA("kernel32");
  if (kernel32 == nullptr) return nullptr;
  FARPROC address = GetProcAddress(kernel32, name);
  // Through the generic function pointer type, which converts to any other without
  // a warning about incompatible function types.
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
}

}  // namespace

struct Lock::Impl {
  CRITICAL_SECTION section;
};

Lock::Lock() : impl_(std::make_unique<Impl>()) {
  DWORD major = MajorVersion();
  InitializeExFunction initializeEx = nullptr;
  InitializeSpinFunction initializeSpin = nullptr;
  if (major >= 6) {
    initializeEx = FindInKernel32<InitializeExFunction>("InitializeCriticalSectionEx");
  }
  if (major >= 5) {
    initializeSpin = FindInKernel32<InitializeSpinFunction>(
        "InitializeCriticalSectionAndSpinCount");
  }
  if (initializeEx != nullptr) {
    initialised_ = initializeEx(&impl_->section, kSpinCount, kNoDebugInfo) != 0;
  } else if (initializeSpin != nullptr) {
    initialised_ = initializeSpin(&impl_->section, kSpinCount) != 0;
  } else {
    InitializeCriticalSection(&impl_->section);
    initialised_ = true;
  }
}

Lock::~Lock() {
  if (initialised_) DeleteCriticalSection(&impl_->section);
}

void Lock::Enter() {
  if (initialised_) EnterCriticalSection(&impl_->section);
}

void Lock::Leave() {
  if (initialised_) LeaveCriticalSection(&impl_->section);
}

}  // namespace platform

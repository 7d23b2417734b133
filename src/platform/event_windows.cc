// The wake event on Windows: an unnamed auto-reset kernel event.
#include "platform/event.h"

#include <windows.h>

namespace platform {

struct AutoResetEvent::Impl {
  HANDLE handle = nullptr;
};

AutoResetEvent::AutoResetEvent() : impl_(std::make_unique<Impl>()) {}

AutoResetEvent::~AutoResetEvent() { Close(); }

bool AutoResetEvent::Create() {
  Close();
  // No security attributes, auto-reset, initially non-signalled, no name.
  impl_->handle = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  return impl_->handle != nullptr;
}

void AutoResetEvent::Close() {
  if (impl_->handle == nullptr) return;
  CloseHandle(impl_->handle);
  impl_->handle = nullptr;
}

bool AutoResetEvent::IsOpen() const { return impl_->handle != nullptr; }

void AutoResetEvent::Signal() {
  if (impl_->handle != nullptr) SetEvent(impl_->handle);
}

void AutoResetEvent::Wait() {
  if (impl_->handle != nullptr) WaitForSingleObject(impl_->handle, INFINITE);
}

}  // namespace platform

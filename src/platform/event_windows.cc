// The wake event on Windows: an unnamed auto-reset kernel event.
#include "platform/event.h"

#include <windows.h>

namespace platform {

struct WakeEvent::Impl {
  HANDLE handle = nullptr;
};

WakeEvent::WakeEvent() : impl_(std::make_unique<Impl>()) {}

WakeEvent::~WakeEvent() { Close(); }

bool WakeEvent::Create() {
  Close();
  // No security attributes, auto-reset, initially non-signalled, no name.
  impl_->handle = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  return impl_->handle != nullptr;
}

void WakeEvent::Close() {
  if (impl_->handle == nullptr) return;
  CloseHandle(impl_->handle);
  impl_->handle = nullptr;
}

bool WakeEvent::IsOpen() const { return impl_->handle != nullptr; }

void WakeEvent::Signal() {
  if (impl_->handle != nullptr) SetEvent(impl_->handle);
}

void WakeEvent::Wait() {
  if (impl_->handle != nullptr) WaitForSingleObject(impl_->handle, INFINITE);
}

}  // namespace platform

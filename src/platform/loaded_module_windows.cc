#include "platform/loaded_module.h"

#include <windows.h>

#include "platform/wide_text_windows.h"

namespace platform {
namespace {

// "error N: the system's words for it".
std::string SystemMessage(DWORD code) {
  wchar_t* buffer = nullptr;
  DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
          FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::string message;
  if (length > 0 && buffer != nullptr) {
    message = Narrow(std::wstring(buffer, length));
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                                message.back() == ' ' || message.back() == '.')) {
      message.pop_back();
    }
  }
  if (buffer != nullptr) LocalFree(buffer);
  return "error " + std::to_string(code) + (message.empty() ? "" : ": " + message);
}

}  // namespace

LoadedModule::~LoadedModule() { Close(); }

bool LoadedModule::Open(const std::string& file, std::string* error) {
  Close();
  // No dialog box for a missing dependency: the reason goes to the caller.
  UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  HMODULE module = LoadLibraryW(Widen(file).c_str());
  DWORD code = GetLastError();
  SetErrorMode(previous);
  if (module == nullptr) {
    *error = SystemMessage(code);
    return false;
  }
  handle_ = module;
  return true;
}

void* LoadedModule::Find(const char* name) const {
  if (handle_ == nullptr) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
}

void LoadedModule::Close() {
  if (handle_ != nullptr) FreeLibrary(static_cast<HMODULE>(handle_));
  handle_ = nullptr;
}

bool IsModuleMapped(const std::string& file) {
  return GetModuleHandleW(Widen(file).c_str()) != nullptr;
}

bool AbsolutePath(const std::string& path, std::string* absolute, std::string* error) {
  std::wstring wide = Widen(path);
  for (wchar_t& c : wide) {
    if (c == L'/') c = L'\\';
  }
  DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  std::wstring full(size, L'\0');
  DWORD written = size == 0 ? 0 : GetFullPathNameW(wide.c_str(), size, &full[0], nullptr);
  if (written == 0 || written >= size) {
    *error = "the path can't be resolved";
    return false;
  }
  full.resize(written);
  *absolute = Narrow(full);
  return true;
}

}  // namespace platform

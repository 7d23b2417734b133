// UTF-8 <-> the system's wide text, for the Windows twins that hand paths, command
// lines and messages to the system. Windows only; include after windows.h.
#ifndef TOVARO_PLATFORM_WIDE_TEXT_WINDOWS_H_
#define TOVARO_PLATFORM_WIDE_TEXT_WINDOWS_H_

#include <string>

namespace platform {

// Both give an empty string for empty or unconvertible text.
inline std::wstring Widen(const std::string& text, UINT codePage = CP_UTF8) {
  if (text.empty()) return std::wstring();
  const int length = static_cast<int>(text.size());
  int size = MultiByteToWideChar(codePage, 0, text.data(), length, nullptr, 0);
  if (size <= 0) return std::wstring();
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(codePage, 0, text.data(), length, &wide[0], size);
  return wide;
}

inline std::string Narrow(const std::wstring& wide, UINT codePage = CP_UTF8) {
  if (wide.empty()) return std::string();
  const int length = static_cast<int>(wide.size());
  int size = WideCharToMultiByte(codePage, 0, wide.data(), length, nullptr, 0, nullptr,
                                 nullptr);
  if (size <= 0) return std::string();
  std::string text(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(codePage, 0, wide.data(), length, &text[0], size, nullptr, nullptr);
  return text;
}

}  // namespace platform

#endif  // TOVARO_PLATFORM_WIDE_TEXT_WINDOWS_H_

#include "saori_call/os_support.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#if defined(_WIN32)
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>
#include <cstdio>
#else
#include <dlfcn.h>
#include <iconv.h>
#include <climits>
#endif

namespace tools::saori_call {

#if defined(_WIN32)

namespace {

std::wstring Widen(const std::string& text, UINT codePage = CP_UTF8) {
  if (text.empty()) return std::wstring();
  int size = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()),
                                 nullptr, 0);
  if (size <= 0) return std::wstring();
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), &wide[0],
                      size);
  return wide;
}

std::string Narrow(const std::wstring& wide, UINT codePage = CP_UTF8) {
  if (wide.empty()) return std::string();
  int size = WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()),
                                 nullptr, 0, nullptr, nullptr);
  if (size <= 0) return std::string();
  std::string text(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), &text[0],
                      size, nullptr, nullptr);
  return text;
}

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

std::wstring FullPath(const std::string& path) {
  std::wstring wide = Widen(path);
  for (wchar_t& c : wide) {
    if (c == L'/') c = L'\\';
  }
  DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (size == 0) return std::wstring();
  std::wstring full(size, L'\0');
  DWORD written = GetFullPathNameW(wide.c_str(), size, &full[0], nullptr);
  if (written == 0 || written >= size) return std::wstring();
  full.resize(written);
  return full;
}

}  // namespace

DynamicModule::~DynamicModule() { Close(); }

bool DynamicModule::Open(const std::string& path, std::string* error) {
  Close();
  std::wstring full = FullPath(path);
  if (full.empty()) {
    *error = "the path can't be resolved";
    return false;
  }
  // No dialog box for a missing dependency: the reason goes to the caller.
  UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  HMODULE module = LoadLibraryW(full.c_str());
  DWORD code = GetLastError();
  SetErrorMode(previous);
  if (module == nullptr) {
    *error = SystemMessage(code);
    return false;
  }
  handle_ = module;
  return true;
}

void* DynamicModule::Find(const char* name) const {
  if (handle_ == nullptr) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
}

void DynamicModule::Close() {
  if (handle_ != nullptr) FreeLibrary(static_cast<HMODULE>(handle_));
  handle_ = nullptr;
}

void* NewHostBlock(const std::string& bytes) {
  HGLOBAL block = GlobalAlloc(GMEM_FIXED, bytes.empty() ? 1 : bytes.size());
  if (block != nullptr && !bytes.empty()) std::memcpy(block, bytes.data(), bytes.size());
  return block;
}

void FreeHostBlock(void* block) {
  if (block != nullptr) GlobalFree(static_cast<HGLOBAL>(block));
}

bool ModuleDirectory(const std::string& path, std::string* directory,
                     std::string* error) {
  std::wstring full = FullPath(path);
  std::size_t separator = full.find_last_of(L"\\/");
  if (full.empty() || separator == std::wstring::npos) {
    *error = "the path can't be resolved";
    return false;
  }
  *directory = Narrow(full.substr(0, separator + 1));
  return true;
}

std::string DirectoryForLoad(const std::string& directory) {
  return Narrow(Widen(directory), CP_OEMCP);
}

bool CharsetAvailable(const Charset& charset, std::string* error) {
  if (charset.codePage == CP_UTF8 || IsValidCodePage(charset.codePage)) return true;
  *error = std::string("this system has no converter for ") + charset.name +
           " (code page " + std::to_string(charset.codePage) +
           "; Wine lacks ISO-2022-JP): write the request in a file and send it with "
           "--raw";
  return false;
}

bool ConvertFromUtf8(const Charset& charset, const std::string& text, std::string* out,
                     std::string* error) {
  if (charset.codePage == CP_UTF8 || text.empty()) {
    *out = text;
    return true;
  }
  if (!CharsetAvailable(charset, error)) return false;
  int wideSize = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                                     static_cast<int>(text.size()), nullptr, 0);
  if (wideSize <= 0) {
    *error = "the text is not valid UTF-8";
    return false;
  }
  std::wstring wide(static_cast<std::size_t>(wideSize), L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                      static_cast<int>(text.size()), &wide[0], wideSize);
  // The ISO-2022 code pages refuse these flags; there a lost character goes unseen.
  bool stateful = charset.codePage >= 50220 && charset.codePage <= 50229;
  DWORD flags = stateful ? 0 : WC_NO_BEST_FIT_CHARS;
  BOOL usedDefault = FALSE;
  BOOL* usedDefaultPointer = stateful ? nullptr : &usedDefault;
  int size = WideCharToMultiByte(charset.codePage, flags, wide.data(), wideSize, nullptr,
                                 0, nullptr, usedDefaultPointer);
  if (size <= 0 || usedDefault) {
    *error = std::string("the text can't be written in ") + charset.name;
    return false;
  }
  out->assign(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(charset.codePage, flags, wide.data(), wideSize, &(*out)[0], size,
                      nullptr, usedDefaultPointer);
  return true;
}

bool ConvertToUtf8(const Charset& charset, const std::string& text, std::string* out) {
  if (charset.codePage == CP_UTF8 || text.empty()) {
    *out = text;
    return true;
  }
  if (!IsValidCodePage(charset.codePage)) return false;
  DWORD flags = charset.codePage >= 50220 && charset.codePage <= 50229
                    ? 0 : MB_ERR_INVALID_CHARS;
  int size = MultiByteToWideChar(charset.codePage, flags, text.data(),
                                 static_cast<int>(text.size()), nullptr, 0);
  if (size <= 0) return false;
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(charset.codePage, flags, text.data(),
                      static_cast<int>(text.size()), &wide[0], size);
  *out = Narrow(wide);
  return true;
}

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
  std::vector<std::string> arguments;
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) {
    // Fall back on the ANSI arguments the C run-time split.
    for (int i = 1; i < argc; ++i) arguments.push_back(Narrow(Widen(argv[i], CP_ACP)));
    return arguments;
  }
  for (int i = 1; i < count; ++i) arguments.push_back(Narrow(wide[i]));
  LocalFree(wide);
  return arguments;
}

void PrepareStandardStreams() {
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  _setmode(_fileno(stdin), _O_BINARY);
  SetConsoleOutputCP(CP_UTF8);
}

#else  // POSIX

DynamicModule::~DynamicModule() { Close(); }

bool DynamicModule::Open(const std::string& path, std::string* error) {
  Close();
  // A bare file name would be searched for on the library path; the user means the
  // file in the current directory.
  std::string file = path.find('/') == std::string::npos ? "./" + path : path;
  handle_ = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle_ == nullptr) {
    const char* reason = dlerror();
    *error = reason != nullptr ? reason : "dlopen failed";
    return false;
  }
  return true;
}

void* DynamicModule::Find(const char* name) const {
  if (handle_ == nullptr) return nullptr;
  return dlsym(handle_, name);
}

void DynamicModule::Close() {
  if (handle_ != nullptr) dlclose(handle_);
  handle_ = nullptr;
}

void* NewHostBlock(const std::string& bytes) {
  void* block = std::malloc(bytes.empty() ? 1 : bytes.size());
  if (block != nullptr && !bytes.empty()) std::memcpy(block, bytes.data(), bytes.size());
  return block;
}

void FreeHostBlock(void* block) { std::free(block); }

bool ModuleDirectory(const std::string& path, std::string* directory,
                     std::string* error) {
  char* resolved = realpath(path.c_str(), nullptr);
  if (resolved == nullptr) {
    *error = std::strerror(errno);
    return false;
  }
  std::string full = resolved;
  std::free(resolved);
  *directory = full.substr(0, full.rfind('/') + 1);
  return true;
}

std::string DirectoryForLoad(const std::string& directory) { return directory; }

namespace {

// Converts all of `text`; false on a byte sequence or character the converter
// refuses. The final call returns a stateful encoding to its initial shift state.
bool Iconv(const char* to, const char* from, const std::string& text, std::string* out,
           bool* noConverter) {
  *noConverter = false;
  iconv_t converter = iconv_open(to, from);
  if (converter == reinterpret_cast<iconv_t>(-1)) {
    *noConverter = true;
    return false;
  }
  std::string result;
  std::string buffer(4 * text.size() + 16, '\0');
  char* in = const_cast<char*>(text.data());
  std::size_t inLeft = text.size();
  bool ok = true;
  for (bool flushing = false;;) {
    char* outPointer = &buffer[0];
    std::size_t outLeft = buffer.size();
    std::size_t done = flushing ? iconv(converter, nullptr, nullptr, &outPointer, &outLeft)
                                : iconv(converter, &in, &inLeft, &outPointer, &outLeft);
    result.append(buffer.data(), buffer.size() - outLeft);
    if (done == static_cast<std::size_t>(-1) && errno != E2BIG) {
      ok = false;
      break;
    }
    if (done == static_cast<std::size_t>(-1)) continue;  // buffer full: go on
    if (flushing) break;
    flushing = true;
  }
  iconv_close(converter);
  if (ok) *out = result;
  return ok;
}

}  // namespace

bool CharsetAvailable(const Charset& charset, std::string* error) {
  if (charset.codePage == 65001) return true;
  iconv_t converter = iconv_open(charset.iconvName, "UTF-8");
  if (converter == reinterpret_cast<iconv_t>(-1)) {
    *error = std::string("this system has no converter for ") + charset.name;
    return false;
  }
  iconv_close(converter);
  return true;
}

bool ConvertFromUtf8(const Charset& charset, const std::string& text, std::string* out,
                     std::string* error) {
  if (charset.codePage == 65001) {
    *out = text;
    return true;
  }
  bool noConverter = false;
  if (Iconv(charset.iconvName, "UTF-8", text, out, &noConverter)) return true;
  *error = noConverter ? std::string("this system has no converter for ") + charset.name
                       : "the text can't be written in " + std::string(charset.name) +
                             " (or is not valid UTF-8)";
  return false;
}

bool ConvertToUtf8(const Charset& charset, const std::string& text, std::string* out) {
  if (charset.codePage == 65001) {
    *out = text;
    return true;
  }
  bool noConverter = false;
  return Iconv("UTF-8", charset.iconvName, text, out, &noConverter);
}

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
  return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

void PrepareStandardStreams() {}

#endif

}  // namespace tools::saori_call

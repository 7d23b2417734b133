// What saori-call needs from the operating system: opening a module and finding its
// exports, the memory blocks a host hands over, charset converters, and the command
// line in UTF-8.
//
// POSIX: dlopen, malloc/free, iconv. Windows: LoadLibraryW, GlobalAlloc(GMEM_FIXED)
// /GlobalFree, MultiByteToWideChar/WideCharToMultiByte, the wide command line.
// Paths and texts cross this interface in UTF-8.
//
// Thread-safe except for DynamicModule, which one thread owns.
#ifndef TOVARO_TOOLS_SAORI_CALL_OS_SUPPORT_H_
#define TOVARO_TOOLS_SAORI_CALL_OS_SUPPORT_H_

#include <string>
#include <vector>

#include "saori_call/request_builder.h"

#if defined(_WIN32)
#define SAORI_CALL_CDECL __cdecl
#else
#define SAORI_CALL_CDECL
#endif

namespace tools::saori_call {

// The exports of a SAORI module.
using LoadFunction = int(SAORI_CALL_CDECL*)(void* block, long length);
using RequestFunction = void*(SAORI_CALL_CDECL*)(void* block, long* length);
using UnloadFunction = int(SAORI_CALL_CDECL*)();

// One opened module; closed by Close or the destructor.
class DynamicModule {
 public:
  DynamicModule() = default;
  ~DynamicModule();
  DynamicModule(const DynamicModule&) = delete;
  DynamicModule& operator=(const DynamicModule&) = delete;

  // Opens the module file at `path`. False, with the system's reason in `error`,
  // when it can't be opened.
  bool Open(const std::string& path, std::string* error);
  bool IsOpen() const { return handle_ != nullptr; }
  // The address of the export `name`, or null.
  void* Find(const char* name) const;
  void Close();

 private:
  void* handle_ = nullptr;
};

// A block of `bytes.size()` bytes (one unused byte when empty) from the allocator a
// host uses, holding `bytes` with no terminator; null when memory is short. The
// module frees it.
void* NewHostBlock(const std::string& bytes);
// Frees an answer block; null is ignored.
void FreeHostBlock(void* block);

// The absolute directory of the file at `path`, ending in the separator. False,
// with the reason in `error`, when the path can't be resolved.
bool ModuleDirectory(const std::string& path, std::string* directory,
                     std::string* error);
// `directory` in the bytes `load` expects: the system's OEM code page on Windows,
// unchanged elsewhere.
std::string DirectoryForLoad(const std::string& directory);

// True when this system can convert between UTF-8 and `charset`; else false with
// the reason in `error`.
bool CharsetAvailable(const Charset& charset, std::string* error);
// UTF-8 `text` written in `charset`. False, with the reason in `error`, when this
// system has no converter for it or the text can't be written in it.
bool ConvertFromUtf8(const Charset& charset, const std::string& text, std::string* out,
                     std::string* error);
// `text` in `charset` as UTF-8. False when it can't be converted.
bool ConvertToUtf8(const Charset& charset, const std::string& text, std::string* out);

// The program's arguments after its name, in UTF-8.
std::vector<std::string> CommandLineArguments(int argc, char** argv);
// Output as bytes, unchanged (no CR added on Windows), and a console that shows
// UTF-8.
void PrepareStandardStreams();

}  // namespace tools::saori_call

#endif  // TOVARO_TOOLS_SAORI_CALL_OS_SUPPORT_H_

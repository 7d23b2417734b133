// A module file mapped into this process as a host maps a plug-in, and the
// addresses of its exports. For hosts, tools and tests; the module never loads one.
//
// Windows: LoadLibraryW (with the system's error dialogs turned off for the call),
// GetProcAddress, FreeLibrary. POSIX: dlopen (all symbols bound at once, none made
// visible to later modules), dlsym, dlclose.
//
// One owner and one thread at a time. Names and messages are UTF-8.
#ifndef TOVARO_PLATFORM_LOADED_MODULE_H_
#define TOVARO_PLATFORM_LOADED_MODULE_H_

#include <string>

namespace platform {

class LoadedModule {
 public:
  LoadedModule() = default;
  ~LoadedModule();  // Close
  LoadedModule(const LoadedModule&) = delete;
  LoadedModule& operator=(const LoadedModule&) = delete;

  // Maps the module `file`: a path, or a bare file name that the system looks for
  // as it does for any module (on Windows beside the program first). False, with
  // the system's reason in `error`, when it can't be mapped; the module is then
  // closed.
  bool Open(const std::string& file, std::string* error);
  bool IsOpen() const { return handle_ != nullptr; }
  // The address of the export `name`; null when there is none or nothing is open.
  void* Find(const char* name) const;
  // Unmaps the module, if one is open.
  void Close();

 private:
  void* handle_ = nullptr;
};

// True when the module `file` (named as for Open) is mapped into this process now,
// by whoever opened it. Maps nothing itself.
bool IsModuleMapped(const std::string& file);

// The absolute form of `path`, taken from the current directory. False, with the
// reason in `error`, when it can't be resolved (on POSIX also when no such file
// exists).
bool AbsolutePath(const std::string& path, std::string* absolute, std::string* error);

}  // namespace platform

#endif  // TOVARO_PLATFORM_LOADED_MODULE_H_

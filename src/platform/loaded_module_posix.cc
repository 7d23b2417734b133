#include "platform/loaded_module.h"

#include <dlfcn.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace platform {

LoadedModule::~LoadedModule() { Close(); }

bool LoadedModule::Open(const std::string& file, std::string* error) {
  Close();
  handle_ = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle_ == nullptr) {
    const char* reason = dlerror();
    *error = reason != nullptr ? reason : "dlopen failed";
    return false;
  }
  return true;
}

void* LoadedModule::Find(const char* name) const {
  if (handle_ == nullptr) return nullptr;
  return dlsym(handle_, name);
}

void LoadedModule::Close() {
  if (handle_ != nullptr) dlclose(handle_);
  handle_ = nullptr;
}

bool IsModuleMapped(const std::string& file) {
  // RTLD_NOLOAD hands back a new reference to a mapped object, and maps none.
  void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (handle == nullptr) return false;
  dlclose(handle);
  return true;
}

bool AbsolutePath(const std::string& path, std::string* absolute, std::string* error) {
  char* resolved = realpath(path.c_str(), nullptr);
  if (resolved == nullptr) {
    *error = std::strerror(errno);
    return false;
  }
  *absolute = resolved;
  std::free(resolved);
  return true;
}

}  // namespace platform

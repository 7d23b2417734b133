// The shared object's load and unload notifications: a constructor and a destructor
// function that the dynamic loader runs when it maps and unmaps the object.
#include "platform/module_entry.h"

#include <dlfcn.h>

namespace platform {
namespace {

// Any object inside the shared object tells dladdr which object we are.
char anchor;

__attribute__((constructor)) void ModuleMapped() {
  Dl_info info{};
  ModuleHandle handle = nullptr;
  if (dladdr(&anchor, &info) != 0) handle = info.dli_fbase;
  try {
    OnModuleAttach(handle);
  } catch (...) {
    // Nothing may escape into the loader.
  }
}

__attribute__((destructor)) void ModuleUnmapped() {
  try {
    OnModuleDetach();
  } catch (...) {
  }
}

}  // namespace
}  // namespace platform

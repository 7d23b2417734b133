// A stand-in for a script engine that uses the module, as the host sees it: a
// module with the same four exports, which loads the built module at its first
// load and forwards every call to it. Like real engines, it cleans up in its own
// teardown, which the system runs while it unmaps the engine (inside the loader
// lock on Windows, in DllMain's process detach, both when the engine is freed and
// at process exit): there it unloads the module and frees it, whether or not the
// host called the engine's unload.
//
// Owned by the host's thread, like any module; nothing here takes a lock.
#include <string>

#include "module/saori_exports.h"
#include "platform/host_memory.h"
#include "platform/loaded_module.h"

namespace {

// Windows finds the module by name beside the host program, as engines find it.
#if defined(_WIN32)
constexpr char kModuleFile[] = TOVARO_MODULE_FILE;
#else
constexpr char kModuleFile[] = TOVARO_MODULE_PATH;
#endif

class Engine {
 public:
  ~Engine() {
    if (unload_ != nullptr) unload_();
    module_.Close();
  }

  // Opens the module the first time; false when it can't be opened.
  bool Open() {
    if (unload_ != nullptr) return true;
    std::string error;
    if (!module_.Open(kModuleFile, &error)) return false;
    using namespace saori_exports;
    load_ = reinterpret_cast<LoadFunction>(module_.Find(kLoad));
    loadu_ = reinterpret_cast<LoadFunction>(module_.Find(kLoadU));
    request_ = reinterpret_cast<RequestFunction>(module_.Find(kRequest));
    unload_ = reinterpret_cast<UnloadFunction>(module_.Find(kUnload));
    if (load_ == nullptr || loadu_ == nullptr || request_ == nullptr ||
        unload_ == nullptr) {
      unload_ = nullptr;
      module_.Close();
      return false;
    }
    return true;
  }

  int Load(void* h, long len, bool utf8) {
    if (!Open()) {
      platform::FreeHostBlock(h);
      return 0;
    }
    return utf8 ? loadu_(h, len) : load_(h, len);
  }

  void* Request(void* h, long* len) {
    if (unload_ == nullptr) {
      platform::FreeHostBlock(h);
      if (len != nullptr) *len = 0;
      return nullptr;
    }
    return request_(h, len);
  }

  int Unload() { return unload_ != nullptr ? unload_() : 1; }

 private:
  platform::LoadedModule module_;
  saori_exports::LoadFunction load_ = nullptr;
  saori_exports::LoadFunction loadu_ = nullptr;
  saori_exports::RequestFunction request_ = nullptr;
  saori_exports::UnloadFunction unload_ = nullptr;
};

// Torn down with the engine's other static objects.
Engine engine;

}  // namespace

TOVARO_EXPORT int TOVARO_CDECL load(void* h, long len) {
  return engine.Load(h, len, false);
}

TOVARO_EXPORT int TOVARO_CDECL loadu(void* h, long len) {
  return engine.Load(h, len, true);
}

TOVARO_EXPORT void* TOVARO_CDECL request(void* h, long* len) {
  return engine.Request(h, len);
}

TOVARO_EXPORT int TOVARO_CDECL unload(void) { return engine.Unload(); }

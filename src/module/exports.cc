// The four exports. Each has one catch-all, so that no exception ever reaches the
// host.
#include "module/saori_exports.h"

#include "module/plugin_instance.h"
#include "platform/code_page.h"

// Block with the module directory in the system's OEM code page, or null.
TOVARO_EXPORT int TOVARO_CDECL load(void* h, long len) {
  try {
    return module::Load(h, len, platform::kCodePageOem);
  } catch (...) {
    return 0;
  }
}

// Block with the module directory in UTF-8, or null.
TOVARO_EXPORT int TOVARO_CDECL loadu(void* h, long len) {
  try {
    return module::Load(h, len, platform::kCodePageUtf8);
  } catch (...) {
    return 0;
  }
}

// Block with the request bytes; *len in: their number, out: the answer's.
TOVARO_EXPORT void* TOVARO_CDECL request(void* h, long* len) {
  try {
    return module::Request(h, len);
  } catch (...) {
    if (len != nullptr) *len = 0;
    return nullptr;
  }
}

TOVARO_EXPORT int TOVARO_CDECL unload(void) {
  try {
    return module::Unload();
  } catch (...) {
    return 0;
  }
}

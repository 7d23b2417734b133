// The four functions a SAORI/1.0 module exports and a host calls: C linkage, the
// cdecl calling convention, blocks of host memory (platform/host_memory.h).
//
//   load / loadu  The block holds the module's directory, `len` bytes, in the
//                 system's OEM code page (load) or UTF-8 (loadu). The module frees
//                 the block. Returns 1 when the module is ready, else 0.
//   request       The block holds `*len` bytes of request; the module frees it and
//                 returns a block of its own with the answer, its length in `*len`
//                 (a zero byte follows it), which the host frees. A null answer
//                 comes with `*len` 0.
//   unload        Ends the module's work before the host frees it. Returns 1.
//
// The module defines them (src/module/exports.cc); hosts find them by name in a
// loaded module (platform/loaded_module.h) and call them through the types below.
#ifndef TOVARO_MODULE_SAORI_EXPORTS_H_
#define TOVARO_MODULE_SAORI_EXPORTS_H_

#if defined(_WIN32)
#define TOVARO_EXPORT extern "C" __declspec(dllexport)
#define TOVARO_CDECL __cdecl
#else
#define TOVARO_EXPORT extern "C" __attribute__((visibility("default")))
#define TOVARO_CDECL
#endif

TOVARO_EXPORT int TOVARO_CDECL load(void* h, long len);
TOVARO_EXPORT int TOVARO_CDECL loadu(void* h, long len);
TOVARO_EXPORT void* TOVARO_CDECL request(void* h, long* len);
TOVARO_EXPORT int TOVARO_CDECL unload(void);

namespace saori_exports {

using LoadFunction = decltype(&load);
using RequestFunction = decltype(&request);
using UnloadFunction = decltype(&unload);

constexpr char kLoad[] = "load";
constexpr char kLoadU[] = "loadu";
constexpr char kRequest[] = "request";
constexpr char kUnload[] = "unload";

}  // namespace saori_exports

#endif  // TOVARO_MODULE_SAORI_EXPORTS_H_

// The module's process-wide state and the operations behind its four exports.
//
// One plug-in instance (a CTovaro) lives between load/loadu and unload; the module
// handle is recorded when the module is mapped and outlives every instance. Both
// are plain variables: the host calls the exports, and the loader delivers the
// attach and detach notifications, one at a time on its own thread, so nothing
// here takes a lock. The speech worker never reads them.
//
// Memory blocks that cross the boundary come from platform/host_memory.h: the
// module frees every block the host hands it (once copied, on every path), and the
// host frees every answer block.
//
// None of these functions lets an exception out.
#ifndef TOVARO_MODULE_PLUGIN_INSTANCE_H_
#define TOVARO_MODULE_PLUGIN_INSTANCE_H_

#include "platform/module_entry.h"
#include "saori/saori_types.h"

namespace speech {
class CTovaro;
}

namespace module {

// The live plug-in instance, or null before the first load and after unload.
speech::CTovaro* PluginInstance();
// The handle recorded at attach; null before.
platform::ModuleHandle ModuleHandle();

// load (codePage 1) and loadu (codePage 65001). Unloads a live instance first,
// creates a new one, and when `block` is not null copies `length` bytes of it
// (a negative length counts as none), frees it, and stores them, decoded up to the
// first zero byte, as the instance's modulePath together with the module handle.
// A null block leaves both empty, and its length is ignored. Then runs OnLoad.
// Returns 1 or 0, OnLoad's result; 0 when OnLoad throws (the instance stays
// registered) and 0 when the instance can't be created or its directory can't be
// stored (no instance is left then). The block is freed on every path.
int Load(void* block, long length, saori::CodePage codePage);

// Runs OnUnload and destroys the instance. 1 when no instance exists; otherwise
// OnUnload's result, 0 when it throws (the instance is destroyed all the same).
// While the system ends the process (platform/loader.h), 1 and nothing done.
int Unload();

// Copies `*length` bytes of `block`, frees it, and answers the request through
// the pipeline. Returns a new block holding the answer followed by a zero byte,
// and stores the answer's length (without that byte) in `*length`. Answers the
// failure answer (the protocol version, " 500 Internal Server Error", an empty
// line) when the pipeline throws, when no instance exists, when `*length` is
// negative, or when `block` is null while `*length` is not 0. Returns null with
// `*length` 0 when the answer block can't be allocated; returns null (after
// freeing `block`) when `length` is null.
void* Request(void* block, long* length);

}  // namespace module

#endif  // TOVARO_MODULE_PLUGIN_INSTANCE_H_

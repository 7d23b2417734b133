// The module's own load and unload notifications.
//
// The platform delivers the notifications: DllMain on Windows (process attach and
// detach), a constructor/destructor pair of the shared object on POSIX. The module
// layer defines the two functions.
#ifndef TOVARO_PLATFORM_MODULE_ENTRY_H_
#define TOVARO_PLATFORM_MODULE_ENTRY_H_

namespace platform {

// The module's handle (HINSTANCE on Windows), as recorded at attach.
using ModuleHandle = void*;

// Defined by the module. Called once when the module is mapped into the process.
void OnModuleAttach(ModuleHandle handle);
// Defined by the module. Called once when the module is unmapped because it was
// freed. On Windows it runs under the loader's lock, never at process exit and
// never while a worker thread lives: a worker holds the module, and one let go
// pins it (see thread.h).
void OnModuleDetach();

}  // namespace platform

#endif  // TOVARO_PLATFORM_MODULE_ENTRY_H_

// The DLL entry notification. Process detach marks the time it runs so that
// stopping the worker under the loader lock doesn't wait for what can't happen then
// (see thread_windows.cc).
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "platform/module_entry.h"
#include "platform/thread.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  try {
    switch (reason) {
      case DLL_PROCESS_ATTACH:
        platform::OnModuleAttach(instance);
        break;
      case DLL_PROCESS_DETACH:
        platform::SetLoaderDetachInProgress(true);
        platform::OnModuleDetach();
        platform::SetLoaderDetachInProgress(false);
        break;
      default:  // thread attach and detach: nothing
        break;
    }
  } catch (...) {
    // Nothing may escape into the loader.
    platform::SetLoaderDetachInProgress(false);
  }
  return TRUE;
}

// The DLL entry notification.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "platform/module_entry.h"
#include "platform/unwind_tables_windows.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  try {
    switch (reason) {
      case DLL_PROCESS_ATTACH:
        platform::RegisterOwnUnwindTables(instance,
                                          reinterpret_cast<const void*>(&DllMain));
        platform::OnModuleAttach(instance);
        break;
      case DLL_PROCESS_DETACH:
        // At process exit (reserved not null) the system has already ended every
        // other thread, and freeing, waiting or stopping the network library under
        // the loader lock can only hang: the process's memory goes with it anyway.
        if (reserved == nullptr) {
          platform::OnModuleDetach();
          platform::DeregisterOwnUnwindTables();
        }
        break;
      default:  // thread attach and detach: nothing
        break;
    }
  } catch (...) {
    // Nothing may escape into the loader.
  }
  return TRUE;
}

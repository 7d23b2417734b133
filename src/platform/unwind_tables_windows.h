// The module's own unwind tables, registered with its own unwinder (32-bit
// Windows; nothing to do on 64-bit, which unwinds through the system's tables).
//
// The 32-bit module unwinds with DWARF tables (its .eh_frame section) and the
// unwinder of the GCC run-time linked into it, which finds only the tables
// registered with it. The start-up code GCC links into a DLL registers them at
// load, but with libgcc_s_dw2-1.dll instead when a module of that name is already
// in the process (plug-ins built with MinGW without -static-libgcc ship it). Our
// unwinder then knows no frame of ours, and the first exception thrown would end
// the host in abort(). So at attach, in that case, the tables are registered with
// our unwinder as well, and taken back when the module is freed.
//
// DllMain only: attach and detach come one at a time under the loader lock.
#ifndef TOVARO_PLATFORM_UNWIND_TABLES_WINDOWS_H_
#define TOVARO_PLATFORM_UNWIND_TABLES_WINDOWS_H_

#include <windows.h>

namespace platform {

// Registers the tables of `module` (ours) with our unwinder when the run-time's
// start-up code gave them to libgcc_s_dw2-1.dll. `ownCode` is the address of a
// function of ours that has an entry in them (one with a try block, such as
// DllMain). REQUIRES: called from DllMain's process attach, after that code has run.
void RegisterOwnUnwindTables(HMODULE module, const void* ownCode);
// Takes back what RegisterOwnUnwindTables registered, if anything.
void DeregisterOwnUnwindTables();

}  // namespace platform

#endif  // TOVARO_PLATFORM_UNWIND_TABLES_WINDOWS_H_

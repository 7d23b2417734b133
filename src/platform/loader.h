// What the system's module loader is doing to the calling thread, for exports
// that may be called from another module's DllMain (Windows) or a shared object's
// destructor (POSIX), where some waits can never end.
//
// Any thread.
#ifndef TOVARO_PLATFORM_LOADER_H_
#define TOVARO_PLATFORM_LOADER_H_

namespace platform {

// True when the calling thread holds the system's loader lock (Windows: it runs
// inside a module's DllMain, or in the notifications of process exit), where no
// other thread can begin or end. Always false on POSIX, where a thread's end
// needs no lock of the dynamic loader's.
bool HoldsLoaderLock();

// True while the system ends the process (Windows: the modules' process-detach
// notifications of ExitProcess). Every other thread has then been ended wherever
// it stood, perhaps holding a lock of ours or of the network library's. Always
// false on POSIX, where exit() leaves the other threads running.
bool ProcessIsEnding();

}  // namespace platform

#endif  // TOVARO_PLATFORM_LOADER_H_

// This process as the system sees it (its threads, its memory, its own program
// file) and other programs started from it and waited for. For tests, tools and
// benchmarks; the module never starts a program or counts its own threads.
//
// Thread-safe: every function may be called from any thread. The figures are taken
// at the moment of the call and may be stale by the time they are read.
#ifndef TOVARO_PLATFORM_PROCESS_H_
#define TOVARO_PLATFORM_PROCESS_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// The threads of this process now, the calling one included; 0 when the system
// can't tell.
std::size_t ThreadCount();
// The bytes of this process held in memory now (its resident size, or on Windows
// its working set); 0 when the system can't tell.
std::size_t ResidentBytes();
// The bytes the C library's allocator has handed out and not had back; 0 where the
// allocator does not say (Windows).
std::size_t HeapBytesInUse();

// True when a program started from this process now would inherit the system's
// handle `handle` (Windows: a handle or socket marked inheritable; POSIX: a
// descriptor without close-on-exec). False also for a handle that is not open.
bool ChildrenWouldInherit(std::intptr_t handle);

// The path of this process's program file; empty when it can't be had. On Windows
// in the ANSI code page, as RunToEnd takes it.
std::string ThisProgramPath();
// Starts the program at `program` (a path: no search of PATH) with `arguments`
// after its name, and waits for it to end, at most `limitMs` (by default however
// long that takes). True when it started and ended, whatever its exit status;
// false when it could not be started, or when it was still running at the limit:
// it is then ended by force and waited for. When `exitStatus` is not null and the
// program ended on its own, the status is stored there: what the program gave to
// exit (on Windows its exit code, an exception's code for a crash), or on POSIX
// 128 plus the number of the signal that ended it.
// The program inherits the environment and the standard streams.
constexpr unsigned kNoLimit = 0xFFFFFFFFu;
bool RunToEnd(const std::string& program, const std::vector<std::string>& arguments,
              int* exitStatus = nullptr, unsigned limitMs = kNoLimit);

}  // namespace platform

#endif  // TOVARO_PLATFORM_PROCESS_H_

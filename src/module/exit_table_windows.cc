// The DLL's exit table, kept under a lock of its own.
//
// The start-up code that MinGW-w64 links into every DLL keeps the functions that
// atexit registers (the C++ static destructors among them) in a table that it
// initialises at attach and runs at detach, both inside the system's loader lock.
// The run-time library's own table functions guard it with msvcrt.dll's lock 8,
// which is also the lock that exit() holds from the atexit handlers through
// ExitProcess, and ExitProcess waits for the loader lock. A host whose one thread
// is in exit() while another frees or loads this DLL would then deadlock: each
// holds the lock the other waits for. Defined here, these three take the place of
// the run-time's, so the DLL's start and end take no lock of the host's; should the
// run-time's copy ever be linked in again, the link fails on a second definition.
//
// Registration may come from any thread (a function's first use of a local static
// with a destructor); attach and detach come one at a time. An SRW lock needs no
// set-up or tear-down, so it is there before the first registration and still
// there after the last run. The table grows on the process heap, which the loader
// itself uses under its lock.
#include <windows.h>

#include <cstddef>

namespace {

// The run-time's table record, laid out as its start-up code has it. Its own
// declarations of the three functions are dllimport ones, which a definition may
// not follow.
using ExitFunction = void(__cdecl*)();
using RegisteredFunction = int(__cdecl*)();
struct ExitTable {
  ExitFunction* first;
  ExitFunction* last;  // one past the last registered
  ExitFunction* end;   // one past the storage
};

SRWLOCK tableLock = SRWLOCK_INIT;

constexpr std::size_t kFirstCapacity = 16;

}  // namespace

extern "C" int __cdecl _initialize_onexit_table(ExitTable* table) {
  if (table == nullptr) return -1;
  AcquireSRWLockExclusive(&tableLock);
  if (table->first == nullptr) {
    table->last = nullptr;
    table->end = nullptr;
  }
  ReleaseSRWLockExclusive(&tableLock);
  return 0;
}

extern "C" int __cdecl _register_onexit_function(ExitTable* table,
                                                 RegisteredFunction function) {
  if (table == nullptr) return -1;
  int result = 0;
  AcquireSRWLockExclusive(&tableLock);
  if (table->last == table->end) {
    const std::size_t count = static_cast<std::size_t>(table->end - table->first);
    const std::size_t capacity = count == 0 ? kFirstCapacity : count * 2;
    HANDLE heap = GetProcessHeap();
    void* grown = table->first == nullptr
                      ? HeapAlloc(heap, 0, capacity * sizeof(ExitFunction))
                      : HeapReAlloc(heap, 0, table->first, capacity * sizeof(ExitFunction));
    if (grown == nullptr) {
      result = -1;
    } else {
      table->first = static_cast<ExitFunction*>(grown);
      table->last = table->first + count;
      table->end = table->first + capacity;
    }
  }
  if (result == 0) *table->last++ = reinterpret_cast<ExitFunction>(function);
  ReleaseSRWLockExclusive(&tableLock);
  return result;
}

// Runs the functions last registered first, outside the lock, so that one that
// registers another does not wait for itself; what they register meanwhile runs
// too, before this returns.
extern "C" int __cdecl _execute_onexit_table(ExitTable* table) {
  if (table == nullptr) return -1;
  for (;;) {
    AcquireSRWLockExclusive(&tableLock);
    ExitFunction* first = table->first;
    ExitFunction* last = table->last;
    table->first = nullptr;
    table->last = nullptr;
    table->end = nullptr;
    ReleaseSRWLockExclusive(&tableLock);
    if (first == nullptr) return 0;
    while (last != first) {
      --last;
      if (*last != nullptr) (*last)();
    }
    HeapFree(GetProcessHeap(), 0, first);
  }
}

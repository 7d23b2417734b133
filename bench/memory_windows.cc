#include <windows.h>
#include <psapi.h>

#include "scenarios.h"

namespace bench {

// The heap's own figures are not exposed the way the C library's allocator
// exposes them elsewhere; only the resident size is reported.
std::size_t HeapBytesInUse() { return 0; }

std::size_t ResidentBytes() {
  PROCESS_MEMORY_COUNTERS counters{};
  if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return 0;
  return counters.WorkingSetSize;
}

}  // namespace bench

#include <malloc.h>
#include <unistd.h>

#include <cstdio>

#include "scenarios.h"

namespace bench {

std::size_t HeapBytesInUse() {
  // Small blocks in use plus the blocks the allocator mapped on their own.
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

std::size_t ResidentBytes() {
  std::FILE* file = std::fopen("/proc/self/statm", "r");
  if (file == nullptr) return 0;
  unsigned long size = 0;
  unsigned long resident = 0;
  const int read = std::fscanf(file, "%lu %lu", &size, &resident);
  std::fclose(file);
  if (read != 2) return 0;
  return static_cast<std::size_t>(resident) * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
}

}  // namespace bench

// Memory blocks handed across the module boundary.
//
// Windows: global memory, GlobalAlloc(GMEM_FIXED) / GlobalFree, so the handle is the
// address of the bytes. POSIX: the C library's malloc / free.
#ifndef TOVARO_PLATFORM_HOST_MEMORY_H_
#define TOVARO_PLATFORM_HOST_MEMORY_H_

#include <cstddef>

namespace platform {

// A block of `size` bytes that the host will free; null when none can be had.
void* AllocateHostBlock(std::size_t size);
// Frees a block that the host handed us. A null block is ignored.
void FreeHostBlock(void* block);

}  // namespace platform

#endif  // TOVARO_PLATFORM_HOST_MEMORY_H_

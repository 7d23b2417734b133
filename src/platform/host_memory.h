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

// A replacement for the system's allocator behind the two functions above, for
// tests that make a block's allocation fail or check that each block is freed
// once. `free` is never given null.
struct HostBlockHooks {
  void* (*allocate)(std::size_t size);
  void (*free)(void* block);
};
// Installs `hooks` (null: the system's allocator again); the hooks must outlive
// their use. Host's thread only, while no block is being allocated or freed.
void SetHostBlockHooks(const HostBlockHooks* hooks);

}  // namespace platform

#endif  // TOVARO_PLATFORM_HOST_MEMORY_H_

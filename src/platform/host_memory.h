// Memory blocks handed across the module boundary: the host allocates the blocks it
// gives the module and frees the answers; the module frees what it is given and
// allocates its answers. Both sides must use the one allocator the host uses, which
// on Windows is global memory whose handle is the address of the bytes.
//
// Thread-safe: blocks may be allocated and freed from any thread. The hooks are set
// while no other thread allocates or frees.
#ifndef TOVARO_PLATFORM_HOST_MEMORY_H_
#define TOVARO_PLATFORM_HOST_MEMORY_H_

#include <cstddef>
#include <string>

namespace platform {

// A block of `size` bytes (at least one) that the other side will free; null when
// none can be had.
void* AllocateHostBlock(std::size_t size);
// A block holding exactly `bytes`, with no terminator after them (one unused byte
// when `bytes` is empty); null when none can be had. The other side frees it.
void* NewHostBlock(const std::string& bytes);
// Frees a block that the other side handed over. A null block is ignored.
void FreeHostBlock(void* block);

// Replaces the allocator of every block above until SetHostMemoryHooks(nullptr), so
// that a test can make allocations fail and count what is freed. `hooks` must
// outlive its use. Not for production code.
struct HostMemoryHooks {
  void* (*allocate)(std::size_t size);
  void (*free)(void* block);
};
void SetHostMemoryHooks(const HostMemoryHooks* hooks);

namespace internal {
// The system's allocator, one per platform.
void* AllocateSystemBlock(std::size_t size);
void FreeSystemBlock(void* block);
}  // namespace internal

}  // namespace platform

#endif  // TOVARO_PLATFORM_HOST_MEMORY_H_

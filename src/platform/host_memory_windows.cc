#include <windows.h>

#include "platform/host_memory.h"

namespace platform::internal {

// GMEM_FIXED: the handle is the address of the bytes, which the host relies on.
void* AllocateSystemBlock(std::size_t size) { return GlobalAlloc(GMEM_FIXED, size); }

void FreeSystemBlock(void* block) { GlobalFree(block); }

}  // namespace platform::internal

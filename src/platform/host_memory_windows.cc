#include <windows.h>

#include "platform/host_memory.h"

namespace platform {

// GMEM_FIXED: the handle is the address of the bytes, which the host relies on.
void* AllocateHostBlock(std::size_t size) { return GlobalAlloc(GMEM_FIXED, size); }

void FreeHostBlock(void* block) {
  if (block != nullptr) GlobalFree(block);
}

}  // namespace platform

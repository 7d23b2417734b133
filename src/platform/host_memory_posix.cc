#include <cstdlib>

#include "platform/host_memory.h"

namespace platform {

// malloc(0) may give null, which would read as failure; a one-byte block does not.
void* AllocateHostBlock(std::size_t size) { return std::malloc(size == 0 ? 1 : size); }

void FreeHostBlock(void* block) { std::free(block); }

}  // namespace platform

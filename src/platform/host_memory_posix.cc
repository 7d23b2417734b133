#include <cstdlib>

#include "platform/host_memory.h"

namespace platform::internal {

// malloc(0) may give null, which would read as failure; a one-byte block does not.
void* AllocateSystemBlock(std::size_t size) { return std::malloc(size == 0 ? 1 : size); }

void FreeSystemBlock(void* block) { std::free(block); }

}  // namespace platform::internal

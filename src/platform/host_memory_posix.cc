#include <cstdlib>

#include "platform/host_memory.h"

namespace platform {
namespace {
const HostBlockHooks* installedHooks = nullptr;
}  // namespace

void SetHostBlockHooks(const HostBlockHooks* hooks) { installedHooks = hooks; }

// malloc(0) may give null, which would read as failure; a one-byte block does not.
void* AllocateHostBlock(std::size_t size) {
  if (installedHooks != nullptr) return installedHooks->allocate(size);
  return std::malloc(size == 0 ? 1 : size);
}

void FreeHostBlock(void* block) {
  if (block == nullptr) return;
  if (installedHooks != nullptr) {
    installedHooks->free(block);
    return;
  }
  std::free(block);
}

}  // namespace platform

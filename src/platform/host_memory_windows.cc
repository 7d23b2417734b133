#include <windows.h>

#include "platform/host_memory.h"

namespace platform {
namespace {
const HostBlockHooks* installedHooks = nullptr;
}  // namespace

void SetHostBlockHooks(const HostBlockHooks* hooks) { installedHooks = hooks; }

// GMEM_FIXED: the handle is the address of the bytes, which the host relies on.
void* AllocateHostBlock(std::size_t size) {
  if (installedHooks != nullptr) return installedHooks->allocate(size);
  return GlobalAlloc(GMEM_FIXED, size);
}

void FreeHostBlock(void* block) {
  if (block == nullptr) return;
  if (installedHooks != nullptr) {
    installedHooks->free(block);
    return;
  }
  GlobalFree(block);
}

}  // namespace platform

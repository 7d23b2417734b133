#include "platform/host_memory.h"

#include <atomic>
#include <cstring>

namespace platform {
namespace {

std::atomic<const HostMemoryHooks*> hooks{nullptr};

}  // namespace

void* AllocateHostBlock(std::size_t size) {
  const HostMemoryHooks* replaced = hooks.load();
  return replaced != nullptr ? replaced->allocate(size)
                             : internal::AllocateSystemBlock(size);
}

void* NewHostBlock(const std::string& bytes) {
  void* block = AllocateHostBlock(bytes.empty() ? 1 : bytes.size());
  if (block != nullptr && !bytes.empty()) std::memcpy(block, bytes.data(), bytes.size());
  return block;
}

void FreeHostBlock(void* block) {
  if (block == nullptr) return;
  const HostMemoryHooks* replaced = hooks.load();
  if (replaced != nullptr) {
    replaced->free(block);
  } else {
    internal::FreeSystemBlock(block);
  }
}

void SetHostMemoryHooks(const HostMemoryHooks* replacement) { hooks.store(replacement); }

}  // namespace platform

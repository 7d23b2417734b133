#include "platform/unwind_tables_windows.h"

#include <cstdint>

#if defined(__i386__)

// The statically linked unwinder's registry: __register_frame reads the tables
// from `begin` up to their zero terminator (the run-time's end code puts one at
// the end of the section) and keeps a record of its own for them.
extern "C" void __register_frame(void* begin);
extern "C" void __deregister_frame(void* begin);

namespace platform {
namespace {

void* registered = nullptr;

// The start of the section of the image `module` that holds `address`, or null.
// Image section names can't be relied on here: .eh_frame is longer than the eight
// bytes a header holds, and the name table that has the rest is not mapped.
void* StartOfSectionHolding(HMODULE module, const void* address) {
  auto* image = reinterpret_cast<unsigned char*>(module);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(image + dos->e_lfanew);
  const auto target = reinterpret_cast<std::uintptr_t>(address);
  const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
  for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
    const auto start = reinterpret_cast<std::uintptr_t>(image + section->VirtualAddress);
    if (target >= start && target - start < section->Misc.VirtualSize) {
      return image + section->VirtualAddress;
    }
  }
  return nullptr;
}

}  // namespace

void RegisterOwnUnwindTables(HMODULE module, const void* ownCode) {
  // The same test the start-up code has just made, under the same loader lock.
  HMODULE shared = GetModuleHandleW(L"libgcc_s_dw2-1.dll");
  if (shared == nullptr || registered != nullptr) return;
  // That DLL's unwinder now knows our tables: asked for the entry that covers a
  // function of ours, it points into them. An address given, not our caller's
  // return address, so that the answer does not depend on what the compiler
  // inlines.
  using FindEntry = const void* (*)(void* pc, void* bases);
  const auto find = reinterpret_cast<FindEntry>(
      reinterpret_cast<void*>(GetProcAddress(shared, "_Unwind_Find_FDE")));
  if (find == nullptr) return;
  void* bases[3];  // text, data and function base, not needed here
  const void* entry = find(const_cast<void*>(ownCode), bases);
  if (entry == nullptr) return;
  void* tables = StartOfSectionHolding(module, entry);
  if (tables == nullptr) return;
  __register_frame(tables);
  registered = tables;
}

void DeregisterOwnUnwindTables() {
  if (registered == nullptr) return;
  __deregister_frame(registered);
  registered = nullptr;
}

}  // namespace platform

#else  // 64-bit: unwinding goes through the system's own tables.

namespace platform {

void RegisterOwnUnwindTables(HMODULE, const void*) {}
void DeregisterOwnUnwindTables() {}

}  // namespace platform

#endif

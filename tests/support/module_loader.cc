#include "support/module_loader.h"

#include "platform/host_memory.h"

#include <chrono>
#include <cstring>
#include <thread>

#if defined(_WIN32)
#include <windows.h>
#include <tlhelp32.h>
#else
#include <dirent.h>
#endif

namespace test_support {

std::size_t ThreadCount() {
  // A run-time that starts a helper thread along with the process's first thread
  // (ThreadSanitizer does) must have it before the first count, or the first
  // thread a test starts would seem to be left behind.
  static const bool helpersStarted = [] {
    std::thread([] {}).join();
    return true;
  }();
  static_cast<void>(helpersStarted);
#if defined(_WIN32)
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return 0;
  std::size_t count = 0;
  THREADENTRY32 entry;
  entry.dwSize = sizeof(entry);
  const DWORD process = GetCurrentProcessId();
  for (BOOL more = Thread32First(snapshot, &entry); more;
       more = Thread32Next(snapshot, &entry)) {
    if (entry.th32OwnerProcessID == process) ++count;
    entry.dwSize = sizeof(entry);
  }
  CloseHandle(snapshot);
  return count;
#else
  DIR* tasks = opendir("/proc/self/task");
  if (tasks == nullptr) return 0;
  std::size_t count = 0;
  while (const dirent* entry = readdir(tasks)) {
    if (entry->d_name[0] != '.') ++count;
  }
  closedir(tasks);
  return count;
#endif
}

LoadedModule::LoadedModule(const std::string& file) {
  if (!module_.Open(file, &error_)) return;
  using namespace saori_exports;
  load = reinterpret_cast<LoadFunction>(module_.Find(kLoad));
  loadu = reinterpret_cast<LoadFunction>(module_.Find(kLoadU));
  request = reinterpret_cast<RequestFunction>(module_.Find(kRequest));
  unload = reinterpret_cast<UnloadFunction>(module_.Find(kUnload));
  if (load == nullptr || loadu == nullptr || request == nullptr || unload == nullptr) {
    error_ = "an export is missing";
  }
}

LoadedModule::~LoadedModule() { Close(); }

bool LoadedModule::IsOpen() const { return module_.IsOpen() && error_.empty(); }

int LoadedModule::Load(const std::string& directory) {
  return load(platform::NewHostBlock(directory), static_cast<long>(directory.size()));
}

int LoadedModule::LoadU(const std::string& directory) {
  return loadu(platform::NewHostBlock(directory), static_cast<long>(directory.size()));
}

int LoadedModule::Unload() { return unload(); }

Answer LoadedModule::Request(const std::string& bytes) {
  long length = static_cast<long>(bytes.size());
  return RawRequest(platform::NewHostBlock(bytes), &length);
}

Answer LoadedModule::RawRequest(void* block, long* length) {
  Answer answer;
  void* result = request(block, length);
  answer.isNull = result == nullptr;
  if (length != nullptr) answer.length = *length;
  if (result != nullptr && length != nullptr && *length >= 0) {
    const char* bytes = static_cast<const char*>(result);
    answer.bytes.assign(bytes, static_cast<std::size_t>(*length));
    answer.zeroTerminated = bytes[*length] == '\0';
  }
  platform::FreeHostBlock(result);
  return answer;
}

void LoadedModule::Close() {
  module_.Close();
  load = loadu = nullptr;
  request = nullptr;
  unload = nullptr;
}

}  // namespace test_support

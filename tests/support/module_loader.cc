#include "support/module_loader.h"

#include "platform/host_memory.h"
#include "platform/process.h"

#include <chrono>
#include <cstring>
#include <thread>

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
  return platform::ThreadCount();
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

// Opens the built plug-in module and calls its exports the way a SAORI host does.
//
// The module is opened as platform::LoadedModule opens one, the blocks are host
// memory (platform/host_memory.h). Every block handed to the
// module holds exactly the bytes given, with no terminator, so that a module that
// reads past them is caught by the sanitizers. Answer blocks are copied and freed
// as a host frees them.
//
// Owned by one test, used on its thread.
#ifndef TOVARO_TESTS_SUPPORT_MODULE_LOADER_H_
#define TOVARO_TESTS_SUPPORT_MODULE_LOADER_H_

#include <cstddef>
#include <cstdint>
#include <string>

#include "module/saori_exports.h"
#include "platform/loaded_module.h"

namespace test_support {

// What a call of `request` gave back.
struct Answer {
  bool isNull = true;         // the returned block was null
  long length = 0;            // *len after the call
  std::string bytes;          // the first `length` bytes of the block
  bool zeroTerminated = false;  // the block holds a zero byte after `length` bytes
};

// The threads of this process at the moment of the call; 0 when it can't be told.
std::size_t ThreadCount();

class LoadedModule {
 public:
  // Opens `file` (a path, or on Windows a file name found beside the program).
  explicit LoadedModule(const std::string& file);
  // Frees the module if it is still open, without calling unload first.
  ~LoadedModule();
  LoadedModule(const LoadedModule&) = delete;
  LoadedModule& operator=(const LoadedModule&) = delete;

  // True when the module was opened and all four exports were found.
  bool IsOpen() const;
  // Why it is not open.
  const std::string& error() const { return error_; }

  // load / loadu with a block holding exactly `directory`.
  int Load(const std::string& directory);
  int LoadU(const std::string& directory);
  int Unload();
  // request with a block holding exactly `bytes`; the answer block is freed.
  Answer Request(const std::string& bytes);
  // request with the block and length pointer given as they are; the answer
  // block, if any, is freed. Returns the same as Request.
  Answer RawRequest(void* block, long* length);

  // The exports themselves, for calls a host would not make.
  saori_exports::LoadFunction load = nullptr;
  saori_exports::LoadFunction loadu = nullptr;
  saori_exports::RequestFunction request = nullptr;
  saori_exports::UnloadFunction unload = nullptr;

  // Frees the module (FreeLibrary / dlclose) as a host does at the end.
  void Close();

 private:
  platform::LoadedModule module_;
  std::string error_;
};

}  // namespace test_support

#endif  // TOVARO_TESTS_SUPPORT_MODULE_LOADER_H_

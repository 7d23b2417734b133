#include "module/plugin_instance.h"

#include <climits>
#include <cstddef>
#include <cstring>
#include <utility>

#include "platform/host_memory.h"
#include "platform/loader.h"
#include "platform/module_entry.h"
#include "saori/request_pipeline.h"
#include "saori/text_conversion.h"
#include "speech/tovaro.h"

namespace module {
namespace {

speech::CTovaro* pluginInstance = nullptr;
platform::ModuleHandle moduleHandle = nullptr;

// The failure answer must be given even when there is no instance to ask for its
// protocol version (a request before load or after unload); this is the text the
// plug-in class gives.
constexpr char16_t kProtocolVersionWithoutInstance[] = u"SAORI/1.0";
constexpr char16_t kFailureStatus[] = u" 500 Internal Server Error\r\n\r\n";

// Frees a block the host handed over when the scope ends, unless already freed,
// so that every path releases it exactly once.
class HostBlock {
 public:
  explicit HostBlock(void* block) : block_(block) {}
  ~HostBlock() { Free(); }
  HostBlock(const HostBlock&) = delete;
  HostBlock& operator=(const HostBlock&) = delete;

  const char* bytes() const { return static_cast<const char*>(block_); }
  bool empty() const { return block_ == nullptr; }
  void Free() { platform::FreeHostBlock(std::exchange(block_, nullptr)); }

 private:
  void* block_;
};

// The protocol version, " 500 Internal Server Error" and an empty line, in the
// system's OEM code page. Exhausted memory throws.
saori::ByteString FailureAnswer() {
  saori::WideString text = pluginInstance != nullptr
                               ? pluginInstance->GetProtocolVersion()
                               : saori::WideString(kProtocolVersionWithoutInstance);
  text += kFailureStatus;
  return saori::WideToMultiByte(text.c_str(), platform::kCodePageOem);
}

// The answer to a request whose bytes are in `block` (null when there is none).
// Throws whatever the pipeline throws.
saori::ByteString Answer(HostBlock& block, long length) {
  if (pluginInstance == nullptr || length < 0 || (block.empty() && length != 0)) {
    block.Free();
    return FailureAnswer();
  }
  saori::ByteString requestBytes;
  if (length > 0) requestBytes.assign(block.bytes(), static_cast<std::size_t>(length));
  block.Free();
  return saori::ProcessRequest(*pluginInstance, requestBytes);
}

// A new host block holding `answer` and a zero byte, or null.
void* CopyToHostBlock(const saori::ByteString& answer) {
  void* result = platform::AllocateHostBlock(answer.size() + 1);
  if (result != nullptr) std::memcpy(result, answer.c_str(), answer.size() + 1);
  return result;
}

}  // namespace

speech::CTovaro* PluginInstance() { return pluginInstance; }

platform::ModuleHandle ModuleHandle() { return moduleHandle; }

int Load(void* block, long length, saori::CodePage codePage) {
  HostBlock hostBlock(block);
  if (pluginInstance != nullptr) Unload();

  try {
    // Value-initialised: every member starts zeroed before the constructors run.
    pluginInstance = new speech::CTovaro();
  } catch (...) {
    return 0;
  }

  if (!hostBlock.empty()) {
    try {
      saori::ByteString directory;
      if (length > 0) directory.assign(hostBlock.bytes(), static_cast<std::size_t>(length));
      hostBlock.Free();
      // Decoding stops at the first zero byte, so a terminator the host counted in
      // the length, and whatever follows it, is not part of the path.
      pluginInstance->modulePath = saori::MultiByteToWide(directory.c_str(), codePage);
      pluginInstance->moduleHandle = moduleHandle;
    } catch (...) {
      // OnLoad has not run, so there is nothing to stop: the instance just goes.
      delete std::exchange(pluginInstance, nullptr);
      return 0;
    }
  }

  try {
    return pluginInstance->OnLoad() ? 1 : 0;
  } catch (...) {
    // The instance stays registered, so that unload still runs its OnUnload.
    return 0;
  }
}

int Unload() {
  // While the system ends the process, every other thread has been ended wherever
  // it stood, perhaps holding the queue lock or the network library's own: nothing
  // is taken, waited for or stopped then, and the process's memory goes with it.
  if (platform::ProcessIsEnding()) return 1;
  if (pluginInstance == nullptr) return 1;
  int result = 0;
  try {
    result = pluginInstance->OnUnload() ? 1 : 0;
  } catch (...) {
    result = 0;
  }
  delete std::exchange(pluginInstance, nullptr);
  return result;
}

void* Request(void* block, long* length) {
  HostBlock hostBlock(block);
  if (length == nullptr) return nullptr;

  saori::ByteString answer;
  bool answered = false;
  try {
    answer = Answer(hostBlock, *length);
    answered = answer.size() <= static_cast<std::size_t>(LONG_MAX);
  } catch (...) {
  }
  if (!answered) {
    try {
      answer = FailureAnswer();
    } catch (...) {
      *length = 0;
      return nullptr;
    }
  }

  void* result = CopyToHostBlock(answer);
  // A host copies *length bytes from what it gets back, so a missing block must
  // not come with a length.
  *length = result != nullptr ? static_cast<long>(answer.size()) : 0;
  return result;
}

}  // namespace module

namespace platform {

void OnModuleAttach(ModuleHandle handle) { module::moduleHandle = handle; }

void OnModuleDetach() { module::Unload(); }

}  // namespace platform

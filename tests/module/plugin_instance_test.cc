// The instance and the block hand-off in-process, with the host memory hooked and the
// C++ allocator replaced so that allocations can be made to fail on demand.
#include "module/plugin_instance.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <set>
#include <string>
#include <utility>

#include "platform/host_memory.h"
#include "platform/module_entry.h"
#include "speech/tovaro.h"

namespace test_support {
namespace {

// Host blocks: every one handed out is tracked, so a test can tell that each block
// was freed exactly once.
struct HostBlocks {
  std::mutex mutex;
  std::set<void*> live;
  int strayFrees = 0;
  bool failNext = false;
};
HostBlocks& Blocks() {
  static HostBlocks* blocks = new HostBlocks;
  return *blocks;
}

// Allocations through operator new on the arming thread fail at the
// `failAfter`-th one (counted from 0), and when `failPersists` at every one after
// it too; -1 means never. Other threads (the speech worker) are not affected.
thread_local long failAfter = -1;
thread_local bool failPersists = false;
thread_local bool failureHit = false;

void* Allocate(std::size_t size) {
  if (failAfter == 0) {
    failureHit = true;
    if (!failPersists) failAfter = -1;
    return nullptr;
  }
  if (failAfter > 0) --failAfter;
  return std::malloc(size == 0 ? 1 : size);
}

void* HostBlockWith(const std::string& bytes) {
  return platform::NewHostBlock(bytes);
}

}  // namespace
}  // namespace test_support

void* operator new(std::size_t size) {
  void* p = test_support::Allocate(size);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}
void* operator new[](std::size_t size) { return ::operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return test_support::Allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return test_support::Allocate(size);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace test_support {
namespace {

// The host-memory hooks: every block is tracked (see HostBlocks).
void* TrackedAllocate(std::size_t size) {
  HostBlocks& blocks = Blocks();
  std::lock_guard<std::mutex> lock(blocks.mutex);
  if (blocks.failNext) {
    blocks.failNext = false;
    return nullptr;
  }
  void* block = std::malloc(size);
  if (block == nullptr) return nullptr;
  // The bookkeeping is the test's own; keep it out of the failure count.
  const long saved = std::exchange(failAfter, -1);
  blocks.live.insert(block);
  failAfter = saved;
  return block;
}

void TrackedFree(void* block) {
  HostBlocks& blocks = Blocks();
  std::lock_guard<std::mutex> lock(blocks.mutex);
  if (blocks.live.erase(block) == 0) {
    ++blocks.strayFrees;
    return;
  }
  std::free(block);
}

const platform::HostMemoryHooks kTrackedBlocks = {&TrackedAllocate, &TrackedFree};

}  // namespace
}  // namespace test_support

namespace test_support {
namespace {

const std::string kFailureAnswer = "SAORI/1.0 500 Internal Server Error\r\n\r\n";
const std::string kVersionRequest =
    "GET Version SAORI/1.0\r\nCharset: Shift_JIS\r\n\r\n";
const std::string kVersionAnswer =
    "SAORI/1.0 200 OK\r\nCharset: Shift_JIS\r\nResult: \r\n\r\n";

struct Reply {
  bool isNull;
  long length;
  std::string bytes;
};

// Arms the allocation failure at `step` for the scope.
class FailingAllocations {
 public:
  FailingAllocations(long step, bool persistent) {
    failureHit = false;
    failPersists = persistent;
    failAfter = step;
  }
  ~FailingAllocations() { failAfter = -1; }
  FailingAllocations(const FailingAllocations&) = delete;
  FailingAllocations& operator=(const FailingAllocations&) = delete;
};

// A request as the host makes it, with allocations failing from `failStep` on
// while the module runs; the answer block is checked and freed.
Reply Ask(const std::string& bytes, long failStep = -1, bool persistent = false) {
  long length = static_cast<long>(bytes.size());
  void* block = HostBlockWith(bytes);
  void* answer;
  {
    FailingAllocations failing(failStep, persistent);
    answer = module::Request(block, &length);
  }
  Reply reply{answer == nullptr, length, std::string()};
  if (answer != nullptr) {
    const char* text = static_cast<const char*>(answer);
    reply.bytes.assign(text, static_cast<std::size_t>(length));
    EXPECT_EQ(text[length], '\0');
    platform::FreeHostBlock(answer);
  }
  return reply;
}

class PluginInstanceTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::SetHostMemoryHooks(&kTrackedBlocks); }
  void TearDown() override {
    failAfter = -1;
    module::Unload();
    HostBlocks& blocks = Blocks();
    std::lock_guard<std::mutex> lock(blocks.mutex);
    EXPECT_TRUE(blocks.live.empty()) << blocks.live.size() << " host blocks not freed";
    EXPECT_EQ(blocks.strayFrees, 0);
    blocks.failNext = false;
    platform::SetHostMemoryHooks(nullptr);
  }
};

TEST_F(PluginInstanceTest, DirectoryIsStoredAsDecoded) {
  int attached = 0;
  platform::OnModuleAttach(&attached);
  const std::string withTerminator("C:/ghost/\0garbage", 17);
  struct Case {
    const char* name;
    bool nullBlock;
    std::string bytes;
    long length;
    std::uint32_t codePage;
    std::u16string path;
    bool handleCopied;
  };
  const Case cases[] = {
      {"no terminator", false, "C:/ghost/", 9, 1, u"C:/ghost/", true},
      {"terminator counted", false, withTerminator, 17, 1, u"C:/ghost/", true},
      {"fewer bytes than the block", false, "C:/ghost/", 3, 1, u"C:/", true},
      {"utf-8", false, "/home/\xE3\x82\xB4\xE3\x83\xBC/", 13, 65001, u"/home/\u30B4\u30FC/",
       true},
      {"length 0", false, "C:/ghost/", 0, 1, u"", true},
      {"negative length", false, "C:/ghost/", -1, 65001, u"", true},
      {"null block", true, "", 0, 1, u"", false},
      {"null block with a length", true, "", 7, 65001, u"", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    void* block = c.nullBlock ? nullptr : HostBlockWith(c.bytes);
    EXPECT_EQ(module::Load(block, c.length, c.codePage), 1);
    ASSERT_NE(module::PluginInstance(), nullptr);
    EXPECT_EQ(module::PluginInstance()->modulePath, c.path);
    EXPECT_EQ(module::PluginInstance()->moduleHandle,
              c.handleCopied ? static_cast<void*>(&attached) : nullptr);
    EXPECT_EQ(module::PluginInstance()->QueueMax(), 255);
  }
  platform::OnModuleAttach(nullptr);
}

TEST_F(PluginInstanceTest, DetachUnloadsLiveInstance) {
  ASSERT_EQ(module::Load(nullptr, 0, 1), 1);
  platform::OnModuleDetach();
  EXPECT_EQ(module::PluginInstance(), nullptr);
  platform::OnModuleDetach();  // nothing left to do
  EXPECT_EQ(Ask(kVersionRequest).bytes, kFailureAnswer);
}

TEST_F(PluginInstanceTest, MissingAnswerBlockComesWithLengthZero) {
  ASSERT_EQ(module::Load(nullptr, 0, 1), 1);
  void* block = HostBlockWith(kVersionRequest);
  {
    std::lock_guard<std::mutex> lock(Blocks().mutex);
    Blocks().failNext = true;
  }
  long length = static_cast<long>(kVersionRequest.size());
  EXPECT_EQ(module::Request(block, &length), nullptr);
  EXPECT_EQ(length, 0);
  EXPECT_EQ(Ask(kVersionRequest).bytes, kVersionAnswer);  // still usable
}

// Memory runs out at each allocation in turn, once or for good: every request is
// answered with its real answer, the failure answer, or no block and length 0, and
// the module keeps answering afterwards. The requests take the paths that allocate
// most: a queue command, an entry handed to the running worker in a two-step
// charset, and a notification in a stateful one.
TEST_F(PluginInstanceTest, RequestSurvivesExhaustedMemoryAtEveryStep) {
  ASSERT_EQ(module::Load(nullptr, 0, 1), 1);
  struct Case {
    const char* name;
    std::string request;
    // Only the status line is compared: the queue length depends on the worker.
    bool statusOnly;
  };
  const Case cases[] = {
      {"set_queue_max",
       "EXECUTE SAORI/1.0\r\nCharset: UTF-8\r\nArgument0: SetQueueMax\r\n"
       "Argument1: 65535\r\n\r\n",
       false},
      // To a port nobody listens on (the discard port), in Shift_JIS; the maximum set
      // above keeps the queue from filling while the worker turns entries away.
      {"add_queue",
       "EXECUTE SAORI/1.0\r\nCharset: Shift_JIS\r\nArgument0: AddQueue\r\n"
       "Argument1: \x82\xB1\x82\xF1\r\nArgument2: 127.0.0.1\r\nArgument3: 9\r\n\r\n",
       true},
      {"notify",
       "NOTIFY SAORI/1.0\r\nCharset: ISO-2022-JP\r\nArgument0: ClearQueue\r\n"
       "Argument1: \x1B$B$3\x1B(B\r\nID: OnTest\r\n\r\n",
       false},
  };
  for (const Case& c : cases) {
    const std::string full = Ask(c.request).bytes;
    ASSERT_EQ(full.substr(0, 12), "SAORI/1.0 20") << c.name;
    const std::string fullStatus = full.substr(0, full.find("\r\n"));
    for (bool persistent : {false, true}) {
      bool sawFailureAnswer = false;
      bool sawNull = false;
      for (long step = 0;; ++step) {
        SCOPED_TRACE(std::string(c.name) + " " + std::to_string(step) +
                     (persistent ? " and on" : " only"));
        Reply reply = Ask(c.request, step, persistent);
        bool hit = failureHit;
        if (reply.isNull) {
          EXPECT_EQ(reply.length, 0);
          sawNull = true;
        } else if (reply.bytes == kFailureAnswer) {
          EXPECT_EQ(reply.length, 39);
          sawFailureAnswer = true;
        } else if (c.statusOnly) {
          EXPECT_EQ(reply.bytes.substr(0, reply.bytes.find("\r\n")), fullStatus);
        } else {
          EXPECT_EQ(reply.bytes, full);
        }
        EXPECT_EQ(Ask(kVersionRequest).bytes, kVersionAnswer);
        if (!hit) {
          RecordProperty(std::string(c.name) + (persistent ? "_steps_lasting" : "_steps"),
                         static_cast<int>(step));
          break;
        }
        ASSERT_LT(step, 10000);
      }
      // A single failure leaves room for the failure answer; lasting exhaustion
      // does not.
      EXPECT_EQ(sawFailureAnswer, !persistent);
      EXPECT_EQ(sawNull, persistent);
    }
  }
}

// Memory runs out at each allocation of load in turn: load reports 0 or 1 and
// leaves either no instance or one that unloads normally.
TEST_F(PluginInstanceTest, LoadSurvivesExhaustedMemoryAtEveryStep) {
  const std::string directory = "C:/a rather long ghost directory name/";
  // load takes the directory in the ANSI code page, loadu in UTF-8.
  for (saori::CodePage codePage : {platform::kCodePageOem, platform::kCodePageUtf8}) {
    for (bool persistent : {false, true}) {
      for (long step = 0;; ++step) {
        SCOPED_TRACE(std::to_string(codePage) + " " + std::to_string(step) +
                     (persistent ? " and on" : " only"));
        void* block = HostBlockWith(directory);
        int result;
        bool hit;
        {
          FailingAllocations failing(step, persistent);
          result = module::Load(block, static_cast<long>(directory.size()), codePage);
          hit = failureHit;
        }
        EXPECT_TRUE(result == 0 || result == 1) << result;
        if (result == 1) {
          ASSERT_NE(module::PluginInstance(), nullptr);
          EXPECT_EQ(module::PluginInstance()->modulePath,
                    u"C:/a rather long ghost directory name/");
        }
        module::Unload();
        EXPECT_EQ(module::PluginInstance(), nullptr);
        if (!hit) {
          RecordProperty((codePage == platform::kCodePageUtf8 ? "loadu" : "load") +
                             std::string(persistent ? "_steps_lasting" : "_steps"),
                         static_cast<int>(step));
          break;
        }
        ASSERT_LT(step, 10000);
      }
    }
  }
}

}  // namespace
}  // namespace test_support

#include "platform/thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/event.h"
#include "platform/loader.h"

namespace platform {
namespace {

constexpr unsigned kEndLimitMs = 5000;
constexpr unsigned kShortMs = 50;

struct Work {
  AutoResetEvent started;
  AutoResetEvent proceed;
  std::atomic<bool> finished{false};
  std::atomic<bool> unwound{false};
  std::atomic<void*> seenArgument{nullptr};
};

// Marks `unwound` when the routine's stack is unwound, by return or otherwise.
struct UnwindMark {
  std::atomic<bool>& flag;
  ~UnwindMark() { flag = true; }
};

unsigned BlockUntilProceed(void* argument) {
  Work& work = *static_cast<Work*>(argument);
  UnwindMark mark{work.unwound};
  work.seenArgument = argument;
  work.started.Signal();
  work.proceed.Wait();
  work.finished = true;
  return 0;
}

class WorkerThreadTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(work_.started.Create());
    ASSERT_TRUE(work_.proceed.Create());
  }
  Work work_;
};

TEST_F(WorkerThreadTest, WaitForEndTellsWhetherTheThreadEnded) {
  Thread thread;
  EXPECT_FALSE(thread.IsStarted());
  ASSERT_TRUE(thread.Start(&BlockUntilProceed, &work_));
  EXPECT_TRUE(thread.IsStarted());
  work_.started.Wait();
  EXPECT_EQ(work_.seenArgument.load(), &work_);
  // No test runs inside the loader lock, nor while the process ends.
  EXPECT_FALSE(HoldsLoaderLock());
  EXPECT_FALSE(ProcessIsEnding());

  EXPECT_FALSE(thread.WaitForEnd(kShortMs));  // blocked on `proceed`

  work_.proceed.Signal();
  EXPECT_TRUE(thread.WaitForEnd(kEndLimitMs));
  EXPECT_TRUE(work_.finished);
  thread.Close();
  EXPECT_FALSE(thread.IsStarted());
}

// A thread that outlives the owner's wait is let go, not killed: Close returns at
// once and the thread still runs to its end.
TEST_F(WorkerThreadTest, CloseLetsGoOfAThreadStillRunning) {
  Thread thread;
  ASSERT_TRUE(thread.Start(&BlockUntilProceed, &work_));
  work_.started.Wait();
  ASSERT_FALSE(thread.WaitForEnd(kShortMs));

  auto before = std::chrono::steady_clock::now();
  thread.Close();
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(3));
  EXPECT_FALSE(thread.IsStarted());
  EXPECT_FALSE(work_.finished);

  work_.proceed.Signal();
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kEndLimitMs);
  while (!work_.unwound && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::yield();
  }
  EXPECT_TRUE(work_.finished);
}

TEST_F(WorkerThreadTest, ThreadCanBeStartedAgainAfterClose) {
  Thread thread;
  for (int round = 0; round < 2; ++round) {
    work_.finished = false;
    ASSERT_TRUE(thread.Start(&BlockUntilProceed, &work_));
    work_.started.Wait();
    work_.proceed.Signal();
    ASSERT_TRUE(thread.WaitForEnd(kEndLimitMs));
    thread.Close();
    EXPECT_TRUE(work_.finished);
  }
}

}  // namespace
}  // namespace platform

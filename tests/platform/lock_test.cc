#include "platform/lock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace platform {
namespace {

TEST(QueueLockTest, InitialisesAndExcludesOtherThreads) {
  Lock lock;
  ASSERT_TRUE(lock.initialised());

  constexpr int kThreads = 4;
  constexpr int kRounds = 20000;
  long counter = 0;                // plain on purpose: only the lock protects it
  std::atomic<int> inside{0};      // threads inside the lock at once
  std::atomic<bool> overlapped{false};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < kRounds; ++i) {
        LockGuard guard(lock);
        if (inside.fetch_add(1) != 0) overlapped = true;
        ++counter;
        inside.fetch_sub(1);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();

  EXPECT_FALSE(overlapped);
  EXPECT_EQ(counter, static_cast<long>(kThreads) * kRounds);
}

}  // namespace
}  // namespace platform

#include "platform/event.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace platform {
namespace {

using std::chrono::milliseconds;

// Time for a released waiter to be seen; generous, since only failures wait it out.
constexpr milliseconds kReleaseLimit{5000};
// How long a waiter that must stay blocked is watched.
constexpr milliseconds kStaysBlocked{150};

// Threads that each Wait once on an event and count how many have returned.
class Waiters {
 public:
  Waiters(AutoResetEvent& event, int count) {
    for (int i = 0; i < count; ++i) {
      threads_.emplace_back([this, &event] {
        event.Wait();
        std::lock_guard<std::mutex> lock(mutex_);
        ++released_;
        changed_.notify_all();
      });
    }
  }
  ~Waiters() {
    for (std::thread& t : threads_) t.join();
  }

  // Waits until at least `count` have returned, or `limit` passed; returns how many.
  int ReleasedWithin(int count, milliseconds limit) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait_for(lock, limit, [&] { return released_ >= count; });
    return released_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  int released_ = 0;
  std::vector<std::thread> threads_;
};

TEST(WakeEventTest, SignalGivenBeforeWaitIsKept) {
  AutoResetEvent event;
  ASSERT_TRUE(event.Create());
  event.Signal();
  Waiters waiter(event, 1);
  EXPECT_EQ(waiter.ReleasedWithin(1, kReleaseLimit), 1);
}

TEST(WakeEventTest, OneSignalReleasesOneWait) {
  AutoResetEvent event;
  ASSERT_TRUE(event.Create());
  // Signals given while nobody waits don't add up: the second is lost.
  event.Signal();
  event.Signal();
  {
    Waiters waiters(event, 2);
    EXPECT_EQ(waiters.ReleasedWithin(1, kReleaseLimit), 1);
    EXPECT_EQ(waiters.ReleasedWithin(2, kStaysBlocked), 1);
    event.Signal();
    EXPECT_EQ(waiters.ReleasedWithin(2, kReleaseLimit), 2);
  }
  // Both signals are used up: a new waiter blocks until the next one.
  Waiters late(event, 1);
  EXPECT_EQ(late.ReleasedWithin(1, kStaysBlocked), 0);
  event.Signal();
  EXPECT_EQ(late.ReleasedWithin(1, kReleaseLimit), 1);
}

TEST(WakeEventTest, ClosedEventNeitherBlocksNorFails) {
  AutoResetEvent event;
  EXPECT_FALSE(event.IsOpen());
  event.Signal();
  event.Wait();  // returns at once

  ASSERT_TRUE(event.Create());
  EXPECT_TRUE(event.IsOpen());
  event.Close();
  EXPECT_FALSE(event.IsOpen());
  event.Wait();
  event.Close();
}

}  // namespace
}  // namespace platform

#include "platform/network.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <future>
#include <string>
#include <thread>

#if !defined(_WIN32)
#include <csignal>
#endif

#include "platform/process.h"
#include "support/talk_listener.h"

namespace platform {
namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;
using test_support::TalkListener;

constexpr unsigned kPacketLimitMs = 5000;
constexpr auto kFast = std::chrono::seconds(3);
// How long a call that must stay blocked is watched before it is interrupted.
constexpr milliseconds kStaysBlocked{200};

Ipv4Address Loopback() { return ParseIpv4Address("127.0.0.1"); }

class NetworkTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(StartNetwork()); }
  void TearDown() override { StopNetwork(); }

  Interrupt interrupt_;
};

TEST_F(NetworkTest, PacketsReachTheListenerWhole) {
  TalkListener listener;
  // A large one needs many partial sends on a non-blocking socket.
  const std::string packets[] = {"hello", std::string(1 << 20, 'x')};
  for (const std::string& packet : packets) {
    TcpClient socket;
    ASSERT_TRUE(socket.Open(interrupt_));
    ASSERT_EQ(socket.Connect(Loopback(), listener.port(), interrupt_), NetStatus::kOk);
    socket.Send(packet.data(), packet.size(), interrupt_);
    socket.Close();
  }
  auto received = listener.WaitForPackets(2, kPacketLimitMs);
  ASSERT_EQ(received.size(), 2u);
  EXPECT_EQ(received[0], packets[0]);
  EXPECT_EQ(received[1].size(), packets[1].size());
  EXPECT_TRUE(received[1] == packets[1]);
}

// A program the host starts while a delivery is under way must not get the
// connection, or the server would see it stay open until that program ends; nor
// the interrupt that the delivery waits on.
TEST_F(NetworkTest, DeliveryHandlesAreNotHandedToChildPrograms) {
  TalkListener listener;
  TcpClient socket;
  ASSERT_TRUE(socket.Open(interrupt_));
  ASSERT_EQ(socket.Connect(Loopback(), listener.port(), interrupt_), NetStatus::kOk);
  EXPECT_FALSE(ChildrenWouldInherit(socket.SystemHandle()));
  ASSERT_NE(interrupt_.SystemHandle(), -1);
  EXPECT_FALSE(ChildrenWouldInherit(interrupt_.SystemHandle()));
}

TEST_F(NetworkTest, ConnectWhereNothingListensFailsFast) {
  TcpClient socket;
  ASSERT_TRUE(socket.Open(interrupt_));
  auto before = steady_clock::now();
  EXPECT_EQ(socket.Connect(Loopback(), test_support::UnusedPort(), interrupt_),
            NetStatus::kRefused);
  EXPECT_LT(steady_clock::now() - before, kFast);
}

TEST_F(NetworkTest, ParsesDottedIpv4TextOnly) {
  EXPECT_EQ(ParseIpv4Address("127.0.0.1"), Loopback());
  const unsigned char bytes[4] = {192, 168, 10, 200};  // network byte order
  Ipv4Address expected;
  std::memcpy(&expected, bytes, sizeof expected);
  EXPECT_EQ(ParseIpv4Address("192.168.10.200"), expected);
  // Names are not resolved here.
  EXPECT_EQ(ParseIpv4Address("localhost"), kNoAddress);
  EXPECT_EQ(ParseIpv4Address("bad..name"), kNoAddress);
  EXPECT_EQ(ParseIpv4Address("1.2.3.4.5"), kNoAddress);
  EXPECT_EQ(ParseIpv4Address(nullptr), kNoAddress);
}

TEST_F(NetworkTest, ResolvesLocalhostAndRejectsMalformedNamesFast) {
  Ipv4Address address = 0;
  ASSERT_EQ(ResolveIpv4Address("localhost", interrupt_, &address), NetStatus::kOk);
  EXPECT_EQ(address, Loopback());

  auto before = steady_clock::now();
  EXPECT_EQ(ResolveIpv4Address("bad..name", interrupt_, &address),
            NetStatus::kNameNotFound);
  EXPECT_LT(steady_clock::now() - before, kFast);
}

#if !defined(_WIN32)

volatile std::sig_atomic_t brokenPipes = 0;
extern "C" void CountBrokenPipe(int) { brokenPipes = brokenPipes + 1; }

TEST_F(NetworkTest, SendToAPeerThatClosedRaisesNoSignal) {
  TalkListener listener(TalkListener::Mode::kCloseAtOnce);
  TcpClient socket;
  ASSERT_TRUE(socket.Open(interrupt_));
  ASSERT_EQ(socket.Connect(Loopback(), listener.port(), interrupt_), NetStatus::kOk);
  ASSERT_EQ(listener.WaitForAccepted(1, kPacketLimitMs), 1u);

  struct sigaction counting {};
  counting.sa_handler = &CountBrokenPipe;
  struct sigaction previous {};
  ASSERT_EQ(sigaction(SIGPIPE, &counting, &previous), 0);
  brokenPipes = 0;
  // The first send draws a reset from the closed peer; later ones find the pipe
  // broken, which would raise the signal.
  const std::string data(64 * 1024, 'y');
  for (int i = 0; i < 3; ++i) socket.Send(data.data(), data.size(), interrupt_);
  sigaction(SIGPIPE, &previous, nullptr);
  EXPECT_EQ(brokenPipes, 0);
}

#endif

TEST_F(NetworkTest, InterruptIsLevelTriggeredUntilReset) {
  EXPECT_FALSE(interrupt_.IsTriggered());
  TalkListener listener;
  TcpClient socket;
  ASSERT_TRUE(socket.Open(interrupt_));
  interrupt_.Trigger();
  interrupt_.Trigger();
  EXPECT_TRUE(interrupt_.IsTriggered());
  EXPECT_TRUE(interrupt_.IsTriggered());

  // While triggered, nothing new starts.
  EXPECT_EQ(socket.Connect(Loopback(), listener.port(), interrupt_),
            NetStatus::kInterrupted);
  EXPECT_FALSE(TcpClient().Open(interrupt_));
  Ipv4Address address = 0;
  EXPECT_EQ(ResolveIpv4Address("localhost", interrupt_, &address),
            NetStatus::kInterrupted);

  interrupt_.Reset();
  EXPECT_FALSE(interrupt_.IsTriggered());
  ASSERT_TRUE(socket.Open(interrupt_));
  EXPECT_EQ(socket.Connect(Loopback(), listener.port(), interrupt_), NetStatus::kOk);
  EXPECT_EQ(ResolveIpv4Address("localhost", interrupt_, &address), NetStatus::kOk);

  // But a connection that is made carries what the system takes at once, so the
  // server never sees an empty one for a delivery cut short.
  interrupt_.Trigger();
  EXPECT_EQ(socket.Send("hello", 5, interrupt_), NetStatus::kOk);
  socket.Close();
  EXPECT_EQ(listener.WaitForPackets(1, kPacketLimitMs), std::vector<std::string>{"hello"});
}

// Runs `call` on another thread, checks that it stays blocked, triggers the
// interrupt and checks that it returns promptly.
template <typename Call>
void ExpectBlockedUntilInterrupted(Interrupt& interrupt, Call call) {
  std::packaged_task<void()> task(call);
  std::future<void> done = task.get_future();
  std::thread thread(std::move(task));
  EXPECT_EQ(done.wait_for(kStaysBlocked), std::future_status::timeout);
  auto before = steady_clock::now();
  interrupt.Trigger();
  EXPECT_EQ(done.wait_for(kFast), std::future_status::ready);
  EXPECT_LT(steady_clock::now() - before, kFast);
  thread.join();
}

// A server that never accepts holds connect up; one that accepts and never reads
// holds a send far larger than the socket buffers of both ends.
TEST_F(NetworkTest, InterruptStopsADeliveryThatBlocks) {
  const std::string data(64 << 20, 'z');
  struct Case {
    const char* name;
    TalkListener::Mode mode;
  };
  const Case cases[] = {{"connect", TalkListener::Mode::kNeverAccept},
                        {"send", TalkListener::Mode::kAcceptNeverRead}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    interrupt_.Reset();
    TalkListener listener(c.mode);
    TcpClient socket;
    ASSERT_TRUE(socket.Open(interrupt_));
    if (c.mode == TalkListener::Mode::kNeverAccept) {
      NetStatus connected = NetStatus::kOk;
      ExpectBlockedUntilInterrupted(interrupt_, [&] {
        connected = socket.Connect(Loopback(), listener.port(), interrupt_);
      });
      EXPECT_EQ(connected, NetStatus::kInterrupted);
    } else {
      ASSERT_EQ(socket.Connect(Loopback(), listener.port(), interrupt_), NetStatus::kOk);
      ExpectBlockedUntilInterrupted(
          interrupt_, [&] { socket.Send(data.data(), data.size(), interrupt_); });
      EXPECT_EQ(listener.AcceptedCount(), 1u);
    }
  }
}

}  // namespace
}  // namespace platform

// The real delivery, entry by entry, to a stand-in speech server on 127.0.0.1.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/network.h"
#include "speech/talk_delivery.h"
#include "speech/talk_packet.h"
#include "support/talk_listener.h"

namespace speech {
namespace {

using test_support::TalkListener;

constexpr unsigned kArrivalTimeoutMs = 5000;

class TalkDeliveryTest : public testing::Test {
 protected:
  TalkDeliveryTest() { networkStarted = platform::StartNetwork(); }
  ~TalkDeliveryTest() override { platform::StopNetwork(); }

  TalkEntry EntryFor(const std::string& text, const std::string& host,
                     std::uint16_t port) {
    TalkEntry entry;
    entry.text = text;
    entry.host = host;
    entry.port = port;
    return entry;
  }

  std::string PacketOf(const TalkEntry& entry) {
    std::vector<char> scratch;
    return std::string(scratch.data(), BuildTalkPacket(entry, scratch));
  }

  bool networkStarted = false;
  SocketTalkDelivery delivery;
  platform::Interrupt interrupt;
  std::vector<char> buffer;
};

// Each failure drops only its own entry: the same buffer and the next entry still
// work, each on a connection of its own.
TEST_F(TalkDeliveryTest, FailedDeliveriesDropOnlyTheirEntry) {
  ASSERT_TRUE(networkStarted);
  TalkListener listener;
  const std::uint16_t nobody = test_support::UnusedPort();
  const std::vector<TalkEntry> entries = {
      EntryFor("refused", "127.0.0.1", nobody),
      EntryFor("first", "127.0.0.1", listener.port()),
      EntryFor("unresolvable", "bad..name", listener.port()),
      EntryFor("empty host", "", listener.port()),
      EntryFor("port zero", "127.0.0.1", 0),
      EntryFor("second, by name", "localhost", listener.port()),
  };
  for (const TalkEntry& entry : entries) delivery.Deliver(entry, buffer, interrupt);

  std::vector<std::string> packets = listener.WaitForPackets(2, kArrivalTimeoutMs);
  ASSERT_EQ(packets.size(), 2u);
  EXPECT_EQ(packets[0], PacketOf(entries[1]));
  EXPECT_EQ(packets[1], PacketOf(entries[5]));
  EXPECT_EQ(listener.AcceptedCount(), 2u);
}

// A server that hangs up before reading must not take the process down nor hold
// the worker: on POSIX a write to a reset connection raises SIGPIPE unless that is
// suppressed, and a text far larger than the socket buffers makes sure writes
// follow the reset.
constexpr std::size_t kHangUpTextBytes = 4 << 20;

TEST_F(TalkDeliveryTest, ServerThatHangsUpDoesNotHurt) {
  ASSERT_TRUE(networkStarted);
  TalkListener rude(TalkListener::Mode::kCloseAtOnce);
  TalkListener polite;
  const std::string longText(kHangUpTextBytes, 'a');
  for (int i = 0; i < 3; ++i) {
    delivery.Deliver(EntryFor(longText, "127.0.0.1", rude.port()), buffer, interrupt);
  }
  TalkEntry after = EntryFor("after", "127.0.0.1", polite.port());
  delivery.Deliver(after, buffer, interrupt);

  std::vector<std::string> packets = polite.WaitForPackets(1, kArrivalTimeoutMs);
  ASSERT_EQ(packets.size(), 1u);
  EXPECT_EQ(packets[0], PacketOf(after));
}

}  // namespace
}  // namespace speech

// The worker and its lifecycle, through the commands a script sends and a stand-in
// speech server on 127.0.0.1.
//
// To hold the worker inside a delivery, an entry is sent to a listener that never
// accepts, and the test waits until the worker has taken it off the queue; the
// listener going away releases it.
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/code_page.h"
#include "saori/saori_request.h"
#include "saori/saori_response.h"
#include "speech/talk_packet.h"
#include "speech/tovaro.h"
#include "support/talk_listener.h"

namespace speech {
namespace {

using saori::WideString;
using test_support::TalkListener;

constexpr unsigned kArrivalTimeoutMs = 5000;
constexpr auto kQuickUnload = std::chrono::seconds(5);

struct Answer {
  std::int32_t status;
  WideString result;
  std::vector<WideString> values;
};

Answer Dispatch(CTovaro& tovaro, std::vector<WideString> arguments) {
  saori::CSAORIRequest request(&tovaro, platform::kCodePageUtf8);
  request.command = u"EXECUTE";
  request.arguments = std::move(arguments);
  saori::CSAORIResponse response(&tovaro, platform::kCodePageUtf8);
  tovaro.Execute(request, response);
  return Answer{response.status, response.result, response.values};
}

WideString Decimal(unsigned number) {
  const std::string digits = std::to_string(number);
  return WideString(digits.begin(), digits.end());
}

WideString Wide(const std::string& ascii) { return WideString(ascii.begin(), ascii.end()); }

std::int32_t Say(CTovaro& tovaro, const std::string& text, std::uint16_t port) {
  return Dispatch(tovaro, {u"AddQueue", Wide(text), u"127.0.0.1", Decimal(port)}).status;
}

// The packet the server should see for `text` with the default voice settings.
std::string PacketFor(const std::string& text) {
  TalkEntry entry;
  entry.text = text;
  std::vector<char> buffer;
  return std::string(buffer.data(), BuildTalkPacket(entry, buffer));
}

// Bounded wait until the worker has taken everything off the queue.
bool WaitForEmptyQueue(CTovaro& tovaro) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (tovaro.QueueLength() != 0) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

// An instance between OnLoad and OnUnload.
class SpeechWorkerTest : public testing::Test {
 protected:
  SpeechWorkerTest() { tovaro.OnLoad(); }
  ~SpeechWorkerTest() override { Unload(); }

  // Unloads once; true when OnUnload said so.
  bool Unload() {
    if (unloaded) return true;
    unloaded = true;
    return tovaro.OnUnload();
  }

  // Leaves the worker stuck in a delivery to `blocker`.
  void HoldWorker(TalkListener& blocker) {
    ASSERT_EQ(Say(tovaro, "held", blocker.port()), 200);
    ASSERT_TRUE(WaitForEmptyQueue(tovaro));
  }

  CTovaro tovaro;
  bool unloaded = false;
};

TEST_F(SpeechWorkerTest, LoadingSetsTheDefaultMaximum) {
  Answer answer = Dispatch(tovaro, {});
  EXPECT_EQ(answer.status, 200);
  EXPECT_EQ(answer.result, u"0");
  EXPECT_EQ(answer.values, std::vector<WideString>{u"255"});
}

TEST_F(SpeechWorkerTest, RapidEntriesArriveInOrderEachOnItsOwnConnection) {
  TalkListener listener;
  const std::vector<std::string> texts = {"one", "two", "three", "four", "five"};
  for (const std::string& text : texts) {
    ASSERT_EQ(Say(tovaro, text, listener.port()), 200);
  }
  std::vector<std::string> packets = listener.WaitForPackets(5, kArrivalTimeoutMs);
  ASSERT_EQ(packets.size(), 5u);
  for (std::size_t i = 0; i < texts.size(); ++i) {
    EXPECT_EQ(packets[i], PacketFor(texts[i])) << i;
  }
  EXPECT_TRUE(WaitForEmptyQueue(tovaro));
  EXPECT_EQ(listener.AcceptedCount(), 5u);
}

TEST_F(SpeechWorkerTest, EveryArgumentTravelsIntoThePacket) {
  TalkListener listener;
  // The port only counts modulo 65536, so this still reaches the listener.
  const WideString port = Decimal(listener.port() + 65536u);
  Answer answer = Dispatch(tovaro, {u"AddQueue", u"\u3042", u"127.0.0.1", port, u"300",
                                    u"65535", u"-2", u"70000"});
  ASSERT_EQ(answer.status, 200);

  std::vector<std::string> packets = listener.WaitForPackets(1, kArrivalTimeoutMs);
  ASSERT_EQ(packets.size(), 1u);
  EXPECT_EQ(packets[0], std::string("\x01\x00\x2C\x01\xFF\xFF\xFE\xFF\x70\x11\x00"
                                    "\x03\x00\x00\x00\xE3\x81\x82",
                                    18));
}

TEST_F(SpeechWorkerTest, FullQueueIsRefusedAndLowerMaximumKeepsEntries) {
  TalkListener waiting;
  {
    TalkListener blocker(TalkListener::Mode::kNeverAccept);
    ASSERT_NO_FATAL_FAILURE(HoldWorker(blocker));
    ASSERT_EQ(Dispatch(tovaro, {u"SetQueueMax", u"3"}).status, 200);
    for (const char* text : {"a", "b", "c"}) {
      ASSERT_EQ(Say(tovaro, text, waiting.port()), 200);
    }

    Answer full = Dispatch(tovaro, {u"AddQueue", u"d", u"127.0.0.1", Decimal(waiting.port())});
    EXPECT_EQ(full.status, 500);
    EXPECT_EQ(full.result, u"3");
    EXPECT_EQ(full.values, std::vector<WideString>{u"3"});

    Answer lowered = Dispatch(tovaro, {u"SetQueueMax", u"1"});
    EXPECT_EQ(lowered.status, 200);
    EXPECT_EQ(lowered.result, u"3");
    EXPECT_EQ(lowered.values, std::vector<WideString>{u"1"});
    EXPECT_EQ(Say(tovaro, "e", waiting.port()), 500);
  }
  // Released, the worker sends what waited, in order, and nothing that was refused.
  std::vector<std::string> packets = waiting.WaitForPackets(3, kArrivalTimeoutMs);
  ASSERT_EQ(packets.size(), 3u);
  EXPECT_EQ(packets[0], PacketFor("a"));
  EXPECT_EQ(packets[1], PacketFor("b"));
  EXPECT_EQ(packets[2], PacketFor("c"));
  EXPECT_TRUE(WaitForEmptyQueue(tovaro));
  EXPECT_EQ(waiting.AcceptedCount(), 3u);
}

TEST_F(SpeechWorkerTest, ClearQueueDropsWaitingEntriesButNotTheOneUnderWay) {
  TalkListener waiting;
  {
    TalkListener blocker(TalkListener::Mode::kNeverAccept);
    ASSERT_NO_FATAL_FAILURE(HoldWorker(blocker));
    for (const char* text : {"x", "y", "z"}) {
      ASSERT_EQ(Say(tovaro, text, waiting.port()), 200);
    }
    Answer cleared = Dispatch(tovaro, {u"ClearQueue"});
    EXPECT_EQ(cleared.status, 200);
    EXPECT_EQ(cleared.result, u"0");
    EXPECT_EQ(cleared.values, std::vector<WideString>{u"255"});
  }
  // The worker survives the blocked delivery and serves what comes next.
  ASSERT_EQ(Say(tovaro, "later", waiting.port()), 200);
  std::vector<std::string> packets = waiting.WaitForPackets(1, kArrivalTimeoutMs);
  ASSERT_EQ(packets.size(), 1u);
  EXPECT_EQ(packets[0], PacketFor("later"));
  EXPECT_EQ(waiting.AcceptedCount(), 1u);
}

TEST_F(SpeechWorkerTest, UnloadAtOnceIsQuickAndRefusesLaterEntries) {
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(Unload());
  EXPECT_LT(std::chrono::steady_clock::now() - start, kQuickUnload);

  TalkListener listener;
  Answer answer = Dispatch(tovaro, {u"AddQueue", u"too late"});
  EXPECT_EQ(answer.status, 500);
  EXPECT_EQ(answer.result, u"0");
  EXPECT_EQ(Dispatch(tovaro, {u"SetQueueMax", u"4"}).status, 200);
  EXPECT_EQ(Dispatch(tovaro, {u"ClearQueue"}).status, 200);
}

TEST_F(SpeechWorkerTest, UnloadWithEntriesForNobodyIsQuick) {
  const std::uint16_t nobody = test_support::UnusedPort();
  for (int i = 0; i < 20; ++i) ASSERT_EQ(Say(tovaro, "unheard", nobody), 200);

  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(Unload());
  EXPECT_LT(std::chrono::steady_clock::now() - start, kQuickUnload);
  EXPECT_EQ(tovaro.QueueLength(), 0u);
}

// With the server still hung: unload cuts the delivery short instead of waiting
// for it, and what waited behind it is never sent.
TEST_F(SpeechWorkerTest, UnloadCutsABlockedDeliveryShortAndDiscardsTheRest) {
  TalkListener waiting;
  TalkListener blocker(TalkListener::Mode::kNeverAccept);
  ASSERT_NO_FATAL_FAILURE(HoldWorker(blocker));
  for (const char* text : {"p", "q"}) ASSERT_EQ(Say(tovaro, text, waiting.port()), 200);

  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(Unload());
  EXPECT_LT(std::chrono::steady_clock::now() - start, kQuickUnload);
  EXPECT_EQ(tovaro.QueueLength(), 0u);
  EXPECT_EQ(waiting.AcceptedCount(), 0u);
}

TEST(SpeechWorkerLifecycleTest, UnloadWithoutLoadReturnsTrue) {
  CTovaro tovaro;
  EXPECT_TRUE(tovaro.OnUnload());
  EXPECT_EQ(Dispatch(tovaro, {u"AddQueue", u"x"}).status, 500);
}

}  // namespace
}  // namespace speech

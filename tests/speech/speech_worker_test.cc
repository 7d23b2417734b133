// The worker and its lifecycle, through the commands a script sends, with a
// stand-in speech server behind the delivery seam: faults are set up in it, and
// the worker is followed with its latches rather than with elapsed time.
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "speech/dispatch.h"
#include "speech/fake_talk_delivery.h"
#include "speech/talk_packet.h"
#include "speech/tovaro.h"

namespace speech {
namespace {

using saori::WideString;
using Fault = FakeTalkDelivery::Fault;

// Far below the wait of an unload that could not cut a delivery short.
constexpr auto kPromptUnload = std::chrono::milliseconds(kWorkerStopTimeoutMs / 4);

std::int32_t Say(CTovaro& tovaro, const std::string& text,
                 const std::string& host = "healthy") {
  return Status(tovaro, {u"AddQueue", WideString(text.begin(), text.end()),
                         WideString(host.begin(), host.end())});
}

// The packet the server should see for `text` with the default voice settings.
std::string PacketFor(const std::string& text) {
  TalkEntry entry;
  entry.text = text;
  std::vector<char> buffer;
  return std::string(buffer.data(), BuildTalkPacket(entry, buffer));
}

std::vector<std::string> Packets(const std::vector<std::string>& texts) {
  std::vector<std::string> packets;
  for (const std::string& text : texts) packets.push_back(PacketFor(text));
  return packets;
}

std::vector<std::string> BytesOf(const std::vector<FakeTalkDelivery::Delivery>& deliveries) {
  std::vector<std::string> bytes;
  for (const auto& delivery : deliveries) bytes.push_back(delivery.bytes);
  return bytes;
}

struct FaultCase {
  const char* name;
  Fault fault;
  std::size_t bytesBeforeInterrupt;  // of "held", for the faults that hang
  DropCause cause;                   // what GetStatus reports; kNone: delivered
};
const FaultCase kFaults[] = {
    {"refused", Fault::kRefused, 0, DropCause::kRefused},
    {"resets", Fault::kResets, 0, DropCause::kSendFailed},
    {"out of memory", Fault::kOutOfMemory, 0, DropCause::kOutOfMemory},
    // Released, a hang delivers.
    {"lookup hangs", Fault::kLookupHangs, 0, DropCause::kNone},
    {"never accepts", Fault::kNeverAccepts, 0, DropCause::kNone},
    {"never reads", Fault::kNeverReads, 0, DropCause::kNone},
    {"stops mid-send", Fault::kStopsMidSend, PacketFor("held").size() / 2, DropCause::kNone},
};

// An instance between OnLoad and OnUnload, delivering to the fake.
class SpeechWorkerTest : public testing::Test {
 protected:
  SpeechWorkerTest() { tovaro.OnLoad(); }
  ~SpeechWorkerTest() override {
    fake->Release();
    Unload();
  }

  // Unloads once; true when OnUnload said so.
  bool Unload() {
    if (unloaded) return true;
    unloaded = true;
    return tovaro.OnUnload();
  }

  // Queues "held" for a host with `fault`, and waits until the worker hangs in
  // it when the fault is one that hangs.
  void MeetFault(Fault fault = Fault::kNeverAccepts) {
    fake->SetFault("faulty", fault);
    ASSERT_EQ(Say(tovaro, "held", "faulty"), 200);
    if (FakeTalkDelivery::Hangs(fault)) {
      ASSERT_TRUE(fake->WaitUntilHung());
    }
  }

  std::shared_ptr<FakeTalkDelivery> fake = std::make_shared<FakeTalkDelivery>();
  CTovaro tovaro{fake};
  bool unloaded = false;
};

TEST_F(SpeechWorkerTest, RapidEntriesAreDeliveredInArrivalOrder) {
  const std::vector<std::string> texts = {"one", "two", "three", "four", "five"};
  for (const std::string& text : texts) ASSERT_EQ(Say(tovaro, text), 200);
  EXPECT_EQ(BytesOf(fake->WaitForDeliveries(5)), Packets(texts));
}

TEST_F(SpeechWorkerTest, EveryArgumentTravelsIntoTheDelivery) {
  // The port only counts modulo 65536.
  ASSERT_EQ(Status(tovaro, {u"AddQueue", u"\u3042", u"speech.example", u"115537", u"300",
                            u"65535", u"-2", u"70000"}),
            200);
  auto deliveries = fake->WaitForDeliveries(1);
  ASSERT_EQ(deliveries.size(), 1u);
  EXPECT_EQ(deliveries[0].host, "speech.example");
  EXPECT_EQ(deliveries[0].port, 50001);
  EXPECT_EQ(deliveries[0].bytes, std::string("\x01\x00\x2C\x01\xFF\xFF\xFE\xFF\x70\x11\x00"
                                             "\x03\x00\x00\x00\xE3\x81\x82",
                                             18));
}

TEST_F(SpeechWorkerTest, FullQueueIsRefusedAndLowerMaximumKeepsEntries) {
  ASSERT_NO_FATAL_FAILURE(MeetFault());
  ASSERT_EQ(Status(tovaro, {u"SetQueueMax", u"3"}), 200);
  for (const char* text : {"a", "b", "c"}) ASSERT_EQ(Say(tovaro, text), 200);

  Answer full = Dispatch(tovaro, {u"AddQueue", u"d"});
  EXPECT_EQ(full.status, 500);
  EXPECT_EQ(full.result, u"3");
  EXPECT_EQ(full.values, std::vector<WideString>{u"3"});

  Answer lowered = Dispatch(tovaro, {u"SetQueueMax", u"1"});
  EXPECT_EQ(lowered.status, 200);
  EXPECT_EQ(lowered.result, u"3");
  EXPECT_EQ(lowered.values, std::vector<WideString>{u"1"});
  EXPECT_EQ(Say(tovaro, "e"), 500);

  // Released, the worker sends what waited, in order, and nothing that was refused.
  fake->Release();
  EXPECT_EQ(BytesOf(fake->WaitForDeliveries(4)), Packets({"held", "a", "b", "c"}));
  EXPECT_EQ(tovaro.QueueLength(), 0u);
}

TEST_F(SpeechWorkerTest, ClearQueueDropsWaitingEntriesButNotTheOneUnderWay) {
  ASSERT_NO_FATAL_FAILURE(MeetFault());
  for (const char* text : {"x", "y", "z"}) ASSERT_EQ(Say(tovaro, text), 200);
  Answer cleared = Dispatch(tovaro, {u"ClearQueue"});
  EXPECT_EQ(cleared.status, 200);
  EXPECT_EQ(cleared.result, u"0");
  EXPECT_EQ(cleared.values, std::vector<WideString>{u"255"});
  Answer status = Dispatch(tovaro, {u"getstatus"});
  EXPECT_EQ(status.status, 200);
  ASSERT_EQ(status.values.size(), 7u);
  EXPECT_EQ(status.values[1], u"1");  // "held" is still under way
  EXPECT_EQ(status.values[3], u"3");
  EXPECT_EQ(status.values[4], u"cleared");

  fake->Release();
  ASSERT_EQ(Say(tovaro, "later"), 200);
  EXPECT_EQ(BytesOf(fake->WaitForDeliveries(2)), Packets({"held", "later"}));
}

// Each fault drops at most its own entry and holds up no request: what is queued
// behind it goes out once the fault is over.
TEST_F(SpeechWorkerTest, EachFaultDropsOnlyItsEntryAndHoldsUpNoRequest) {
  for (const FaultCase& c : kFaults) {
    SCOPED_TRACE(c.name);
    const std::size_t before = fake->Deliveries().size();
    const DeliveryReport reportBefore = tovaro.Report();
    ASSERT_NO_FATAL_FAILURE(MeetFault(c.fault));
    for (const char* text : {"after 1", "after 2"}) EXPECT_EQ(Say(tovaro, text), 200);
    EXPECT_EQ(Status(tovaro, {u"SetQueueMax", u"100"}), 200);
    if (FakeTalkDelivery::Hangs(c.fault)) {
      // Answered while the delivery still hangs, not after it gave up.
      EXPECT_EQ(fake->Deliveries().size(), before);
      fake->Release();
    }

    auto deliveries = fake->WaitForDeliveries(before + 3);
    ASSERT_EQ(deliveries.size(), before + 3);
    EXPECT_EQ(deliveries[before].host, "faulty");
    EXPECT_FALSE(deliveries[before].interrupted);
    // Nothing arrives but a hang that was released.
    EXPECT_EQ(deliveries[before].bytes.empty(), !FakeTalkDelivery::Hangs(c.fault));
    EXPECT_EQ(BytesOf({deliveries.end() - 2, deliveries.end()}),
              Packets({"after 1", "after 2"}));
    // The worker records an entry as it takes the next one: "after 2" may not be
    // counted yet, the faulty one is.
    const DeliveryReport report = tovaro.Report();
    const bool dropped = c.cause != DropCause::kNone;
    EXPECT_EQ(report.dropped - reportBefore.dropped, dropped ? 1u : 0u);
    EXPECT_GE(report.delivered - reportBefore.delivered, dropped ? 1u : 2u);
    if (dropped) {
      EXPECT_EQ(report.lastCause, c.cause);
      EXPECT_EQ(report.lastHost, "faulty");
    }
  }
}

// Unload cuts a hung delivery short wherever it hangs, instead of waiting for
// it, and what waited behind it is never attempted.
TEST(SpeechWorkerUnloadTest, UnloadCutsAHungDeliveryShortAndDiscardsTheRest) {
  for (const FaultCase& c : kFaults) {
    if (!FakeTalkDelivery::Hangs(c.fault)) continue;
    SCOPED_TRACE(c.name);
    auto fake = std::make_shared<FakeTalkDelivery>();
    CTovaro tovaro(fake);
    tovaro.OnLoad();
    fake->SetFault("faulty", c.fault);
    ASSERT_EQ(Say(tovaro, "held", "faulty"), 200);
    ASSERT_TRUE(fake->WaitUntilHung());
    for (int i = 0; i < 20; ++i) ASSERT_EQ(Say(tovaro, "waiting"), 200);

    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(tovaro.OnUnload());
    EXPECT_LT(std::chrono::steady_clock::now() - start, kPromptUnload);
    EXPECT_EQ(tovaro.QueueLength(), 0u);
    // The worker has ended, so this is all it ever did.
    auto deliveries = fake->Deliveries();
    ASSERT_EQ(deliveries.size(), 1u);
    EXPECT_TRUE(deliveries[0].interrupted);
    EXPECT_EQ(deliveries[0].bytes.size(), c.bytesBeforeInterrupt);
    const DeliveryReport report = tovaro.Report();
    EXPECT_EQ(report.lastCause, DropCause::kUnload);
    EXPECT_FALSE(report.busy);
  }
}

TEST_F(SpeechWorkerTest, UnloadAtOnceIsPromptDeliversNothingAndRefusesLaterEntries) {
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(Unload());
  EXPECT_LT(std::chrono::steady_clock::now() - start, kPromptUnload);
  EXPECT_TRUE(fake->Deliveries().empty());

  Answer answer = Dispatch(tovaro, {u"AddQueue", u"too late"});
  EXPECT_EQ(answer.status, 500);
  EXPECT_EQ(answer.result, u"0");
  EXPECT_EQ(Status(tovaro, {u"SetQueueMax", u"4"}), 200);
  EXPECT_EQ(Status(tovaro, {u"ClearQueue"}), 200);
}

TEST(SpeechWorkerUnloadTest, UnloadWithoutLoadReturnsTrue) {
  CTovaro tovaro;
  EXPECT_TRUE(tovaro.OnUnload());
  EXPECT_EQ(Status(tovaro, {u"AddQueue", u"x"}), 500);
}

}  // namespace
}  // namespace speech

// The queue commands: how AddQueue reads its arguments into an entry, and the
// answers of AddQueue, ClearQueue and SetQueueMax on an instance with no worker.
// Entries that really travel through the queue are tested with the worker.
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "speech/dispatch.h"
#include "speech/queue_arguments.h"
#include "speech/tovaro.h"

namespace speech {
namespace {

using saori::WideString;

std::vector<WideString> AddQueueWith(std::size_t count) {
  std::vector<WideString> arguments = {u"AddQueue", u"text", u"host", u"1",
                                       u"2",        u"3",    u"4",    u"5",
                                       u"6"};
  arguments.resize(count, u"7");
  return arguments;
}

TEST(ReadTalkEntryTest, FieldsNotGivenKeepTheirDefaults) {
  TalkEntry entry;
  ASSERT_TRUE(ReadTalkEntry({u"AddQueue", u"hello"}, entry));
  EXPECT_EQ(entry.text, "hello");
  EXPECT_EQ(entry.host, "127.0.0.1");
  EXPECT_EQ(entry.port, 50001);
  EXPECT_EQ(entry.commandWord, 1);
  EXPECT_EQ(entry.speed, -1);
  EXPECT_EQ(entry.tone, -1);
  EXPECT_EQ(entry.volume, -1);
  EXPECT_EQ(entry.voice, 0);

  ASSERT_TRUE(ReadTalkEntry({u"AddQueue", u"a", u"speech.example"}, entry));
  EXPECT_EQ(entry.host, "speech.example");
  EXPECT_EQ(entry.port, 50001);

  ASSERT_TRUE(ReadTalkEntry({u"AddQueue", u"a", u"10.0.0.2", u"50002"}, entry));
  EXPECT_EQ(entry.port, 50002);
  EXPECT_EQ(entry.speed, -1);

  ASSERT_TRUE(ReadTalkEntry(
      {u"AddQueue", u"t", u"h", u"1234", u"300", u"-5", u"100", u"2"}, entry));
  EXPECT_EQ(entry.port, 1234);
  EXPECT_EQ(entry.commandWord, 1);
  EXPECT_EQ(entry.speed, 300);
  EXPECT_EQ(entry.tone, -5);
  EXPECT_EQ(entry.volume, 100);
  EXPECT_EQ(entry.voice, 2);
}

TEST(ReadTalkEntryTest, NumbersKeepTheirLow16Bits) {
  struct Case {
    const char16_t* argument;
    std::uint16_t port;
    std::int16_t speed;
  } cases[] = {
      {u"70000", 4464, 4464},
      {u"-1", 65535, -1},
      {u"65535", 65535, -1},
      {u"65536", 0, 0},
      {u"32768", 32768, -32768},
      {u"-32769", 32767, 32767},
      {u"abc", 0, 0},
      {u"", 0, 0},
      {u" \t+8080", 8080, 8080},
      {u"10abc", 10, 10},
      {u"99999999999", 65535, -1},  // stops at 2147483647
      {u"-99999999999", 0, 0},      // stops at -2147483648
      {u"\uFF11", 0, 0},            // a full-width digit is not a digit
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(WideString(c.argument)));
    TalkEntry entry;
    ASSERT_TRUE(ReadTalkEntry(
        {u"AddQueue", u"t", u"h", c.argument, c.argument, u"0", u"0", u"0"}, entry));
    EXPECT_EQ(entry.port, c.port);
    EXPECT_EQ(entry.speed, c.speed);
  }
}

TEST(ReadTalkEntryTest, TextAndHostAreSentAsUtf8AndTakenAsTheyCome) {
  TalkEntry entry;
  ASSERT_TRUE(ReadTalkEntry({u"AddQueue", u"\u3053\u3093\u306B\u3061\u306F",
                             u"\u30DB\u30B9\u30C8", u"0"},
                            entry));
  EXPECT_EQ(entry.text, "\xE3\x81\x93\xE3\x82\x93\xE3\x81\xAB\xE3\x81\xA1\xE3\x81\xAF");
  EXPECT_EQ(entry.host, "\xE3\x83\x9B\xE3\x82\xB9\xE3\x83\x88");
  EXPECT_EQ(entry.port, 0);

  ASSERT_TRUE(ReadTalkEntry({u"AddQueue", u"", u""}, entry));
  EXPECT_EQ(entry.text, "");
  EXPECT_EQ(entry.host, "");
}

TEST(QueueCommandsTest, AddQueueWithoutWorkerIsRefusedAfterTheFormCheck) {
  CTovaro tovaro;
  ASSERT_EQ(Status(tovaro, {u"SetQueueMax", u"100"}), 200);
  for (std::size_t count = 1; count <= 9; ++count) {
    SCOPED_TRACE(count);
    const bool wellFormed = count == 2 || count == 3 || count == 4 || count == 8;
    EXPECT_EQ(Status(tovaro, AddQueueWith(count)), wellFormed ? 500 : 400);
    EXPECT_EQ(tovaro.QueueLength(), 0u);
  }
}

TEST(QueueCommandsTest, SetQueueMaxTakesLow16BitsAndRefusesZero) {
  struct Case {
    std::vector<WideString> arguments;
    std::int32_t status;
    std::uint16_t maximum;
  } cases[] = {
      {{u"SetQueueMax"}, 400, 5},
      {{u"SetQueueMax", u"0"}, 400, 5},
      {{u"SetQueueMax", u"65536"}, 400, 5},
      {{u"SetQueueMax", u"abc"}, 400, 5},
      {{u"SetQueueMax", u""}, 400, 5},
      {{u"SetQueueMax", u"-99999999999"}, 400, 5},
      {{u"SetQueueMax", u"1"}, 200, 1},
      {{u"SetQueueMax", u"-1"}, 200, 65535},
      {{u"SetQueueMax", u"70000"}, 200, 4464},
      {{u"SetQueueMax", u"10abc"}, 200, 10},
      {{u"SetQueueMax", u"99999999999"}, 200, 65535},
      {{u"SetQueueMax", u"3", u"ignored", u"too"}, 200, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.arguments));
    CTovaro tovaro;
    ASSERT_EQ(Status(tovaro, {u"SetQueueMax", u"5"}), 200);
    EXPECT_EQ(Status(tovaro, c.arguments), c.status);
    EXPECT_EQ(tovaro.QueueMax(), c.maximum);
  }
}

TEST(QueueCommandsTest, ClearQueueWorksWithoutWorkerAndIgnoresExtraArguments) {
  CTovaro tovaro;
  ASSERT_EQ(Status(tovaro, {u"SetQueueMax", u"42"}), 200);
  EXPECT_EQ(Status(tovaro, {u"ClearQueue"}), 200);
  EXPECT_EQ(Status(tovaro, {u"ClearQueue", u"a", u"b"}), 200);
  EXPECT_EQ(tovaro.QueueLength(), 0u);
  EXPECT_EQ(tovaro.QueueMax(), 42);
}

}  // namespace
}  // namespace speech

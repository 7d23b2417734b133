// The talk packet, byte for byte.
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "speech/talk_packet.h"

namespace speech {
namespace {

// The bytes that would go on the wire.
std::string Build(const TalkEntry& entry, std::vector<char>& buffer) {
  const std::size_t size = BuildTalkPacket(entry, buffer);
  EXPECT_EQ(buffer.size(), size + 1);
  if (!buffer.empty()) {
    EXPECT_EQ(buffer.back(), '\0');
  }
  return std::string(buffer.data(), size);
}

std::string Bytes(std::initializer_list<int> bytes) {
  std::string out;
  for (int b : bytes) out.push_back(static_cast<char>(b));
  return out;
}

TEST(TalkPacketTest, DefaultVoiceSettingsAndThreeLetters) {
  TalkEntry entry;
  entry.text = "abc";
  std::vector<char> buffer;
  EXPECT_EQ(Build(entry, buffer),
            Bytes({0x01, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00,
                   0x03, 0x00, 0x00, 0x00, 0x61, 0x62, 0x63}));
}

TEST(TalkPacketTest, EmptyTextIsTheBareHeader) {
  TalkEntry entry;
  std::vector<char> buffer;
  EXPECT_EQ(Build(entry, buffer),
            Bytes({0x01, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00,
                   0x00, 0x00, 0x00, 0x00}));
}

TEST(TalkPacketTest, SixteenBitFieldsAreLittleEndianInOrderUnclampedAndReadBack) {
  TalkEntry entry;
  entry.text = "x";
  entry.commandWord = 0x0201;
  entry.speed = 300;
  entry.tone = -2;
  entry.volume = INT16_MIN;
  entry.voice = INT16_MAX;
  std::vector<char> buffer;
  EXPECT_EQ(Build(entry, buffer),
            Bytes({0x01, 0x02, 0x2C, 0x01, 0xFE, 0xFF, 0x00, 0x80, 0xFF, 0x7F, 0x00,
                   0x01, 0x00, 0x00, 0x00, 'x'}));

  const std::string packet = Build(entry, buffer);
  const DecodedTalkPacket decoded = DecodeTalkPacket(packet.data(), packet.size());
  EXPECT_EQ(decoded.problem, TalkPacketProblem::kNone);
  ASSERT_TRUE(decoded.hasHeader && decoded.hasText);
  EXPECT_EQ(decoded.entry.commandWord, entry.commandWord);
  EXPECT_EQ(decoded.entry.speed, entry.speed);
  EXPECT_EQ(decoded.entry.tone, entry.tone);
  EXPECT_EQ(decoded.entry.volume, entry.volume);
  EXPECT_EQ(decoded.entry.voice, entry.voice);
  EXPECT_EQ(decoded.characterCode, 0);
  EXPECT_EQ(decoded.length, 1);
  EXPECT_EQ(decoded.entry.text, entry.text);
}

TEST(TalkPacketTest, LengthFieldCountsEveryTextByte) {
  TalkEntry entry;
  // More than 16 bits of length, bytes above 0x7F and an inner NUL all count.
  entry.text.assign(0x012345, '\xE3');
  entry.text[10] = '\0';
  std::vector<char> buffer;
  const std::string packet = Build(entry, buffer);
  ASSERT_EQ(packet.size(), kTalkPacketHeaderSize + 0x012345);
  EXPECT_EQ(packet.substr(10, 5), Bytes({0x00, 0x45, 0x23, 0x01, 0x00}));
  EXPECT_EQ(packet.substr(kTalkPacketHeaderSize), entry.text);
}

TEST(TalkPacketTest, ReusedBufferCarriesNothingOver) {
  std::vector<char> buffer(200, '\x55');
  TalkEntry entry;
  entry.text = "abc";
  const std::string first = Build(entry, buffer);

  TalkEntry longer;
  longer.text = std::string(100, 'z');
  Build(longer, buffer);
  std::vector<char> fresh;
  EXPECT_EQ(Build(entry, buffer), first);
  EXPECT_EQ(Build(entry, fresh), first);
  EXPECT_EQ(buffer.size(), 19u);
}

}  // namespace
}  // namespace speech

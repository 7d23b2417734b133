#include "speech/talk_packet.h"

#include <cstdint>
#include <cstring>
#include <limits>
#include <new>

namespace speech {
namespace {

constexpr std::size_t kCommandOffset = 0;
constexpr std::size_t kSpeedOffset = 2;
constexpr std::size_t kToneOffset = 4;
constexpr std::size_t kVolumeOffset = 6;
constexpr std::size_t kVoiceOffset = 8;
constexpr std::size_t kCharacterCodeOffset = 10;
constexpr std::size_t kLengthOffset = 11;
constexpr unsigned char kCharacterCodeUtf8 = 0;

// The length field is signed 32-bit; a longer text could not be described.
constexpr std::size_t kMaxTextBytes =
    static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()) -
    (kTalkPacketHeaderSize + 1);

// Byte by byte, so the layout is little-endian whatever the host's byte order.
void PutByte(std::vector<char>& buffer, std::size_t offset, std::uint32_t value) {
  buffer[offset] = static_cast<char>(static_cast<unsigned char>(value & 0xFFu));
}

void PutInt16(std::vector<char>& buffer, std::size_t offset, std::int16_t value) {
  const std::uint32_t bits = static_cast<std::uint16_t>(value);
  PutByte(buffer, offset, bits);
  PutByte(buffer, offset + 1, bits >> 8);
}

void PutUint32(std::vector<char>& buffer, std::size_t offset, std::uint32_t value) {
  for (std::size_t i = 0; i < 4; ++i) PutByte(buffer, offset + i, value >> (8 * i));
}

std::uint32_t GetUint(const char* data, std::size_t offset, std::size_t bytes) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < bytes; ++i) {
    value |= static_cast<std::uint32_t>(static_cast<unsigned char>(data[offset + i]))
             << (8 * i);
  }
  return value;
}

std::int16_t GetInt16(const char* data, std::size_t offset) {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(GetUint(data, offset, 2)));
}

}  // namespace

std::size_t BuildTalkPacket(const TalkEntry& entry, std::vector<char>& buffer) {
  const std::size_t textBytes = entry.text.size();
  if (textBytes > kMaxTextBytes) throw std::bad_array_new_length();

  // Zero-filled with room for the text's NUL in the last byte, which is never sent.
  buffer.assign(kTalkPacketHeaderSize + textBytes + 1, '\0');
  std::memcpy(buffer.data() + kTalkPacketHeaderSize, entry.text.c_str(), textBytes + 1);

  PutInt16(buffer, kCommandOffset, entry.commandWord);
  PutInt16(buffer, kSpeedOffset, entry.speed);
  PutInt16(buffer, kToneOffset, entry.tone);
  PutInt16(buffer, kVolumeOffset, entry.volume);
  PutInt16(buffer, kVoiceOffset, entry.voice);
  PutByte(buffer, kCharacterCodeOffset, kCharacterCodeUtf8);
  PutUint32(buffer, kLengthOffset, static_cast<std::uint32_t>(textBytes));
  return kTalkPacketHeaderSize + textBytes;
}


DecodedTalkPacket DecodeTalkPacket(const char* data, std::size_t size) {
  DecodedTalkPacket decoded;
  if (size < kTalkPacketHeaderSize) {
    decoded.problem = TalkPacketProblem::kShortPacket;
    return decoded;
  }
  decoded.hasHeader = true;
  TalkEntry& entry = decoded.entry;
  entry.commandWord = GetInt16(data, kCommandOffset);
  entry.speed = GetInt16(data, kSpeedOffset);
  entry.tone = GetInt16(data, kToneOffset);
  entry.volume = GetInt16(data, kVolumeOffset);
  entry.voice = GetInt16(data, kVoiceOffset);
  decoded.characterCode = static_cast<std::uint8_t>(GetUint(data, kCharacterCodeOffset, 1));
  decoded.length = static_cast<std::int32_t>(GetUint(data, kLengthOffset, 4));
  if (decoded.length < 0) {
    decoded.problem = TalkPacketProblem::kNegativeLength;
    return decoded;
  }
  const std::size_t available = size - kTalkPacketHeaderSize;
  const std::size_t length = static_cast<std::size_t>(decoded.length);
  if (length > available) {
    decoded.problem = TalkPacketProblem::kLengthBeyondData;
    return decoded;
  }
  entry.text.assign(data + kTalkPacketHeaderSize, length);
  decoded.hasText = true;
  if (length < available) decoded.problem = TalkPacketProblem::kTrailingBytes;
  return decoded;
}

}  // namespace speech

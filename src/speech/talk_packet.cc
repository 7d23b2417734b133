#include "speech/talk_packet.h"

#include <cstdint>
#include <cstring>
#include <limits>
#include <stdexcept>

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

}  // namespace

std::size_t BuildTalkPacket(const TalkEntry& entry, std::vector<char>& buffer) {
  const std::size_t textBytes = entry.text.size();
  if (textBytes > kMaxTextBytes) throw std::length_error("talk text too long");

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

}  // namespace speech

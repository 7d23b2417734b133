// The talk packet, the one message the speech server receives.
//
// 15 + N bytes, little-endian, no padding: command, speed, tone, volume, voice
// (signed 16-bit each, offsets 0 to 8), character code 0 (offset 10, UTF-8), text
// length N (signed 32-bit, offset 11), then the N text bytes without a NUL.
#ifndef TOVARO_SPEECH_TALK_PACKET_H_
#define TOVARO_SPEECH_TALK_PACKET_H_

#include <cstddef>
#include <cstdint>
#include <vector>

#include "speech/talk_entry.h"

namespace speech {

constexpr std::size_t kTalkPacketHeaderSize = 15;

// Resizes `buffer` to N + 16 zero bytes and fills it with the packet of `entry`
// (the text's NUL lands in the last byte). Returns the number of bytes to send,
// N + 15. No I/O. Exhausted memory throws std::bad_alloc; a text longer than the
// length field can describe (2 GiB) throws std::bad_array_new_length.
std::size_t BuildTalkPacket(const TalkEntry& entry, std::vector<char>& buffer);

// What is wrong with the bytes of one connection, read as one packet.
enum class TalkPacketProblem {
  kNone,
  kShortPacket,       // fewer bytes than the header
  kNegativeLength,    // the length field is below 0
  kLengthBeyondData,  // the length field asks for more bytes than there are
  kTrailingBytes,     // bytes after the packet
};

struct DecodedTalkPacket {
  TalkPacketProblem problem = TalkPacketProblem::kNone;
  bool hasHeader = false;  // the header fields below are read (not kShortPacket)
  bool hasText = false;    // `entry.text` holds the whole text
  // commandWord, speed, tone, volume, voice and text; host and port are not sent
  // and stay at their defaults.
  TalkEntry entry;
  std::uint8_t characterCode = 0;
  std::int32_t length = 0;  // the length field as sent
};

// The inverse of BuildTalkPacket: the fields of the packet in `size` bytes at
// `data`, as far as they are there. No I/O; pure.
DecodedTalkPacket DecodeTalkPacket(const char* data, std::size_t size);

}  // namespace speech

#endif  // TOVARO_SPEECH_TALK_PACKET_H_

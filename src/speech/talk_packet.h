// The talk packet, the one message the speech server receives.
//
// 15 + N bytes, little-endian, no padding: command, speed, tone, volume, voice
// (signed 16-bit each, offsets 0 to 8), character code 0 (offset 10, UTF-8), text
// length N (signed 32-bit, offset 11), then the N text bytes without a NUL.
#ifndef TOVARO_SPEECH_TALK_PACKET_H_
#define TOVARO_SPEECH_TALK_PACKET_H_

#include <cstddef>
#include <vector>

#include "speech/talk_entry.h"

namespace speech {

constexpr std::size_t kTalkPacketHeaderSize = 15;

// Resizes `buffer` to N + 16 zero bytes and fills it with the packet of `entry`
// (the text's NUL lands in the last byte). Returns the number of bytes to send,
// N + 15. No I/O. Exhausted memory throws std::bad_alloc.
std::size_t BuildTalkPacket(const TalkEntry& entry, std::vector<char>& buffer);

}  // namespace speech

#endif  // TOVARO_SPEECH_TALK_PACKET_H_

// Decoding what one connection to the speech server carried, and writing it as one
// line of text or JSON.
//
// A connection carries exactly one talk packet (speech/talk_packet.h).
//
// Pure functions, thread-safe.
#ifndef TOVARO_TOOLS_TALK_LISTENER_PACKET_DECODER_H_
#define TOVARO_TOOLS_TALK_LISTENER_PACKET_DECODER_H_

#include <cstddef>
#include <cstdint>
#include <string>

#include "speech/talk_packet.h"

namespace tools::talk_listener {

constexpr std::size_t kHeaderSize = speech::kTalkPacketHeaderSize;

struct TalkPacket {
  std::int16_t command = 0;
  std::int16_t speed = 0;
  std::int16_t tone = 0;
  std::int16_t volume = 0;
  std::int16_t voice = 0;
  std::uint8_t characterCode = 0;
  std::int32_t length = 0;
  std::string text;  // the `length` bytes after the header
};

using Problem = speech::TalkPacketProblem;

struct Decoded {
  Problem problem = Problem::kNone;
  bool hasHeader = false;  // the header fields of `packet` are valid
  bool hasText = false;    // `packet.text` is complete
  TalkPacket packet;
  std::size_t received = 0;  // bytes the connection carried
  // Why reading stopped before the peer closed the connection (it went quiet, or
  // sent more than the listener keeps); empty when the peer closed it.
  std::string cutShort;
};

// Decodes the bytes of one connection.
Decoded DecodeConnection(const std::string& bytes);

// What is wrong, in words; empty for Problem::kNone.
std::string DescribeProblem(const Decoded& decoded);

// One line without its line end:
//   command=1 speed=-1 tone=-1 volume=-1 voice=0 code=0 length=3 text="abc"
// preceded by 'malformed (WHY): ' when something is wrong and followed by
// ' [cut short: WHY]' when reading stopped early. The text is shown in double quotes
// with \" \\ \n \r \t and \xNN for other control bytes.
std::string FormatPlain(const Decoded& decoded);

// One JSON object without its line end, keys in this order: command, speed, tone,
// volume, voice, characterCode, length, text (those that are known), then "error"
// and "received" when something is wrong, "cutShort" when reading stopped early, and
// "invalidUtf8": true when the text is not valid UTF-8 (its bad bytes are then
// written as U+FFFD).
std::string FormatJson(const Decoded& decoded);

// `text` as the inside of a JSON string: ", \ and control characters escaped
// (U+2028 and U+2029 too), other UTF-8 kept as it is, each byte of an invalid
// sequence replaced by \ufffd. `valid` tells whether there were none.
std::string JsonEscape(const std::string& text, bool* valid);

}  // namespace tools::talk_listener

#endif  // TOVARO_TOOLS_TALK_LISTENER_PACKET_DECODER_H_

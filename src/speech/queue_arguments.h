// How the queue commands read their arguments: text as UTF-8 bytes, numbers read
// from those bytes and cut to their low 16 bits. Implemented with the commands in
// queue_commands.cc. Thread-safe: no shared state.
#ifndef TOVARO_SPEECH_QUEUE_ARGUMENTS_H_
#define TOVARO_SPEECH_QUEUE_ARGUMENTS_H_

#include <cstdint>
#include <vector>

#include "saori/saori_types.h"
#include "speech/talk_entry.h"

namespace speech {

// The argument's UTF-8 bytes read as a decimal number (blanks, sign, digits, the
// nearer 32-bit limit on overflow, 0 without digits), of which only the low 16 bits
// count: "-1" and "65535" both give 0xFFFF. Exhausted memory throws.
std::uint16_t ReadLow16Bits(const saori::WideString& argument);

// Fills `entry` from the arguments of an AddQueue call, Argument0 (the command)
// included: text; text, host; text, host, port; or text, host, port, speed, tone,
// volume, voice. Fields not given keep their defaults; nothing is validated.
// Returns false for any other number of arguments and leaves `entry` as it was.
// Exhausted memory throws.
bool ReadTalkEntry(const std::vector<saori::WideString>& arguments, TalkEntry& entry);

}  // namespace speech

#endif  // TOVARO_SPEECH_QUEUE_ARGUMENTS_H_

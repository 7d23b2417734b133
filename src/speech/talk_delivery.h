// Delivery of one talk entry: one TCP connection, one packet, then close.
#ifndef TOVARO_SPEECH_TALK_DELIVERY_H_
#define TOVARO_SPEECH_TALK_DELIVERY_H_

#include <vector>

#include "speech/talk_entry.h"

namespace platform {
class Interrupt;
}

namespace speech {

// Connects to the entry's host (dotted IPv4 used as it is, else resolved, first
// address only) and port, sends its packet built in `buffer`, and closes the
// connection. Nothing is read back. Any failure drops the entry silently; the
// caller learns nothing. Worker thread only. Exhausted memory throws.
void SendTalkPacket(const TalkEntry& entry, std::vector<char>& buffer,
                    const platform::Interrupt& interrupt);

}  // namespace speech

#endif  // TOVARO_SPEECH_TALK_DELIVERY_H_

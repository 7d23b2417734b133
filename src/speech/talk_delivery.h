// Delivery of one talk entry: one TCP connection, one packet, then close.
//
// The worker reaches the network only through TalkDelivery, so that a test can
// stand in for the speech server (one that never accepts, never reads, resets or
// hangs in the lookup) without building a broken server. Production uses
// SocketTalkDelivery, which is SendTalkPacket.
#ifndef TOVARO_SPEECH_TALK_DELIVERY_H_
#define TOVARO_SPEECH_TALK_DELIVERY_H_

#include <vector>

#include "speech/talk_entry.h"

namespace platform {
class Interrupt;
}

namespace speech {

// How the worker delivers an entry. Called from the worker thread only, one
// delivery at a time; an implementation shared by several instances must not keep
// state of its own.
class TalkDelivery {
 public:
  virtual ~TalkDelivery() = default;

  // Delivers `entry`, building its packet in `buffer` (kept between calls so it
  // can be reused). Must return promptly once `interrupt` fires. Any failure drops
  // the entry silently. Exhausted memory throws.
  virtual void Deliver(const TalkEntry& entry, std::vector<char>& buffer,
                       const platform::Interrupt& interrupt) = 0;
};

// The real delivery over TCP. Stateless.
class SocketTalkDelivery final : public TalkDelivery {
 public:
  void Deliver(const TalkEntry& entry, std::vector<char>& buffer,
               const platform::Interrupt& interrupt) override;
};

// Connects to the entry's host (dotted IPv4 used as it is, else resolved, first
// address only) and port, sends its packet built in `buffer`, and closes the
// connection. Nothing is read back. Any failure drops the entry silently; the
// caller learns nothing. Worker thread only. Exhausted memory throws.
void SendTalkPacket(const TalkEntry& entry, std::vector<char>& buffer,
                    const platform::Interrupt& interrupt);

}  // namespace speech

#endif  // TOVARO_SPEECH_TALK_DELIVERY_H_

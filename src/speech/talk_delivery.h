// Delivery of one talk entry: one TCP connection, one packet, then close.
//
// The worker reaches the network only through TalkDelivery, so that a test can
// stand in for the speech server (one that never accepts, never reads, resets or
// hangs in the lookup) without building a broken server. Production uses
// SocketTalkDelivery, which is SendTalkPacket.
#ifndef TOVARO_SPEECH_TALK_DELIVERY_H_
#define TOVARO_SPEECH_TALK_DELIVERY_H_

#include <vector>

#include "speech/delivery_report.h"
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
  // can be reused). Must return promptly once `interrupt` fires. Returns kNone
  // when the whole packet went out, else why the entry was dropped (kUnload when
  // the interrupt cut it short); it is never retried. Exhausted memory throws.
  virtual DropCause Deliver(const TalkEntry& entry, std::vector<char>& buffer,
                            const platform::Interrupt& interrupt) = 0;
};

// The real delivery over TCP. Stateless.
class SocketTalkDelivery final : public TalkDelivery {
 public:
  DropCause Deliver(const TalkEntry& entry, std::vector<char>& buffer,
                    const platform::Interrupt& interrupt) override;
};

// Connects to the entry's host (dotted IPv4 used as it is, else resolved, first
// address only) and port, sends its packet built in `buffer`, and closes the
// connection. Nothing is read back. Returns what Deliver returns; a port of 0 is
// not tried. A delivery cut short closes its connection with a reset. Worker
// thread only. Exhausted memory throws.
DropCause SendTalkPacket(const TalkEntry& entry, std::vector<char>& buffer,
                         const platform::Interrupt& interrupt);

}  // namespace speech

#endif  // TOVARO_SPEECH_TALK_DELIVERY_H_

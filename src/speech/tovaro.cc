#include "speech/tovaro.h"

namespace speech {

// The worker has ended (or never ran), so nothing else touches the queue; the
// queue lock's own destructor deletes it when its initialisation succeeded.
CTovaro::~CTovaro() { talkQueue.clear(); }

std::size_t CTovaro::QueueLength() {
  platform::QueueLockGuard guard(queueLock);
  return talkQueue.size();
}

std::uint16_t CTovaro::QueueMax() {
  platform::QueueLockGuard guard(queueLock);
  return queueMax;
}

}  // namespace speech

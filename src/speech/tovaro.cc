#include "speech/tovaro.h"

#include <utility>

namespace speech {

CTovaro::CTovaro() : CTovaro(std::make_shared<SocketTalkDelivery>()) {}

CTovaro::CTovaro(std::shared_ptr<TalkDelivery> delivery)
    : shared(std::make_shared<Shared>()) {
  shared->delivery = std::move(delivery);
}

// OnUnload has discarded the queue. A worker that outlived its wait keeps the
// shared record; otherwise it goes here, and the queue lock's own destructor
// deletes the lock when its initialisation succeeded.
CTovaro::~CTovaro() = default;

std::size_t CTovaro::QueueLength() {
  platform::LockGuard guard(shared->queueLock);
  return shared->talkQueue.size();
}

std::uint16_t CTovaro::QueueMax() {
  platform::LockGuard guard(shared->queueLock);
  return shared->queueMax;
}

DeliveryReport CTovaro::Report() {
  platform::LockGuard guard(shared->queueLock);
  return shared->report;
}

}  // namespace speech

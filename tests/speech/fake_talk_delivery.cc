#include "speech/fake_talk_delivery.h"

#include <chrono>
#include <new>

#include "platform/network.h"
#include "speech/talk_packet.h"

namespace speech {
namespace {

// Only a broken worker makes a test wait this long; the test then fails on what
// it finds instead of hanging.
constexpr auto kSafetyLimit = std::chrono::seconds(10);
// The interrupt has no waiting of its own to offer, so a hang looks at it this often.
constexpr auto kInterruptCheck = std::chrono::milliseconds(1);

}  // namespace

void FakeTalkDelivery::SetFault(const std::string& host, Fault fault) {
  std::lock_guard<std::mutex> lock(mutex_);
  faults_[host] = fault;
}

void FakeTalkDelivery::Release() {
  std::lock_guard<std::mutex> lock(mutex_);
  faults_.clear();
  ++releases_;
  changed_.notify_all();
}

bool FakeTalkDelivery::WaitUntilHung() {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, kSafetyLimit, [this] { return hung_; });
}

std::vector<FakeTalkDelivery::Delivery> FakeTalkDelivery::WaitForDeliveries(
    std::size_t count) {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait_for(lock, kSafetyLimit, [&] { return finished_.size() >= count; });
  return finished_;
}

std::vector<FakeTalkDelivery::Delivery> FakeTalkDelivery::Deliveries() {
  std::lock_guard<std::mutex> lock(mutex_);
  return finished_;
}

bool FakeTalkDelivery::Hang(std::unique_lock<std::mutex>& lock,
                            const platform::DeliveryInterrupt& interrupt) {
  hung_ = true;
  changed_.notify_all();
  const int releases = releases_;
  const auto giveUp = std::chrono::steady_clock::now() + kSafetyLimit;
  for (;;) {
    if (interrupt.IsTriggered()) break;
    if (releases_ != releases || std::chrono::steady_clock::now() > giveUp) {
      hung_ = false;
      return false;
    }
    changed_.wait_for(lock, kInterruptCheck);
  }
  hung_ = false;
  return true;
}

void FakeTalkDelivery::Deliver(const TalkEntry& entry, std::vector<char>& buffer,
                               const platform::DeliveryInterrupt& interrupt) {
  std::unique_lock<std::mutex> lock(mutex_);
  const auto found = faults_.find(entry.host);
  const Fault fault = found == faults_.end() ? Fault::kNone : found->second;

  Delivery delivery{entry.host, entry.port, std::string(), false};
  if (fault == Fault::kOutOfMemory) {
    finished_.push_back(delivery);
    changed_.notify_all();
    throw std::bad_alloc();
  }
  const std::string packet(buffer.data(), BuildTalkPacket(entry, buffer));
  if (fault == Fault::kNone) {
    delivery.bytes = packet;
  } else if (Hangs(fault)) {
    const std::size_t before = fault == Fault::kStopsMidSend ? packet.size() / 2 : 0;
    delivery.interrupted = Hang(lock, interrupt);
    delivery.bytes = packet.substr(0, delivery.interrupted ? before : packet.size());
  }
  finished_.push_back(delivery);
  changed_.notify_all();
}

}  // namespace speech

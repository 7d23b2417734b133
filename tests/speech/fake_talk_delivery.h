// A stand-in speech server behind the worker's delivery seam: a test says which
// hosts meet which fault and reads back what arrived, without sockets, and
// follows the worker with latches instead of guessing from elapsed time.
//
// Shared by the test and the instance under test; the worker calls Deliver, the
// test everything else. Waits give up after a safety limit that only a broken
// worker reaches, so such a test fails on what it finds instead of hanging.
#ifndef TOVARO_TESTS_SPEECH_FAKE_TALK_DELIVERY_H_
#define TOVARO_TESTS_SPEECH_FAKE_TALK_DELIVERY_H_

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "platform/network.h"
#include "speech/talk_delivery.h"
#include "speech/talk_packet.h"

namespace speech {

class FakeTalkDelivery final : public TalkDelivery {
 public:
  enum class Fault {
    kNone,          // the whole packet arrives
    kRefused,       // fails at once, nothing arrives
    kResets,        // accepts, then the peer resets: the same for the worker
    kOutOfMemory,   // building the packet throws std::bad_alloc
    // The rest hang until the interrupt fires (nothing more arrives) or Release
    // (the whole packet arrives).
    kLookupHangs,   // in the name lookup
    kNeverAccepts,  // in connect
    kNeverReads,    // in send, before any byte arrives
    kStopsMidSend,  // in send, after half the packet has arrived
  };
  static bool Hangs(Fault fault) { return fault >= Fault::kLookupHangs; }

  struct Delivery {
    std::string host;
    std::uint16_t port;
    std::string bytes;  // what the server received
    bool interrupted;   // a hang that the interrupt ended
  };

  // Entries for `host` meet `fault` from now on; other hosts are healthy.
  void SetFault(const std::string& host, Fault fault) {
    std::lock_guard<std::mutex> lock(mutex_);
    faults_[host] = fault;
  }
  // Every fault is over; a hanging delivery goes through.
  void Release() {
    std::lock_guard<std::mutex> lock(mutex_);
    faults_.clear();
    ++releases_;
    changed_.notify_all();
  }
  // False when no delivery hangs within the safety limit.
  bool WaitUntilHung() {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, kSafetyLimit, [this] { return hung_; });
  }
  // Every delivery finished so far, in order, once there are `count` (or the
  // safety limit has passed).
  std::vector<Delivery> WaitForDeliveries(std::size_t count) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait_for(lock, kSafetyLimit, [&] { return finished_.size() >= count; });
    return finished_;
  }
  std::vector<Delivery> Deliveries() { return WaitForDeliveries(0); }

  DropCause Deliver(const TalkEntry& entry, std::vector<char>& buffer,
                    const platform::Interrupt& interrupt) override {
    std::unique_lock<std::mutex> lock(mutex_);
    const auto found = faults_.find(entry.host);
    const Fault fault = found == faults_.end() ? Fault::kNone : found->second;
    Delivery delivery{entry.host, entry.port, std::string(), false};
    if (fault == Fault::kOutOfMemory) {
      Finish(delivery);
      throw std::bad_alloc();
    }
    const std::string packet(buffer.data(), BuildTalkPacket(entry, buffer));
    DropCause outcome = DropCause::kNone;
    if (fault == Fault::kNone) delivery.bytes = packet;
    if (fault == Fault::kRefused) outcome = DropCause::kRefused;
    if (fault == Fault::kResets) outcome = DropCause::kSendFailed;
    if (Hangs(fault)) {
      delivery.interrupted = Hang(lock, interrupt);
      const std::size_t sent = fault == Fault::kStopsMidSend ? packet.size() / 2 : 0;
      delivery.bytes = packet.substr(0, delivery.interrupted ? sent : packet.size());
      if (delivery.interrupted) outcome = DropCause::kUnload;
    }
    Finish(delivery);
    return outcome;
  }

 private:
  static constexpr auto kSafetyLimit = std::chrono::seconds(10);
  // The interrupt offers no wait of its own, so a hang looks at it this often.
  static constexpr auto kInterruptCheck = std::chrono::milliseconds(1);

  // REQUIRES: `lock` holds mutex_. True when the interrupt ended the hang.
  bool Hang(std::unique_lock<std::mutex>& lock, const platform::Interrupt& interrupt) {
    hung_ = true;
    changed_.notify_all();
    const int releases = releases_;
    const auto giveUp = std::chrono::steady_clock::now() + kSafetyLimit;
    while (!interrupt.IsTriggered() && releases_ == releases &&
           std::chrono::steady_clock::now() < giveUp) {
      changed_.wait_for(lock, kInterruptCheck);
    }
    hung_ = false;
    return interrupt.IsTriggered();
  }
  void Finish(const Delivery& delivery) {
    finished_.push_back(delivery);
    changed_.notify_all();
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  std::map<std::string, Fault> faults_;
  std::vector<Delivery> finished_;
  bool hung_ = false;
  int releases_ = 0;
};

}  // namespace speech

#endif  // TOVARO_TESTS_SPEECH_FAKE_TALK_DELIVERY_H_
